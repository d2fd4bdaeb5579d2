#!/usr/bin/env bash
# Installs the Debian packages that building and testing Vantrel need, when they are missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev clang-format
  googletest libgtest-dev libbenchmark-dev
  libmagickwand-6.q16-dev libturbojpeg0-dev zlib1g-dev pkg-config
  g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 nsis
  imagemagick-6.q16 libjpeg-turbo-progs
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
