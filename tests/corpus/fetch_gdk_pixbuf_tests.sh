#!/usr/bin/env bash
# Unpacks Debian's gdk-pixbuf-tests package (real images, images that must be
# refused, and a GIF suite with expected frames) into DIR, the folder the
# tests find through ZORVA_GDK_PIXBUF_TESTS (or gdk-pixbuf-tests in their
# build folder). Never fails: without the network the tests that use
# these files skip. The files are never committed.
set -uo pipefail
dir=${1:?usage: fetch_gdk_pixbuf_tests.sh DIR}
[ -d "$dir/usr/libexec/installed-tests/gdk-pixbuf/test-images" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if (cd "$work" && apt-get download gdk-pixbuf-tests >/dev/null 2>&1); then
    mkdir -p "$dir" && dpkg-deb -x "$work"/gdk-pixbuf-tests_*.deb "$dir" &&
        echo "fetch_gdk_pixbuf_tests: unpacked into $dir"
else
    echo "fetch_gdk_pixbuf_tests: package not available; its tests will skip"
fi
exit 0
