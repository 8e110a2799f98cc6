#!/usr/bin/env bash
# tamo in a real window on a private X server: the picture against tamo-headless's, held keys,
# the debugger window, the Size menu, a second start, the end of the run through SIGTERM (as a
# desktop logging out) writing the save file, gdb, and the file chooser at start-up.
# Usage: sdl_test.sh TAMO TAMO_HEADLESS KEYS_CARTRIDGE GDB_CARTRIDGE. Every wait has a deadline.
set -euo pipefail
tamo=$(realpath "$1") headless=$(realpath "$2") session=$(realpath "$(dirname "$0")/../gdb/session.sh")
# Under AddressSanitizer: SDL, D-Bus and the graphics drivers keep memory until the process ends.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
work=$(mktemp -d)
pids=()
cleanup() {
  local i  # the programs first, the X server last
  for ((i = ${#pids[@]} - 1; i > 0; i--)); do kill -KILL "${pids[i]}" 2>/dev/null || true; done
  kill "${pids[0]}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# What gdb prints when the program at the other end has gone.
connection_ended='Remote connection closed|Connection reset by peer'
fail() { echo "FAIL: $*" >&2; exit 1; }
wait_for() { # SECONDS COMMAND...: until the command succeeds
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
}

# -noreset: the server does not restart when its last window closes, which a program started at
# that moment would see as no display at all.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>/dev/null &
pids+=($!)
wait_for 60 grep -q . "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")" SDL_VIDEODRIVER=x11 XDG_RUNTIME_DIR="$work/run"
mkdir -m 700 "$work/run" "$work/bin"
cp "$3" "$work/keys.gba"
cp "$3" "$work/ref.gba"
cp "$4" "$work/gdb.gba" && cp "${4%.gba}.elf" "$work/gdb.elf"
cd "$work"
"$headless" --frames 10 --screenshot ref.png ref.gba

"$tamo" keys.gba &
tamo_pid=$!
pids+=($tamo_pid)
wait_for 60 xdotool search --name '^Tamo : [0-9]+ fps$' || fail "no main window with its frame rate"
wid=$(xdotool search --name '^Tamo( : .*)?$' | head -1)

# The picture area, below the menu bar, is tamo-headless's picture at n times its size.
picture_is() { # N
  import -window "$wid" win.png
  read -r w h < <(identify -format '%w %h' win.png)
  [ "$w" = $((240 * $1)) ] || return 1
  convert win.png -crop "${w}x$((160 * $1))+0+$((h - 160 * $1))" +repage crop.png
  convert ref.png -scale "$((100 * $1))%" refn.png
  [ "$(compare -metric AE crop.png refn.png null: 2>&1)" = 0 ]
}
wait_for 60 picture_is 1 || fail "the picture differs from tamo-headless's"
menu_bar=$(($(identify -format '%h' win.png) - 160))

# Key n shows as a white column 24n..24n+23 on lines 64-95 while it is down.
keys_are() { # ten 0/1 digits, key 0 (A) first
  import -window "$wid" win.png
  local format="" n
  for n in $(seq 0 9); do format+="%[fx:p{$((24 * n + 12)),$((menu_bar + 80))}.r>0.9?1:0]"; done
  convert win.png -format "$format" info: >seen
  [ "$(cat seen)" = "$1" ]
}
xdotool windowfocus --sync "$wid"
# Space (A), Enter (Start) and Q (L) count; the keypad's Enter and arrows do not.
xdotool keydown space Return q KP_Enter KP_Left KP_Down
wait_for 60 keys_are 1001000001 || fail "held keys: saw $(cat seen)"
xdotool keyup space Return q KP_Enter KP_Left KP_Down
wait_for 60 keys_are 0000000000 || fail "released keys: saw $(cat seen)"

# Shift+D opens the debugger; Step In moves the PC box; Continue hides the window.
xdotool key shift+d
wait_for 60 xdotool search --onlyvisible --name '^Tamo Debugger$' || fail "no debugger window"
dwid=$(xdotool search --onlyvisible --name '^Tamo Debugger$')
pc_box() { import -window "$dwid" dbg.png && convert dbg.png -crop 84x23+180+226 +repage "$1"; }
pc_moved() { pc_box pc2.png && [ "$(compare -metric AE pc1.png pc2.png null: 2>&1)" != 0 ]; }
pc_drawn() { # the box is drawn and stays as it is
  pc_box pc0.png && sleep 0.5 && pc_box pc1.png && [ "$(compare -metric AE pc0.png pc1.png null: 2>&1)" = 0 ] &&
    [ "$(convert pc1.png -format '%[fx:mean>0.05?1:0]' info:)" = 1 ]
}
wait_for 60 pc_drawn || fail "the debugger window is not drawn"
xdotool mousemove --window "$dwid" 55 305 click 1
wait_for 60 pc_moved || fail "Step In did not move the PC"
xdotool mousemove --window "$dwid" 250 305 click 1
wait_for 60 eval '! xdotool search --onlyvisible --name "^Tamo Debugger$"' || fail "Continue did not hide the debugger"

# Size, x 2: the picture area doubles and shows the same picture. ImGui reads where the mouse is
# when it draws a frame, so a busy machine may need a second try.
size_x2() {
  xdotool mousemove --window "$wid" 60 10 click 1 sleep 1 mousemove --window "$wid" 70 60 click 1
  wait_for 5 picture_is 2
}
wait_for 60 size_x2 || fail "x 2 did not double the picture"

timeout 10 "$tamo" keys.gba || fail "a second start did not end with status 0"
kill -0 $tamo_pid || fail "the first copy ended"

kill -TERM $tamo_pid
status=0
timeout 20 tail --pid=$tamo_pid -f /dev/null || fail "SIGTERM did not end tamo"
wait $tamo_pid || status=$?
[ $status = 0 ] || fail "tamo ended with status $status"
[ "$(od -An -tx1 -j 131072 -N1 keys.sav | tr -d ' ')" = 5a ] || fail "no save file"

# gdb: the window lives while it waits for gdb (its title names the port); the gdb session; a stop
# instruction reported to gdb instead of ending the run; closing while gdb holds the processor
# there ends the run as the stop does (status 1, no save file).
"$tamo" --gdb 0 --gdb-wait gdb.gba &
gdb_pid=$!
pids+=($gdb_pid)
wait_for 60 xdotool search --name '^Tamo - waiting for gdb on 127.0.0.1:[0-9]+$' || fail "no wait"
port=$(xdotool search --name '^Tamo - waiting' getwindowname | grep -oE '[0-9]+$')
"$session" "$port" gdb.elf || fail "gdb session"
timeout 60 gdb-multiarch -batch -nx -ex "file gdb.elf" -ex "target remote 127.0.0.1:$port" \
  -ex 'set {short}0x02000000 = 0xde00' -ex 'set $pc = 0x02000000' -ex continue \
  -ex "shell kill -TERM $gdb_pid; timeout 20 tail --pid=$gdb_pid -f /dev/null" -ex 'p $pc' >stop 2>&1
grep -q SIGTRAP stop && grep -qE "$connection_ended" stop || fail "stop under gdb: $(cat stop)"
status=0
wait $gdb_pid || status=$?
[ $status = 1 ] && [ ! -e gdb.sav ] || fail "closed under gdb: status $status"

# Without a ROM the desktop's chooser asks for one; cancelling it ends the program.
printf '#!/bin/sh\ncat "%s/choice" 2>/dev/null || exit 1\n' "$work" >bin/zenity
chmod +x bin/zenity
status=0
PATH="$work/bin:$PATH" timeout 20 "$tamo" || status=$?
[ $status = 1 ] || fail "cancelled chooser: status $status"
echo "$work/ref.gba" >choice
PATH="$work/bin:$PATH" "$tamo" missing.gba &
pids+=($!)
wait_for 60 xdotool search --name '^Tamo : [0-9]+ fps$' || fail "the chosen ROM did not run"
echo "sdl_test: all passed"
