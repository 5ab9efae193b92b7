#!/bin/sh
# Runs a command inside a private network namespace with only a loopback interface, where
# broadcasts to 255.255.255.255 loop back and never reach a real network. A mount namespace of
# its own gives it a hosts file that names this machine (Kiv finds its address by its host name)
# and a resolver on loopback, so a name that is not there fails at once instead of waiting for a
# name server the namespace cannot reach.
# shellcheck disable=SC2016  # expanded by the inner shell
exec unshare -rnm sh -c '
  hosts=$(mktemp)
  { cat /etc/hosts 2>/dev/null; printf "127.0.0.1\t%s\n" "$(hostname)"; } >"$hosts"
  mount --bind "$hosts" /etc/hosts && rm -f "$hosts"
  if [ -e /etc/resolv.conf ]; then
    resolv=$(mktemp)
    echo "nameserver 127.0.0.1" >"$resolv"
    mount --bind "$resolv" /etc/resolv.conf && rm -f "$resolv"
  fi
  ip link set lo up && ip route add default dev lo && exec "$@"' netns "$@"
