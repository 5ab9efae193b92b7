#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kiv need; only those missing.
# Runs before anything else touches Wine or a compiler, and says what failed when it fails.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config zip unzip file python3
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  mingw-w64
  wine wine64
  xvfb xauth x11-utils xdotool imagemagick fonts-ipafont-gothic locales
  iproute2 util-linux procps strace
  libboost-dev chromium chromium-driver curl jq
  wixl msitools
  shellcheck clang-format git
)
# The shipped program is 32-bit: its tiers need the 32-bit Wine loader where 32-bit code runs.
i386_packages=(wine32:i386)

say() { echo "bootstrap: $*" >&2; }

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done

want_i386=
if bash "$(dirname "$0")/runs-32bit.sh"; then
  for p in "${i386_packages[@]}"; do installed "$p" || missing+=("$p"); done
  dpkg --print-foreign-architectures | grep -x i386 >/dev/null || want_i386=1
fi

if [ ${#missing[@]} -gt 0 ] || [ -n "$want_i386" ]; then
  if [ -n "$want_i386" ]; then
    say "adding the i386 architecture for the 32-bit Wine loader"
    $SUDO dpkg --add-architecture i386 || { say "dpkg --add-architecture i386 failed"; exit 1; }
  fi
  say "installing ${missing[*]}"
  log=$(mktemp)
  if ! $SUDO apt-get update -qq >"$log" 2>&1; then
    say "apt-get update failed:"; tail -n 20 "$log" >&2; exit 1
  fi
  if ! DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >"$log" 2>&1; then
    say "apt-get install failed:"; tail -n 30 "$log" >&2; exit 1
  fi
  rm -f "$log"
fi
# Code page 932 runs of the program need a Japanese locale.
if ! locale -a 2>/dev/null | grep -i '^ja_JP.utf8$' >/dev/null; then
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen 2>/dev/null || true
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  say "generating the ja_JP.UTF-8 locale"
  $SUDO locale-gen >/dev/null || { say "locale-gen ja_JP.UTF-8 failed"; exit 1; }
fi
# A minimal Debian root has no /etc/hosts, so not even localhost resolves without a name server;
# the network-namespace tests add this machine's name to it.
if [ ! -e /etc/hosts ]; then
  say "writing the standard /etc/hosts (localhost)"
  printf '127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost ip6-loopback\n' | $SUDO tee /etc/hosts >/dev/null
fi
