#!/usr/bin/env bash
# Cross-builds libjpeg-turbo, libpng and GoogleTest for both architectures into a cache folder
# outside the clone. Each set of inputs (this script, the toolchain files, the source package
# versions, the compiler) has a folder of its own named by their stamp, so clones of different
# commits can share one cache without undoing each other's builds.
# Usage: build-deps.sh           builds what is missing
#        build-deps.sh --where   prints the folder for the current inputs (builds nothing)
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
cache_root=${KANORU_DEPS_CACHE:-${HOME:-/root}/.cache/kanoru2/deps}
jobs=$(nproc)
mkdir -p "$cache_root"

# Source lists can be missing on a machine whose package lists were made before deb-src was on.
if [ -z "$(apt-cache showsrc libjpeg-turbo 2>/dev/null)" ]; then
  if [ "$(id -u)" -eq 0 ]; then apt-get update -q >/dev/null; else sudo apt-get update -q >/dev/null; fi
fi
jpeg_version=$(apt-cache showsrc libjpeg-turbo 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1)
png_version=$(apt-cache showsrc libpng1.6 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -1)
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
stamp=$( { cat "$0" "$here"/cmake/mingw-common.cmake "$here"/cmake/toolchain-*.cmake;
           echo "$jpeg_version $png_version $gtest_version";
           x86_64-w64-mingw32-g++-posix --version | head -1; } | sha256sum | cut -c1-16)

final="$cache_root/$stamp"
if [ "${1:-}" = --where ]; then
  echo "$final"
  exit 0
fi
if [ -f "$final/done" ]; then
  echo "dependency cache is current: $final"
  exit 0
fi

# Built aside and renamed into place at the end: a run that stops half-way leaves nothing that
# looks finished, and two runs at once do not write into one folder.
cache=$(mktemp -d "$cache_root/building.XXXXXX")
trap 'rm -rf "$cache"' EXIT
echo "building dependencies into $final"
src="$cache/src"
mkdir -p "$src"
(
  cd "$src"
  apt-get source -q libjpeg-turbo >/dev/null
  # The plain command can pick a security version whose .dsc is missing.
  apt-get source -q -t bookworm libpng1.6 >/dev/null 2>&1 || apt-get source -q libpng1.6 >/dev/null
)
jpeg_src=$(find "$src" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -1)
png_src=$(find "$src" -maxdepth 1 -type d -name 'libpng1.6-*' | head -1)

build_one() {
  local arch=$1 name=$2 source=$3; shift 3
  local triple=$arch-w64-mingw32
  local prefix="$cache/$triple"
  cmake -S "$source" -B "$cache/build/$arch/$name" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch.cmake" \
    -DKANORU_DEPS_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_CROSSCOMPILING_EMULATOR= "$@" >"$cache/build-$arch-$name.log" 2>&1 ||
    { tail -40 "$cache/build-$arch-$name.log"; return 1; }
  cmake --build "$cache/build/$arch/$name" -j "$jobs" >>"$cache/build-$arch-$name.log" 2>&1 &&
    cmake --install "$cache/build/$arch/$name" >>"$cache/build-$arch-$name.log" 2>&1 ||
    { tail -40 "$cache/build-$arch-$name.log"; return 1; }
}

for arch in x86_64 i686; do
  triple=$arch-w64-mingw32
  build_one "$arch" jpeg "$jpeg_src" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
    -DWITH_JAVA=OFF -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF -DWITH_SIMD=1 -DREQUIRE_SIMD=1 &
  # zlib: the static library by name, or CMake picks the import library and the program needs zlib1.dll.
  build_one "$arch" png "$png_src" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
    -DPNG_EXECUTABLES=OFF -DZLIB_INCLUDE_DIR=/usr/$triple/include \
    -DZLIB_LIBRARY=/usr/$triple/lib/libz.a &
  build_one "$arch" gtest /usr/src/googletest -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF &
done
fail=0
for job in $(jobs -p); do wait "$job" || fail=1; done
[ "$fail" = 0 ] || { echo "dependency build failed"; exit 1; }

rm -rf "$cache/build" "$src"
touch "$cache/done"
if mv -T "$cache" "$final" 2>/dev/null; then
  trap - EXIT
else
  echo "another run finished the same build first"
fi
echo "dependencies built"
