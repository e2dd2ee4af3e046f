#!/usr/bin/env bash
# Appends plausible log lines to a file a few times a second, as a server would.
set -u
file="$1"
levels=(INFO INFO INFO DEBUG WARN ERROR)
modules=(http db cache auth scheduler mailer)
n=0
: >>"$file"
while :; do
  n=$((n + 1))
  printf '%s %-5s [%s] request %d handled in %d ms\n' "$(date '+%Y-%m-%d %H:%M:%S.%3N')" \
    "${levels[RANDOM % 6]}" "${modules[RANDOM % 6]}" "$n" "$((RANDOM % 900))" >>"$file"
  sleep 0.$((RANDOM % 5 + 1))
done
