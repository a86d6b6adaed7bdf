#!/usr/bin/env bash
# Installs the Debian packages Tarvo needs: "build" for building and running, "test" adds what
# the test suite, benchmarks, fuzzers and the package test use, "package" what building the Debian
# package needs. Installs only what is missing.
set -euo pipefail
what=${1:-build}

build_pkgs=(cmake g++ ninja-build pkg-config qt6-base-dev libgstreamer1.0-dev
  libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  libjpeg62-turbo-dev libyuv-dev fonts-dejavu-core qtkeychain-qt6-dev libsecret-1-0 libmicrohttpd-dev)
test_pkgs=(googletest libgtest-dev libgmock-dev libbenchmark-dev python3-pyftpdlib microsocks
  xvfb xdotool x11-utils imagemagick ffmpeg libjpeg-turbo-progs trayer clang curl vsftpd psmisc openbox gstreamer1.0-tools
  dbus gnome-keyring python3-dbus chromium openssl weston qt6-wayland dunst python3-gi)

# What scripts/package.sh needs to build the Debian package and the package test to check it.
package_pkgs=(debhelper lintian appstream desktop-file-utils)

pkgs=("${build_pkgs[@]}")
[ "$what" = test ] && pkgs+=("${test_pkgs[@]}" "${package_pkgs[@]}")
[ "$what" = package ] && pkgs+=("${package_pkgs[@]}")

missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
