#!/bin/sh
# Guards what the per-layer include roots of the build cannot: an include by a
# relative path climbing out of its folder (the compiler looks beside the
# including file first), and a system header of a third-party library outside
# the platform layer (system headers are reachable from every layer).
src="$1"
status=0
climbing=$(grep -rn -E '^\s*#\s*include\s*"[^"]*\.\./' "$src")
if [ -n "$climbing" ]; then
    echo "includes by a relative path that leaves its folder:"
    echo "$climbing"
    status=1
fi
# Outside src/platform only the C++ standard library's own headers (<cstring>,
# <algorithm>, ...: no extension, no folder) may be included with <>; the
# kernels may also include the compiler's intrinsics and the auxiliary
# vector (which tells a 32-bit ARM kernel whether the processor has NEON).
foreign=$(grep -rn -E '^\s*#\s*include\s*<[^>]*[./][^>]*>' "$src" --exclude-dir=platform |
    grep -v -E '^[^:]*/kernels/[^:]*:[0-9]+:\s*#\s*include\s*<(emmintrin|immintrin|arm_neon|sys/auxv)\.h>')
if [ -n "$foreign" ]; then
    echo "system or third-party headers outside the platform layer:"
    echo "$foreign"
    status=1
fi
[ $status -eq 0 ] && echo "layers: no include crosses a layer"
exit $status
