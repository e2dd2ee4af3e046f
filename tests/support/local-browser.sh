#!/bin/bash
# Stands in for the web browser while the tests run: fetches an address on 127.0.0.1, where the
# reference update service records it, and never anything else.
[[ "$1" =~ ^http://127\.0\.0\.1:([0-9]+)(/.*)?$ ]] || exit 1
exec 3<>"/dev/tcp/127.0.0.1/${BASH_REMATCH[1]}" || exit 1
printf 'GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' "${BASH_REMATCH[2]:-/}" >&3
cat <&3 >/dev/null
