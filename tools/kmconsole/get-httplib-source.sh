#!/bin/sh
# Puts the full source of Debian's cpp-httplib (its single header, with Debian's patches) in
# DEST (default build/cpp-httplib), for the Windows builds of kmconsole: Debian's
# libcpp-httplib-dev ships the header split, with its implementation only in the Linux
# library. Uses Debian's source archive through apt with lists of its own in DEST; the
# system's apt configuration is left alone. Needs dpkg-dev (dpkg-source) and network access
# to Debian's archive.
set -eu
top=$(cd "$(dirname "$0")/../.." && pwd)
dest=${1:-$top/build/cpp-httplib}
[ -f "$dest/httplib.h" ] && grep -q 'Server::listen_after_bind' "$dest/httplib.h" && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/parts"
# Source entries for the archives this machine already uses, taken from its own apt sources.
grep -hs '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list | sed 's/^deb /deb-src /' >"$work/sources.list" || true
for f in /etc/apt/sources.list.d/*.sources; do
  [ -f "$f" ] && sed 's/^Types:.*/Types: deb-src/' "$f" >"$work/parts/${f##*/}"
done
apt="-o APT::Sandbox::User=root -o Dir::Etc::SourceList=$work/sources.list -o Dir::Etc::SourceParts=$work/parts -o Dir::State::Lists=$work/lists"
# shellcheck disable=SC2086
apt-get $apt -qq update
version=$(dpkg-query -W -f '${Version}' libcpp-httplib-dev 2>/dev/null || true)
cd "$work"
# The installed version's source where the archives still have it, else the newest they have.
# shellcheck disable=SC2086
apt-get $apt -qq source --download-only "cpp-httplib${version:+=$version}" 2>/dev/null ||
  apt-get $apt -qq source --download-only cpp-httplib
# apt has checked the files against the signed archive index.
dpkg-source --no-check -x ./*.dsc src >/dev/null
mkdir -p "$dest"
cp src/httplib.h src/LICENSE "$dest/"
echo "cpp-httplib source in $dest"
