#!/usr/bin/env bash
# Installs the Debian packages the build needs, if any is missing. Usage:
#   install-deps.sh [build]   compilers, CMake, Ninja, GoogleTest, the mingw-w64 cross tools
#   install-deps.sh e2e       the same, and what runs the Windows program under Wine: 32-bit
#                             Wine, Xvfb, xdotool, ImageMagick (screenshots), g++-multilib
#                             (the 32-bit emulated-drive library Wine loads)
set -euo pipefail

mode=${1:-build}
case "$mode" in
    build | e2e) ;;
    *) echo "usage: $0 [build | e2e]" >&2; exit 2 ;;
esac

packages=(cmake ninja-build g++ python3 libgtest-dev libgmock-dev
          g++-mingw-w64-i686 binutils-mingw-w64-i686)
if [ "$mode" = e2e ]; then
    packages+=(wine wine32:i386 xvfb xauth xdotool imagemagick g++-multilib)
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

missing=()
for package in "${packages[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -ne 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$mode" = e2e ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
[ "$mode" = e2e ] || exit 0

# Wine's loader is a 32-bit program. Where the kernel runs none (IA-32 emulation switched
# off), the processor is emulated for 32-bit programs with QEMU's user mode, registered with
# binfmt_misc. It must be QEMU 8.1 or later: 7.2 (Debian 12) takes minutes to start each Wine
# process, so on Debian 12 it comes from bookworm-backports.
runs_32bit() { /lib/ld-linux.so.2 --version >/dev/null 2>&1; }
runs_32bit && exit 0

echo "This kernel runs no 32-bit programs: setting up QEMU user-mode emulation for them"
qemu_release=""
if grep -qx 'VERSION_CODENAME=bookworm' /etc/os-release; then
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        $sudo tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null <<'EOF'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
        $sudo apt-get update -qq
    fi
    qemu_release="-t bookworm-backports"
fi
installed=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
if [ -z "$installed" ] || dpkg --compare-versions "$installed" lt 1:8.1; then
    # shellcheck disable=SC2086
    $sudo apt-get install -y -qq --no-install-recommends $qemu_release qemu-user-static
fi

interpreter=$(readlink -f /usr/bin/qemu-i386-static)
binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || $sudo mount -t binfmt_misc binfmt_misc "$binfmt"
if [ -e "$binfmt/qemu-i386" ] && ! grep -qx "interpreter $interpreter" "$binfmt/qemu-i386"; then
    echo -1 | $sudo tee "$binfmt/qemu-i386" >/dev/null
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
    # ELF, 32-bit, little-endian, executable or shared object, machine 3 (i386). F: the
    # interpreter is opened now; P: the program keeps its own name.
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::$magic:$mask:$interpreter:FP" | $sudo tee "$binfmt/register" >/dev/null
fi
if ! runs_32bit; then
    echo "32-bit programs still do not run: Wine cannot start" >&2
    exit 1
fi
