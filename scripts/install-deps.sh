#!/usr/bin/env bash
# Installs every Debian 12 package Vantrel needs to build, test and run. Does nothing
# when all of them are present. With --packaging, also the tools that build and check
# the Debian package (desktop-file-validate, appstreamcli, lintian).
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config git lld
  qt6-base-dev qt6-base-dev-tools qt6-wayland qt6-translations-l10n libgl1-mesa-dev
  libhidapi-dev libudev-dev libsimpleini-dev libcli11-dev nlohmann-json3-dev
  libre2-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libxcb1-dev openbox nodejs
  xvfb xauth xdotool x11-utils fonts-dejavu-core fonts-wqy-microhei bash-completion
  dbus at-spi2-core python3-pyatspi python3-dbusmock libglib2.0-bin
  qt6-svg-dev poppler-utils python3-jsonschema
  kwin-wayland gnome-shell xwayland weston x11-apps
)
if [ "${1:-}" = "--packaging" ]; then
  packages+=(dpkg-dev file desktop-file-utils appstream lintian)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
