#!/bin/sh
# Installs the Debian 12 packages the build, the tests and the demo need.
# Idempotent and non-interactive: only missing packages are installed.
set -e
packages="build-essential cmake pkg-config qtbase5-dev libqwt-qt5-dev libopencv-dev
libtiff-dev libtiff-tools libaravis-dev libusb-1.0-0-dev tshark clang iproute2 util-linux
xvfb x11-utils imagemagick libbenchmark-dev"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing:$missing"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends $missing
