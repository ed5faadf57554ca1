# Cross-build for 64-bit ARM (Raspberry Pi OS 64-bit, Debian arm64) with
# Debian's cross compiler and the arm64 libraries installed through multiarch
# (scripts/setup-cross.sh). Tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
# The host's pkg-config, reading the arm64 .pc files (FindOpenSSL asks it).
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)
# GNUInstallDirs picks Debian's multiarch library folder only for native builds.
set(CMAKE_INSTALL_LIBDIR lib/aarch64-linux-gnu CACHE PATH "")
