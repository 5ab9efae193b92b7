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
mkdir -p "$work/lists/partial"
cat >"$work/sources.list" <<LIST
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
LIST
apt="-o APT::Sandbox::User=root -o Dir::Etc::SourceList=$work/sources.list -o Dir::Etc::SourceParts=/dev/null -o Dir::State::Lists=$work/lists"
# shellcheck disable=SC2086
apt-get $apt -qq update
version=$(dpkg-query -W -f '${Version}' libcpp-httplib-dev 2>/dev/null || true)
cd "$work"
# shellcheck disable=SC2086
apt-get $apt -qq source --download-only "cpp-httplib${version:+=$version}"
# apt has checked the files against the signed archive index.
dpkg-source --no-check -x ./*.dsc src >/dev/null
mkdir -p "$dest"
cp src/httplib.h src/LICENSE "$dest/"
echo "cpp-httplib source in $dest"
