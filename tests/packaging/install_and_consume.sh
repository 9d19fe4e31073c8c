#!/bin/sh
# Installs a built tree into a temporary prefix and builds a small program
# outside the tree against it: with find_package(quillmark CONFIG), with
# pkg-config, and (configure only) with add_subdirectory of the checkout.
# usage: install_and_consume.sh CMAKE BUILD_DIR SAMPLE_PDF
set -eu
cmake=$1 build=$2 sample=$3
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
cxx=${CXX:-c++}
expected="Corpus document basic 3"
work=$(mktemp -d "${TMPDIR:-/tmp}/quillmark-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
for f in bin/quillmark share/man/man1/quillmark.1 include/quillmark/quillmark.h; do
    [ -f "$prefix/$f" ] || fail "not installed: $f"
done
lib=$(find "$prefix" -name libquillmark.a)
[ -n "$lib" ] || fail "not installed: libquillmark.a"
pc=$(find "$prefix" -name quillmark.pc)
[ -n "$pc" ] || fail "not installed: quillmark.pc"
"$prefix/bin/quillmark" extract "$sample" | grep -q "$expected" || fail "installed command"
# The manual page names the version the command prints.
version=$("$prefix/bin/quillmark" --version | sed 's/^quillmark //')
grep -q "^\.TH QUILLMARK 1 .*\"quillmark $version\"" "$prefix/share/man/man1/quillmark.1" ||
    fail "quillmark.1 does not name version $version"
# The manual page formats without warnings.
if command -v groff >/dev/null 2>&1; then
    warnings=$(groff -man -Tutf8 -ww -z "$prefix/share/man/man1/quillmark.1" 2>&1)
    [ -z "$warnings" ] || fail "quillmark.1: $warnings"
fi

# 1. find_package, from a prefix that is not the one configured at build time.
"$cmake" -S "$here/consumer" -B "$work/by-cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$cxx" >"$work/by-cmake.log" 2>&1 ||
    { cat "$work/by-cmake.log"; fail "configure with find_package"; }
"$cmake" --build "$work/by-cmake" >>"$work/by-cmake.log" 2>&1 ||
    { cat "$work/by-cmake.log"; fail "build with find_package"; }
out=$("$work/by-cmake/consumer" "$sample") || fail "find_package program exited $?"
[ "$out" = "$expected" ] || fail "find_package program printed '$out'"

# 2. pkg-config.
export PKG_CONFIG_PATH="$(dirname "$pc")"
[ "$(pkg-config --modversion quillmark)" = "$version" ] || fail "pkg-config --modversion is not $version"
# shellcheck disable=SC2046
"$cxx" -std=c++20 -O1 -o "$work/by-pkg-config" "$here/consumer/consumer.cpp" \
    $(pkg-config --cflags --libs quillmark) || fail "build with pkg-config"
out=$("$work/by-pkg-config" "$sample") || fail "pkg-config program exited $?"
[ "$out" = "$expected" ] || fail "pkg-config program printed '$out'"

# 3. add_subdirectory of the checkout: configures and generates with the
#    tests and the install rules off, and the alias target links.
"$cmake" -S "$here/consumer" -B "$work/by-subdirectory" -DQUILLMARK_SOURCE_DIR="$source_dir" \
    -DCMAKE_CXX_COMPILER="$cxx" >"$work/by-subdirectory.log" 2>&1 ||
    { cat "$work/by-subdirectory.log"; fail "configure with add_subdirectory"; }
grep -q '^QUILLMARK_TESTS:BOOL=OFF' "$work/by-subdirectory/CMakeCache.txt" || fail "tests on in a subdirectory"
grep -q '^QUILLMARK_INSTALL:BOOL=OFF' "$work/by-subdirectory/CMakeCache.txt" || fail "install rules on in a subdirectory"
# The consumer links the library alone; the command is not built by default.
grep -q 'quillmark/libquillmark.a' "$work/by-subdirectory/CMakeFiles/consumer.dir/link.txt" ||
    fail "consumer does not link the subdirectory's library"
echo "ok: installed, built with find_package and with pkg-config, configured as a subdirectory"
