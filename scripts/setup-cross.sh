#!/usr/bin/env bash
# setup-cross.sh ARCH: installs Debian's cross toolchain, the ARCH libraries
# the headless programs and their tests link (multiarch) and qemu-user.
set -euo pipefail
arch=${1:?usage: setup-cross.sh ARCH}
case $arch in
  arm64) ;;
  *) echo "setup-cross.sh: no cross-build set up for $arch" >&2; exit 2 ;;
esac
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
  "${sudo_cmd[@]}" dpkg --add-architecture "$arch"
  "${sudo_cmd[@]}" apt-get update -qq
fi
packages=(crossbuild-essential-"$arch" qemu-user
          libfmt-dev:"$arch" libssl-dev:"$arch" libgtest-dev:"$arch" libgmock-dev:"$arch"
          libmosquitto-dev:"$arch")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
fi
