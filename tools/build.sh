#!/usr/bin/env bash
# Configures and builds one architecture: build.sh x86_64|i686 [build folder]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:?x86_64 or i686}
build=${2:-$here/build/$arch}
deps=$(bash "$here/tools/build-deps.sh" --where)
cmake -S "$here" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/cmake/toolchain-$arch.cmake" \
  -DKANORU_DEPS_PREFIX="$deps/$arch-w64-mingw32" >/dev/null
cmake --build "$build" -j "$(nproc)"
