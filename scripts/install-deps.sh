#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: packages already present are left alone. Needs root or sudo.
set -euo pipefail

PACKAGES=(
  # build
  cmake g++ make pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools qt6-translations-l10n
  libgl-dev libpulse-dev libxcb1-dev libxcb-keysyms1-dev
  libgtest-dev libgmock-dev
  # fuzzing (libFuzzer ships with clang's runtime)
  clang libclang-rt-14-dev
  # Chinese text: a Song face for the "宋体" captions
  fonts-arphic-uming
  # help file compiler (chmcmd)
  fp-utils
  # real sound server and desktop for the end-to-end tests
  pulseaudio pulseaudio-utils sox libsox-fmt-pulse
  xvfb xdotool trayer twm xfonts-base x11-utils imagemagick dbus
  desktop-file-utils xdg-utils libglib2.0-bin
  # packaging: dpkg-shlibdeps for the .deb, appstreamcli for the metadata test
  dpkg-dev appstream
)

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#PACKAGES[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
