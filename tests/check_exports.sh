#!/bin/sh
# Lists the symbols the shared library exports and fails on any that is not
# a member of a public class or a function of the public platform API.
lib="$1"
allowed='^(CCEGraphics|CCEDraw|CCEGDIObject|CCEPen|CCEBrush|CCEBitmap)::'
allowed="$allowed|^(typeinfo|typeinfo name|vtable) for (CCE[A-Za-z]+)\$"
allowed="$allowed|^zorva::(SetVirtualDisplay|GetVirtualDisplay|OpenWindow|GetOpenWindowError|GetWindowDisplay|FlipsArePaced|GetDisplayInfo|CloseWindow|ReadScreen|GetScreenSize|PollEvent|PostEvent|OpenMemoryStream|OpenFileStream|SetContactsDatabase|GetContactsDatabase|GetLoadError|GetLoadErrorText)(\\[abi:cxx11\\])?\\("
allowed="$allowed|^zorva::FrameClock::"
allowed="$allowed|^(_init|_fini|__bss_start|_edata|_end|ZORVA_[0-9]+)$"
bad=$(nm -D --defined-only "$lib" | awk '{ $1=""; $2=""; sub(/^  /, ""); print }' | c++filt |
      grep -v -E "$allowed")
if [ -n "$bad" ]; then
    echo "symbols exported that are not public API:"
    echo "$bad"
    exit 1
fi
echo "exports: only public classes and the platform API"
