#!/usr/bin/env bash
# Installs the Debian packages the build needs, if any is missing. Usage:
#   install-deps.sh build     compilers, CMake, Ninja, GoogleTest, the mingw-w64 cross tools
set -euo pipefail

packages=(cmake ninja-build g++ python3 libgtest-dev libgmock-dev
          g++-mingw-w64-i686 binutils-mingw-w64-i686)

missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
