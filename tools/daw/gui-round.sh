#!/bin/bash
# gui-round.sh WORK N: one round against Ardour's GUI started by run-gui.sh
# (on $DISPLAY), with the environment of restart-jackd.sh set (JACKD_CMD,
# JACKD_LOG, EVMON_LOG, JACKD_PID_FILE, PEER_CMD). jackd is stopped and
# started again (restart-jackd.sh N); for HALT_S seconds (default 10) it
# watches whether the plug-in's ports come back while Ardour is halted; then,
# as a person would, it dismisses Ardour's note, opens Window > Audio/MIDI
# Setup, and presses "Connect to JACK" there; it waits for the plug-in's
# connections (CONNECTIONS, default 4) and closes the dialog. Screenshots go
# to WORK/rN-*.png; a summary line per step is printed.
set -u
work=$1 n=$2 halt=${HALT_S:-10} want=${CONNECTIONS:-4}
here=$(dirname "$(realpath "$0")")
apid=$(cat "$work/ardour.pid")
shot() { import -window root "$work/r$n-$1.png" 2>/dev/null; }
alive() { kill -0 "$apid" 2>/dev/null && echo alive || echo "GONE rc=$(cat "$work/ardour.rc" 2>/dev/null)"; }
tvxports() { jack_lsp 2>/dev/null | grep -c '^Tarnivex Editor:'; }
conns() { jack_lsp -c 2>/dev/null | awk '/^[^ ]/{p=$0;next} p~/^Tarnivex Editor:/{c++} END{print c+0}'; }
win() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1; }
main=$(win ' - Ardour$')
echo "round $n: $(date +%T) restart ($(alive))"
"$here/restart-jackd.sh" "$n"
# Ardour's note "The audio backend was shutdown": a visible window, neither
# the main one nor the setup dialog, of a dialog's size.
notes() {
  for w in $(xdotool search --onlyvisible --name '' 2>/dev/null); do
    name=$(xdotool getwindowname "$w" 2>/dev/null) || continue
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
    case $name in *" - Ardour"|"Audio/MIDI Setup") continue ;; esac
    [ "$WIDTH" -lt 20 ] || [ "$WIDTH" -ge 1600 ] && continue
    echo "$w"
  done
}
told=no
for _ in $(seq 60); do [ -n "$(notes)" ] && told=yes && break; sleep 0.5; done
echo "round $n: $(date +%T) Ardour told (its note shown): $told"
early=0
for _ in $(seq "$halt"); do sleep 1; p=$(tvxports); [ "$p" -gt 0 ] && early=$p; done
echo "round $n: $(date +%T) plug-in ports while Ardour halted: $early ($(alive))"
shot 1-halted
for w in $(notes); do
  echo "round $n: dismissing the note"
  xdotool windowfocus --sync "$w" key Return 2>/dev/null; sleep 0.5
done
xdotool windowfocus --sync "$main" 2>/dev/null; sleep 0.3
xdotool key alt+w; sleep 0.7; xdotool key Return; sleep 2
dlg=$(win '^Audio/MIDI Setup$')
if [ -z "$dlg" ]; then  # by mouse: the Window menu and its first entry
  xdotool mousemove 298 12 click 1; sleep 0.7; xdotool mousemove 345 32 click 1; sleep 2
  dlg=$(win '^Audio/MIDI Setup$')
fi
shot 2-dialog
echo "round $n: $(date +%T) Audio/MIDI Setup open: ${dlg:+yes}${dlg:-NO} ($(alive))"
[ -z "$dlg" ] && exit 1
sleep 3
echo "round $n: $(date +%T) 3 s later ($(alive))"
eval "$(xdotool getwindowgeometry --shell "$dlg")"
echo "round $n: $(date +%s.%N) pressing Connect"
xdotool mousemove $((X + WIDTH - 75)) $((Y + HEIGHT - 31)) click 1
c=0
for _ in $(seq 30); do sleep 1; c=$(conns); [ "$c" -ge "$want" ] && break; done
shot 3-connected
echo "round $n: $(date +%T) plug-in ports $(tvxports), connections $c ($(alive))"
# Close the dialog again.
xdotool windowfocus --sync "$dlg" key Escape 2>/dev/null; sleep 1
[ -n "$(win '^Audio/MIDI Setup$')" ] && echo "round $n: dialog still open"
# Order of the opens since this round's server came up.
sed -n "/^round $n: server up/,\$p" "$EVMON_LOG" | grep -E 'server up|Client (ardour|Tarnivex)' | sed "s/^/round $n: evmon /"
echo "round $n: server log 'Unknown request|CheckSize': $(grep -c -E 'Unknown request|CheckSize' "$JACKD_LOG")"
