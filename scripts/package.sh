#!/usr/bin/env bash
# Builds the Debian packages (orlavo, orlavod, libpellix1, libpellix-dev) from
# this checkout in a Release build of its own, then checks them: lintian (no
# error), the desktop file, the AppStream metadata, and a program built
# against libpellix-dev with pkg-config and with CMake.
#   ./scripts/package.sh                 packages for this machine, in build-package/packages/
#   ./scripts/package.sh --arch arm64    cross-built packages without the desktop program
set -euo pipefail
cd "$(dirname "$0")/.."

arch=$(dpkg --print-architecture)
while [ $# -gt 0 ]; do
  case $1 in
    --arch) arch=${2:?--arch needs an architecture}; shift 2 ;;
    *) echo "usage: $0 [--arch ARCH]" >&2; exit 2 ;;
  esac
done

./scripts/setup.sh
build=build-package
# Debian's hardening flags (stack protector, fortify, full RELRO, bind now).
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake_args=(-DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
            -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
            -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DORLAVO_PACKAGE_DOCS=ON
            -DORLAVO_SYSTEMD_USER_UNIT_DIR=lib/systemd/user -DORLAVO_BUILD_TESTS=OFF)
if [ "$arch" != "$(dpkg --print-architecture)" ]; then
  ./scripts/setup-cross.sh "$arch"
  build=build-package-$arch
  cmake_args+=(-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-$arch.cmake" -DORLAVO_BUILD_GUI=OFF
               -DORLAVO_BUILD_TESTS=ON -DCPACK_DEBIAN_PACKAGE_ARCHITECTURE="$arch")
else
  cmake_args+=(-DORLAVO_BUILD_GUI=ON)
fi
if command -v ccache > /dev/null; then
  cmake_args+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

cmake -S . -B "$build" -G Ninja "${cmake_args[@]}" > /dev/null
cmake --build "$build" -j"$(nproc)"
rm -rf "$build/packages"
(cd "$build" && cpack > cpack.log) || { cat "$build/cpack.log" >&2; exit 1; }
debs=("$build"/packages/*.deb)
echo "packages:"
for deb in "${debs[@]}"; do
  printf '  %-40s %6s KiB\n' "${deb##*/}" "$(( $(stat -c %s "$deb") / 1024 ))"
done

status=0
# lintian: errors fail; the warnings kept are listed in docs/packaging.md.
lintian --fail-on error "${debs[@]}" || status=1
if [ "$arch" != "$(dpkg --print-architecture)" ]; then
  ./scripts/test-cross.sh "$arch" "$build" || status=1
  exit "$status"
fi
desktop-file-validate data/orlavo.desktop || status=1
appstreamcli validate --no-net data/org.orlavo.Orlavo.metainfo.xml || status=1

# The development package works for a program outside this tree.
root=$PWD/$build/dev-check
rm -rf "$root" && mkdir -p "$root/src"
for deb in "$build"/packages/libpellix*.deb; do dpkg-deb -x "$deb" "$root/sysroot"; done
cat > "$root/src/main.cpp" <<'CPP'
#include <pellix/rss_comp.h>
#include <cstdio>
int main() { std::printf("%s\n", pellix::RSSComp::UserAgent().c_str()); }
CPP
printf 'cmake_minimum_required(VERSION 3.25)\nproject(consumer CXX)\nfind_package(pellix 1 REQUIRED)\nadd_executable(consumer main.cpp)\ntarget_link_libraries(consumer PRIVATE pellix::pellix)\n' \
  > "$root/src/CMakeLists.txt"
libdir=$(find "$root/sysroot" -name 'libpellix.so.1' -printf '%h')
pc_flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs pellix)
# shellcheck disable=SC2086
g++ -std=c++20 "$root/src/main.cpp" $pc_flags -o "$root/pc-consumer" && LD_LIBRARY_PATH=$libdir "$root/pc-consumer" > /dev/null \
  || { echo "FAIL: a program built with pkg-config --cflags --libs pellix" >&2; status=1; }
cmake -S "$root/src" -B "$root/build" -G Ninja -DCMAKE_PREFIX_PATH="$root/sysroot/usr" > /dev/null &&
  cmake --build "$root/build" > /dev/null && LD_LIBRARY_PATH=$libdir "$root/build/consumer" > /dev/null \
  || { echo "FAIL: a program built with find_package(pellix)" >&2; status=1; }
[ "$status" = 0 ] && echo "package checks: passed"
exit "$status"
