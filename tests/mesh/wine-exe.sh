#!/bin/sh
# Starts a Windows program with the Wine that wine-netns.sh chose.
# A UTF-8 locale, so that Wine passes Japanese arguments on as the characters they are.
LC_ALL=C.UTF-8 exec "$KIV_WINE" "$@"
