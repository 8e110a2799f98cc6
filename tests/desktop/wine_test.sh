#!/usr/bin/env bash
# Tamo.exe end to end under wine inside Xvfb, on a 24-bit and on a 16-bit screen: the picture
# equals tamo-headless's at x1 and x2, held keys reach the cartridge, Shift+D opens the debugger
# whose buttons step and continue, the Size and Special menus act, closing writes the save file,
# a second copy exits at once, the I/O read warning and a fatal error show their boxes, and gdb
# debugs it over Winsock.
# Usage: wine_test.sh RELEASE_DIR TAMO_HEADLESS KEYS_GBA WARN_GBA WORK_DIR GDB_GBA
set -euo pipefail
release=$(realpath "$1") headless=$(realpath "$2") keys=$(realpath "$3") warn=$(realpath "$4")
mkdir -p "$5" && work=$(realpath "$5")
gdb_rom=$(realpath "$6") session=$(realpath "$(dirname "$0")/../gdb/session.sh")
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all,warn+debugstr
xvfb=""
stop_x() {
  timeout 30 wineserver -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; fi
  xvfb=""
}
trap stop_x EXIT
# What gdb prints when the program at the other end has gone.
connection_ended='Remote connection closed|Connection reset by peer'
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "--- $*"; }

start_x() { # DEPTH
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 "1024x768x$1" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb=$!
  exec 3>&-
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.2; done
  export DISPLAY=:$(head -1 "$work/display")
  if [ ! -d "$WINEPREFIX" ]; then
    timeout 180 wine wineboot -i >/dev/null 2>&1 && timeout 60 wineserver -w
    # Focus follows xdotool without a window manager; the software renderer keeps the
    # presentation fast on a screen without a graphics card.
    timeout 30 wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseTakeFocus /d N /f >/dev/null
    timeout 30 wine reg add 'HKCU\Software\Wine\Direct3D' /v renderer /d gdi /f >/dev/null
    timeout 60 wineserver -w
  fi
}

# Starts Tamo.exe in a fresh folder on ROM (copied there) inside a wine virtual desktop.
launch() { # NAME ROM [OPTION...]
  run=$work/$1
  rm -rf "$run" && mkdir -p "$run" && cp "$release/Tamo.exe" "$2" "$run/"
  (cd "$run" && exec wine explorer /desktop=tamo,1024x768 Tamo.exe "${@:3}" "$(basename "$2")" \
    >"$run/log" 2>&1) &
  launched=$!
}
main_window() {
  timeout 60 xdotool search --sync --onlyvisible --name '^Tamo( :.*)?$' | head -1 ||
    fail "no main window"
}
focus() { timeout 10 xdotool windowfocus --sync "$1" || fail "cannot focus $1"; }
# Waits until the window's client area shows PNG stretched by SCALE percent.
shows() { # WINDOW PNG SCALE
  convert "$2" -scale "$3%" "$work/expected.png"
  local w=$(($(identify -format %w "$work/expected.png"))) h=$(identify -format %h "$work/expected.png")
  for _ in $(seq 40); do
    import -window "$1" -crop "${w}x${h}+4+42" +repage "$work/shown.png" 2>/dev/null &&
      [ "$(compare -metric AE -fuzz 4% "$work/shown.png" "$work/expected.png" null: 2>&1)" = 0 ] &&
      return 0
    sleep 0.5
  done
  return 1
}
box() { # TITLE KEY MAIN_WINDOW: waits for the message box TITLE and answers it with KEY
  local b=""
  for _ in $(seq 60); do
    b=$(xdotool search --onlyvisible --name "^$1\$" | grep -vx "$3" | head -1) && break
    sleep 0.5
  done
  [ -n "$b" ] || fail "no box '$1'"
  focus "$b"
  xdotool key "$2"
}
ended() { # waits until the program started last has ended
  for _ in $(seq 60); do kill -0 "$launched" 2>/dev/null || return 0; sleep 0.5; done
  return 1
}
size() { # WINDOW ITEM: chooses Size > ITEM (1 to 4)
  xdotool mousemove --window "$1" 55 33 click 1 && sleep 0.5
  for _ in $(seq "$2"); do xdotool key Down; done
  xdotool key Return
}
special_menu() { # WINDOW PNG: the open Special menu's picture
  xdotool mousemove --window "$1" 100 33 click 1 && sleep 1
  import -window root -crop 160x24+74+42 "$2"
  xdotool key Escape Escape
}

"$headless" --frames 10 --screenshot "$work/keys.png" "$keys" >/dev/null
"$headless" --frames 10 --keys A+L@1-10 --screenshot "$work/keys-a-l.png" "$keys" >/dev/null
"$headless" --frames 10 --keys A@1-10 --screenshot "$work/keys-a.png" "$keys" >/dev/null

for depth in 24 16; do
  step "$depth-bit screen"
  start_x "$depth"
  launch "keys$depth" "$keys"
  w=$(main_window)
  shows "$w" "$work/keys.png" 100 || fail "picture at x1"
  focus "$w"
  size "$w" 2
  shows "$w" "$work/keys.png" 200 || fail "picture at x2"
  [ "$(xdotool getwindowgeometry "$w" | grep -o '[0-9]*x[0-9]*')" = 488x366 ] || fail "x2 size"
  focus "$w"
  size "$w" 1
  shows "$w" "$work/keys.png" 100 || fail "back to x1"
  if [ "$depth" = 16 ]; then timeout 30 wineserver -k; stop_x; continue; fi

  step "keys"
  focus "$w"
  xdotool keydown space keydown q
  shows "$w" "$work/keys-a-l.png" 100 || fail "held Space and Q"
  xdotool keyup space keyup q
  shows "$w" "$work/keys.png" 100 || fail "released keys"

  step "second copy"
  (cd "$work/keys$depth" && timeout 60 wine Tamo.exe keys.gba) || fail "second copy: status $?"

  step "Special menu"
  focus "$w"
  special_menu "$w" "$work/special-0.png"
  xdotool mousemove --window "$w" 100 33 click 1 && sleep 0.5 && xdotool key Down Return
  special_menu "$w" "$work/special-1.png"
  [ "$(compare -metric AE "$work/special-0.png" "$work/special-1.png" null: 2>&1)" != 0 ] ||
    fail "ROM Write Enable not checked"

  step "debugger"
  focus "$w"
  xdotool type D
  d=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tamo Debugger$' | head -1) ||
    fail "no debugger"
  timeout 30 xdotool search --sync --name '^Tamo : 0 fps$' >/dev/null || fail "paused title"
  focus "$d"
  import -window "$d" "$work/debugger-0.png"
  xdotool key space # Step In, the focused button
  sleep 1
  import -window "$d" "$work/debugger-1.png"
  [ "$(compare -metric AE "$work/debugger-0.png" "$work/debugger-1.png" null: 2>&1)" != 0 ] ||
    fail "Step In changed nothing"
  xdotool key Tab Tab space # Continue...
  sleep 1
  ! xdotool search --onlyvisible --name '^Tamo Debugger$' >/dev/null || fail "debugger still up"
  focus "$w"
  xdotool keydown space
  shows "$w" "$work/keys-a.png" 100 || fail "runs after Continue"
  xdotool keyup space
  shows "$w" "$work/keys.png" 100 || fail "released Space"

  step "Reset and close"
  sav=$work/keys$depth/keys.sav
  focus "$w"
  xdotool mousemove --window "$w" 20 33 click 1 && sleep 0.5 && xdotool key Down Down Return
  for _ in $(seq 20); do [ -e "$sav" ] && break; sleep 0.5; done
  touch -d 2000-01-01 "$sav" # File > Reset wrote it; closing must replace it
  focus "$w"
  xdotool key alt+F4
  ended || fail "still running after alt+F4"
  [ -n "$(find "$sav" -newermt 2001-01-01)" ] || fail "save file not replaced"
  [ "$(od -An -tx1 -j 131072 -N 1 "$sav")" = " 5a" ] || fail "save file"

  step "warning and fatal error"
  launch warn "$warn"
  w=$(main_window)
  box Tamo Return "$w"          # the I/O read warning: Yes silences the second read
  box Tamo-Emulator Return "$w" # SWP is not emulated
  ended || fail "still running after the fatal error"
  [ ! -e "$work/warn/wine_warn.sav" ] || fail "save written after a fatal error"

  step "gdb"
  "$headless" --gdb 0 --gdb-wait "$gdb_rom" 2>"$work/holder" & # holds a port
  holder=$!
  timeout 10 sh -c "until grep -q 127.0.0.1: '$work/holder'; do sleep 0.1; done"
  status=0
  (cd "$work" && timeout 60 wine "$release/Tamo.exe" --gdb "$(grep -oE '[0-9]+$' "$work/holder")" \
    none.gba 2>"$work/busy") || status=$?
  kill "$holder"
  [ $status = 2 ] && grep -q "is in use" "$work/busy" || fail "busy port: status $status"
  # The window lives while it waits for gdb (its title names the port); the gdb session; a stop
  # instruction reported to gdb; the window closed while gdb holds the processor there.
  launch gdb "$gdb_rom" --gdb 0 --gdb-wait
  w=$(timeout 60 xdotool search --sync --onlyvisible --name '^Tamo - waiting for gdb on .*$') ||
    fail "no wait for gdb"
  port=$(xdotool getwindowname "$w" | grep -oE '[0-9]+$')
  "$session" "$port" "${gdb_rom%.gba}.elf" || fail "gdb session"
  timeout 90 gdb-multiarch -batch -nx -ex "target remote 127.0.0.1:$port" -ex 'set $pc = 0x02000000' \
    -ex 'set {short}0x02000000 = 0xde00' -ex continue -ex "shell xdotool windowfocus --sync $w \
    key alt+F4; timeout 30 tail --pid=$launched -f /dev/null" -ex 'p $pc' >"$work/stop" 2>&1
  grep -q SIGTRAP "$work/stop" && grep -qE "$connection_ended" "$work/stop" ||
    fail "stop under gdb: $(cat "$work/stop")"
  [ ! -e "$work/gdb/gdb_cart.sav" ] || fail "save written after a stop held by gdb"
  stop_x
done
echo "wine tests passed"
