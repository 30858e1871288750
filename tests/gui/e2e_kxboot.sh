#!/usr/bin/env bash
# The real desktop program under a virtual X server against the simulated boot loader:
# the settings file names the simulator's pty and an image, the program's self-test
# presses Load and answers the boxes, and afterwards the box texts, the simulator's
# flash dump, its request log and the settings written at close are checked.
# Usage: e2e_kxboot.sh KXBOOT KXBOOT_SIM ARTEFACT_FOLDER
set -euo pipefail
kxboot=${1:?kxboot}
sim=${2:?kxboot-sim}
artefacts=${3:?artefact folder}

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "e2e: $*" >&2; exit 1; }

rm -rf "$artefacts"
# Lock files in a folder of the test's own: the machine-wide one holds other programs'
# locks for pty numbers the kernel hands out again, which would make this port busy.
mkdir -p "$artefacts" "$work/runtime" "$work/locks"
chmod 700 "$work/runtime"

# An image of 8 pages, page p filled with the byte 0xA0 + p, and a valid trailer.
image="$work/device.rom"
: >"$image"
for p in 1 2 3 4 5 6 7 8; do
  head -c 3072 /dev/zero | tr '\0' "\\$(printf '%03o' $((0xA0 + p)))" >>"$image"
done
printf '\x2d\x70\x01' >>"$image"

# What the device must hold afterwards: pages 1 to 7, the first six bytes replaced
# by the simulator's head bytes (its default 11 22 33 44 55 66).
expected="$work/expected.bin"
{ printf '\x11\x22\x33\x44\x55\x66'; head -c $((7 * 3072)) "$image" | tail -c +7; } >"$expected"

# Starts the simulator with the given options, its output in $work/NAME.out and .err;
# sets sim_pid, and pty to the pty it made once it is ready.
start_sim() {
  local name=$1
  shift
  "$sim" --until-killed "$@" >"$work/$name.out" 2>"$work/$name.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/$name.out" ] && break
    sleep 0.05
  done
  pty=$(head -n1 "$work/$name.out")
}

# Runs the desktop program on a virtual X screen with the settings file, the
# simulator's pty and its self-test writing into ARTEFACTS, for at most SECONDS; sets
# status and says how long it ran (WHAT names the run).
run_kxboot() {
  local artefacts_dir=$1 seconds=$2 what=$3 start end
  start=$(date +%s%N)
  status=0
  env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb KXBOOT_SETTINGS="$settings" KXBOOT_PORTS="$pty" \
    KXBOOT_AUTOTEST="$artefacts_dir" XDG_RUNTIME_DIR="$work/runtime" KXBOOT_LOCK_DIR="$work/locks" \
    timeout "$seconds" xvfb-run -a -s "-screen 0 1024x768x24" "$kxboot" >"$artefacts_dir/kxboot.out" 2>&1 ||
    status=$?
  end=$(date +%s%N)
  echo "e2e: kxboot$what ran $(((end - start) / 1000000)) ms, status $status"
}

start_sim sim --flash "$work/flash.bin" --log "$work/requests.log"
[ -c "$pty" ] || fail "the simulator gave no pty (${pty:-nothing}): $(cat "$work/sim.err")"

settings="$work/kxboot.ini"
printf '[Common]\nFN=%s\n[RS232]\nPort=%s\n[MainWindow]\nLeft=5000\nTop=5000\n' "$image" "$pty" >"$settings"

run_kxboot "$artefacts" 100 ""
[ "$status" -eq 0 ] || fail "kxboot ended with status $status: $(tail -5 "$artefacts/kxboot.out")"

# How the load ended, as the program itself tells it; then what the user saw of it:
# exactly one box, the success message.
outcome=$(cat "$artefacts/outcome.txt" 2>/dev/null || true)
[ "$outcome" = "outcome=loaded reason=loaded pages=7" ] || fail "the load ended as: ${outcome:-nothing}"
messages=$(cat "$artefacts/messages.log" 2>/dev/null || true)
[ "$messages" = "$(printf 'Information\tЗагрузка окончена.')" ] || fail "message boxes were: ${messages:-none}"

cmp "$expected" "$work/flash.bin" || fail "the flash dump differs from pages 1-7 with the head bytes"
grep -q ' fn=6 ' "$work/requests.log" || fail "no finish request reached the device"
pages=$(grep -c ' fn=20 ' "$work/requests.log" || true)
[ "$pages" -eq 7 ] || fail "$pages program-page requests instead of 7"
cp "$work/requests.log" "$artefacts/"

# The settings written at close: image, port, and the centred window of 361 x 251.
value() { sed -n "/^\[$1\]/,/^\[/{s/^$2=//p}" "$settings" | tr -d '\r' | head -n1; }
check() { [ "$(value "$1" "$2")" = "$3" ] || fail "[$1] $2 is '$(value "$1" "$2")', not '$3'"; }
check Common FN "$image"
check RS232 Port "$pty"
check MainWindow State 0
check MainWindow Left $(((1024 - 361) / 2))
check MainWindow Top $(((768 - 251) / 2))
check MainWindow Width 361
check MainWindow Height 251
cp "$settings" "$artefacts/"

for picture in main.png progress.png message-1.png; do
  [ "$(head -c 4 "$artefacts/$picture" 2>/dev/null | od -An -c | tr -d ' ')" = '211PNG' ] ||
    fail "no picture $picture"
done
echo "e2e: loaded 7 pages, flash dump right, settings written, pictures in $artefacts"

# SIGTERM while the program waits for a silent device: the load is cancelled without a
# box and the program ends as its close box ends it, with its settings written.
kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true
start_sim sim2 --ignore-identify 1000000 --log "$work/silent.log"
printf '[Common]\nFN=%s\n' "$image" >"$settings"
mkdir -p "$artefacts/sigterm"
env -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb KXBOOT_SETTINGS="$settings" KXBOOT_PORTS="$pty" \
  KXBOOT_AUTOTEST="$artefacts/sigterm" XDG_RUNTIME_DIR="$work/runtime" KXBOOT_LOCK_DIR="$work/locks" \
  timeout 100 xvfb-run -a -s "-screen 0 1024x768x24" "$kxboot" >"$artefacts/sigterm/kxboot.out" 2>&1 &
runner=$!
program=
for _ in $(seq 600); do
  if [ -z "$program" ]; then
    wrapper=$(pgrep -P "$runner" -x xvfb-run || true)
    [ -n "$wrapper" ] && program=$(pgrep -P "$wrapper" -x kxboot || true)
  fi
  [ -n "$program" ] && [ "$(grep -c ' fn=1 ' "$work/silent.log" 2>/dev/null || true)" -ge 3 ] && break
  sleep 0.05
done
[ -n "$program" ] || fail "the program under test was not found"
kill -TERM "$program"
status=0
wait "$runner" || status=$?
[ "$status" -eq 0 ] || fail "after SIGTERM kxboot ended with status $status"
[ ! -s "$artefacts/sigterm/messages.log" ] || fail "SIGTERM showed boxes: $(cat "$artefacts/sigterm/messages.log")"
outcome=$(cat "$artefacts/sigterm/outcome.txt" 2>/dev/null || true)
[ "$outcome" = "outcome=cancelled reason=cancelled pages=0" ] || fail "after SIGTERM the load ended as: ${outcome:-nothing}"
check Common FN "$image"
check RS232 Port "$pty"
check MainWindow Width 361
echo "e2e: SIGTERM during the wake loop cancelled the load and closed the program with its settings"

# An adapter that returns no echo of the request, on the program's line with echo: the
# device answers every wake-up, so the load must end at once with one box naming the
# cause instead of waiting at "Включите МК..." for ever.
kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true
start_sim sim3 --no-echo --log "$work/noecho.log"
printf '[Common]\nFN=%s\n[RS232]\nPort=%s\n' "$image" "$pty" >"$settings"
mkdir -p "$artefacts/no-echo"
run_kxboot "$artefacts/no-echo" 60 " without echo"
[ "$status" -eq 0 ] || fail "without echo kxboot ended with status $status: $(tail -5 "$artefacts/no-echo/kxboot.out")"
outcome=$(cat "$artefacts/no-echo/outcome.txt" 2>/dev/null || true)
[ "$outcome" = "outcome=failed reason=no-echo pages=0" ] || fail "without echo the load ended as: ${outcome:-nothing}"
messages=$(cat "$artefacts/no-echo/messages.log" 2>/dev/null || true)
no_echo_text='RS232. Преобразователь интерфейса не возвращает эхо запроса. Выберите режим линии без эха.'
[ "$messages" = "$(printf 'Error\t%s' "$no_echo_text")" ] || fail "without echo the boxes were: ${messages:-none}"
identifies=$(grep -c ' fn=1 ' "$work/noecho.log" || true)
[ "$identifies" -eq 3 ] || fail "$identifies identify requests without echo instead of one with its three tries"
echo "e2e: an adapter without echo ended the load with one box after one identify"
