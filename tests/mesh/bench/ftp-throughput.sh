#!/bin/sh
# Measures file-transfer throughput between two consoles over loopback, beside a plain TCP
# copy of the same bytes in the same run, inside a private network namespace it makes itself.
# Each figure is the best of RUNS runs (default 3) of wall time, sender start to the file on
# disk. The consoles' fixed cost (start, login, finding the peer, logout) is measured with a
# 1-byte file and shown apart, and taken off for the transfer's own rate.
# Usage: ftp-throughput.sh [NATIVE_BUILD_DIR] [MEGABYTES]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../../../build/native}
build=$(cd "$build" && pwd)
mb=${2:-100}
if [ -z "${KIV_IN_NETNS:-}" ]; then
  cmake --build "$build" --target kmconsole kiv_mesh_tcpcopy >/dev/null
  KIV_IN_NETNS=1 exec "$here/../run-in-netns.sh" sh "$0" "$build" "$mb"
fi
kmc=$build/tools/kmconsole/kmconsole
copy=$build/tests/mesh/kiv_mesh_tcpcopy
runs=${RUNS:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/kmbench.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/in"
head -c $((mb * 1048576)) /dev/urandom >"$work/data.bin"
head -c 1 /dev/urandom >"$work/one.bin"
now() { date +%s.%N; }

# Seconds for one console transfer of $1; $2 and $3 are extra options of receiver and sender.
console() {
  rm -f "$work/in/"*
  # shellcheck disable=SC2086  # the extra options as words
  "$kmc" --script --address 127.0.0.1 --port 51950 --machine PCR --ftp-port 52950 receive "$work/in" \
    --until-done --wait 300 ${2:-} >"$work/rx" &
  rx=$!
  sleep 0.3
  t0=$(now)
  # shellcheck disable=SC2086  # the extra options as words
  "$kmc" --script --address 127.0.0.1 --port 51950 --machine PCS --disc KMS send-file PCR "$1" \
    --until-done --wait 300 ${3:-} >"$work/tx"
  wait $rx
  t1=$(now)
  cmp -s "$1" "$work/in/$(basename "$1")" || { echo "console copy differs" >&2; exit 1; }
  echo "$t1 - $t0" | bc -l
}

# Seconds for one plain copy.
plain() {
  rm -f "$work/in/"*
  "$copy" recv 52951 "$work/in/plain.bin" &
  rx=$!
  sleep 0.3
  t0=$(now)
  "$copy" send 52951 "$1"
  wait $rx
  t1=$(now)
  cmp -s "$1" "$work/in/plain.bin" || { echo "plain copy differs" >&2; exit 1; }
  echo "$t1 - $t0" | bc -l
}

best() {
  b=
  i=0
  while [ $i -lt "$runs" ]; do
    t=$("$@")
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc -l)" = 1 ]; then b=$t; fi
    i=$((i + 1))
  done
  echo "$b"
}

fixed=$(best console "$work/one.bin")
big=$(best console "$work/data.bin")
tcp=$(best plain "$work/data.bin")
small=$(best console "$work/data.bin" "--recv-byte 8192" "--send-byte 4096")
net=$(echo "$big - $fixed" | bc -l)
netSmall=$(echo "$small - $fixed" | bc -l)
printf 'file size                 %d MiB, best of %d runs\n' "$mb" "$runs"
printf 'plain TCP copy            %8.3f s  %8.1f MiB/s\n' "$tcp" "$(echo "$mb / $tcp" | bc -l)"
printf 'consoles, whole run       %8.3f s  %8.1f MiB/s\n' "$big" "$(echo "$mb / $big" | bc -l)"
printf 'consoles, fixed cost      %8.3f s  (1-byte file)\n' "$fixed"
printf 'consoles, transfer only   %8.3f s  %8.1f MiB/s\n' "$net" "$(echo "$mb / $net" | bc -l)"
printf 'ratio console/plain time  %8.2f (whole run)  %8.2f (transfer only)\n' \
  "$(echo "$big / $tcp" | bc -l)" "$(echo "$net / $tcp" | bc -l)"
printf "with the component's own chunks (--send-byte 4096 --recv-byte 8192):\n"
printf 'consoles, transfer only   %8.3f s  %8.1f MiB/s  ratio %.2f\n' "$netSmall" \
  "$(echo "$mb / $netSmall" | bc -l)" "$(echo "$netSmall / $tcp" | bc -l)"
