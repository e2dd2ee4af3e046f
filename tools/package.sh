#!/usr/bin/env bash
# Builds the release brindle.exe (no tests) and makes dist/brindle-VERSION-win32.zip with the
# user's README.txt, the version history and the licence, then prints the zip's SHA-256.
# The same commit gives the same bytes in any folder.
# usage: tools/package.sh [-DNAME=VALUE...] [OUT_DIR]   (CMake options for the build, such as
#        the update service's address; OUT_DIR default dist/; BRINDLE_PACKAGE_BUILD: the build
#        folder, default build-package/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BRINDLE_PACKAGE_BUILD:-$root/build-package}"
options=(); out="$root/dist"
for arg in "$@"; do
  case "$arg" in -D*) options+=("$arg") ;; *) out="$arg" ;; esac
done
bash "$root/tools/setup.sh"
version=$(sed -n 's/^project(Brindle VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in CMakeLists.txt" >&2; exit 1; }
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DBRINDLE_TESTS=OFF "${options[@]}" >/dev/null
cmake --build "$build" --target brindle -j"$(nproc)" >&2
zip="$out/brindle-$version-win32.zip"
python3 "$root/tools/make-package.py" "$build/brindle.exe" "$zip" "$version"
echo "SHA-256 $(sha256sum "$zip" | cut -d' ' -f1)  $zip"
