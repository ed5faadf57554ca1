#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent: packages already present are skipped. Runs as root or via sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev libfmt-dev libssl-dev ca-certificates
  libc-ares-dev libxml2-dev libpugixml-dev nlohmann-json3-dev libcpp-httplib-dev
  socat curl openssl iproute2 python3 time
  # The service's MQTT bridge and its broker test.
  libmosquitto-dev mosquitto mosquitto-clients
  # The desktop program, its tests (offscreen and under a virtual X server)
  # and its screenshots.
  qt6-base-dev qt6-webengine-dev qt6-qpa-plugins libqt6svg6 libgl-dev xvfb xauth fonts-dejavu-core
  # Man pages, the Debian packages and their checks; the feed library's API reference.
  scdoc man-db dpkg-dev pkg-config lintian appstream desktop-file-utils doxygen
  # The service's web page, tested in a headless browser.
  chromium chromium-driver python3-selenium
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
