#!/usr/bin/env bash
# gdb-multiarch against tamo-headless --gdb: the session of session.gdb, a second port refused,
# a reconnection after detach, and kill. Usage: gdb_test.sh TAMO_HEADLESS CARTRIDGE.gba
set -u
headless=$1 rom=$2 elf=${2%.gba}.elf here=$(dirname "$0")
work=$(mktemp -d) && trap 'kill $pid 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work"/*.txt; exit 1; }
gdb() { timeout 60 gdb-multiarch -batch -nx -ex "file $elf" -ex "target remote 127.0.0.1:$port" "$@"; }

timeout 120 "$headless" --gdb 0 --gdb-wait --frames 100000000 "$rom" 2>"$work/headless.txt" &
pid=$!
for _ in $(seq 100); do
    port=$(grep -oE '127.0.0.1:[0-9]+' "$work/headless.txt" | cut -d: -f2)
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || fail "tamo-headless named no port"

timeout 10 "$headless" --gdb "$port" "$rom" 2>"$work/second.txt"
[ $? -eq 2 ] && grep -q "port $port is in use" "$work/second.txt" || fail "busy port not refused"

"$here/session.sh" "$port" "$elf" || fail "gdb session"

# Detached, the cartridge runs on; a new debugger stops it in its loop and kills the run.
gdb -ex "info registers pc" -ex kill >"$work/again.txt" 2>&1 || fail "reconnection"
grep -qE '^pc +0x80000(1[0-9a-f]|0[0-9a-f])' "$work/again.txt" || fail "pc after reconnecting"
wait $pid
status=$?
[ $status -eq 1 ] && grep -q "killed from gdb" "$work/headless.txt" || fail "kill: status $status"
echo "gdb session passed"
