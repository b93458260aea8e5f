#!/bin/sh
# Guards what the per-layer include roots of the build cannot: an include by a
# relative path climbing out of its folder (the compiler looks beside the
# including file first), a third-party header outside the back-ends (system
# headers are reachable from every layer), the back-ends reaching up into
# the system layer, and the library's classes reaching past the system layer
# into the back-ends.
src="$1"
status=0
fail() {
    echo "$1"
    echo "$2"
    status=1
}
climbing=$(grep -rn -E '^\s*#\s*include\s*"[^"]*\.\./' "$src")
[ -n "$climbing" ] && fail "includes by a relative path that leaves its folder:" "$climbing"

# The library's classes (every folder but system and backends) include only
# the C++ standard library's own headers (<cstring>, <algorithm>, ...: no
# extension, no folder) with <>; the kernels may also include the compiler's
# intrinsics and the auxiliary vector (which tells a 32-bit ARM kernel
# whether the processor has NEON).
foreign=$(grep -rn -E '^\s*#\s*include\s*<[^>]*[./][^>]*>' "$src" --exclude-dir=system \
    --exclude-dir=backends |
    grep -v -E '^[^:]*/kernels/[^:]*:[0-9]+:\s*#\s*include\s*<(emmintrin|immintrin|arm_neon|sys/auxv)\.h>')
[ -n "$foreign" ] && fail "system or third-party headers in the library's classes:" "$foreign"
past=$(grep -rn -E '^\s*#\s*include\s*"backends/' "$src" --exclude-dir=system --exclude-dir=backends)
[ -n "$past" ] && fail "the library's classes include the back-ends (go through src/system):" "$past"

# The system layer may use the C library and POSIX, never a third-party
# library or the kernel's device interfaces: those are the back-ends'.
third='(SDL[^>]*|png|pngconf|jpeglib|jerror|gif_lib|webp/[^>]*|ft2build|freetype[^>]*|fontconfig/[^>]*|sqlite3|xf86drm|xf86drmMode|drm[^>]*|libdrm/[^>]*|linux/[^>]*|pixman[^>]*|cairo[^>]*)(\.h)?'
thirdParty=$(grep -rn -E "^\s*#\s*include\s*<$third>" "$src" --exclude-dir=backends)
[ -n "$thirdParty" ] && fail "third-party or device headers outside src/backends:" "$thirdParty"
up=$(grep -rn -E '^\s*#\s*include\s*"system/' "$src/backends")
[ -n "$up" ] && fail "the back-ends include the system layer:" "$up"

[ $status -eq 0 ] && echo "layers: no include crosses a layer"
exit $status
