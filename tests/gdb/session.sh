#!/usr/bin/env bash
# Runs session.gdb in gdb-multiarch against a program serving gdb on 127.0.0.1:PORT (started with
# --gdb-wait) and checks that gdb's output holds every "expect" pattern of session.gdb.
# Usage: session.sh PORT CARTRIDGE.elf
here=$(dirname "$0") out=$(mktemp)
trap 'rm -f "$out"' EXIT
timeout 60 gdb-multiarch -batch -nx -ex "file $2" -ex "target remote 127.0.0.1:$1" \
    -x "$here/session.gdb" >"$out" 2>&1 || { cat "$out"; exit 1; }
grep '^# expect ' "$here/session.gdb" | cut -c10- | while read -r pattern; do
    grep -qE -- "$pattern" "$out" || { echo "missing: $pattern"; cat "$out"; exit 1; }
done
