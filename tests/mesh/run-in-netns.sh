#!/bin/sh
# Runs a command inside a private network namespace with only a loopback interface, where
# broadcasts to 255.255.255.255 loop back and never reach a real network.
exec unshare -rn sh -c 'ip link set lo up && ip route add default dev lo && exec "$@"' netns "$@"
