#!/usr/bin/env bash
# The Palmkey demo: ZanDriverSrv against a simulated Palmkey, with two
# listeners playing the whiteboard programs' relay windows. Keys typed here
# become device reports; what each relay receives is printed with the time.
#
# Everything runs in a private folder (runtime folder, HOME, a copy of the
# service beside a demo document) that is removed at the end; every process
# started here is ended on exit or Ctrl-C.
set -euo pipefail

repo=$(cd "$(dirname "$0")/../.." && pwd)
bin=${ZAN_BUILD_BIN:-$repo/build/bin}
for program in ZanDriverSrv zanmsg palmkey-sim; do
  if [ ! -x "$bin/$program" ]; then
    echo "run-demo: $bin/$program is missing; build first (make build)" >&2
    exit 1
  fi
done

work=$(mktemp -d /tmp/palmkey-demo.XXXXXX)
chmod 700 "$work"
mkdir -m 700 "$work/run" "$work/home" "$work/program"
export XDG_RUNTIME_DIR=$work/run HOME=$work/home
unset XDG_CONFIG_HOME DISPLAY WAYLAND_DISPLAY

# The service reads the document next to its program file (root counts as an
# administrator), so the demo runs a copy beside a document whose
# combination keys post host commands.
cp "$bin/ZanDriverSrv" "$work/program/"
cp "$repo/tools/demo/demo-Palmkey.xml" "$work/program/Palmkey.xml"

relay_pids=()
sim_pid=
cleanup() {
  trap - EXIT INT TERM
  # After Ctrl-C the simulator may already be gone: a write to its input
  # must not end this script before the folder is removed.
  trap '' PIPE
  if [ -n "$sim_pid" ]; then
    echo quit >&3 2>/dev/null || true
    exec 3>&- 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  for pid in "${relay_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'echo; exit 130' INT TERM

stamp() { date +%H:%M:%S.%3N; }

# One relay window: prints "<time>  <host>  message M  wParam W  lParam L".
start_relay() {
  local class=$1 title=$2 host=$3
  "$bin/zanmsg" listen "$class" "$title" 2>/dev/null > >(
    while read -r message wparam lparam; do
      printf '%s  %-7s received message %s  wParam %s  lParam %s\n' \
        "$(stamp)" "$host" "$message" "$wparam" "$lparam"
    done
  ) &
  relay_pids+=($!)
}

wait_for_window() {
  local tries=0
  until "$bin/zanmsg" find "$1" "$2" >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ]; then
      echo "run-demo: window $1/$2 did not appear" >&2
      exit 1
    fi
    sleep 0.05
  done
}

start_relay TfrmForward Vellum Vellum
start_relay TfrmTadpoleForward ZanTadpoleResend Tadpole
wait_for_window TfrmForward Vellum
wait_for_window TfrmTadpoleForward ZanTadpoleResend

mkfifo "$work/sim-input"
"$bin/palmkey-sim" -- "$work/program/ZanDriverSrv" < "$work/sim-input" > >(
  while read -r line; do printf '%s  device  %s\n' "$(stamp)" "$line"; done
) &
sim_pid=$!
exec 3>"$work/sim-input"
wait_for_window '#32770' ZanDriverSrv

cat <<'BANNER'

  Palmkey demo: ZanDriverSrv is running against a simulated Palmkey.
  Two listeners play the whiteboard programs' relay windows (Vellum, Tadpole).

    1 .. 8     press click key 1..8 (twice within 500 ms, e.g. "3 3", is a double press)
    c1 .. c8   press combination key 1..8 (c8, c7, c6, c5 post 39, 38, 37, 53)
    u / p      unplug / plug the device
    q          quit (Ctrl-C works too)

  The service opens the device on its first poll, about a second after start.
BANNER

while read -r -p "> " -a words; do
  for word in "${words[@]}"; do
    case $word in
      [1-8]) echo "press $word" >&3 ;;
      c[1-8]) echo "combo ${word#c}" >&3 ;;
      u) echo unplug >&3 ;;
      p) echo plug >&3 ;;
      q) exit 0 ;;
      *) echo "  keys: 1..8, c1..c8, u, p, q" ;;
    esac
    # The simulated node does not keep report boundaries: pace the reports.
    sleep 0.05
  done
  sleep 0.7
done
