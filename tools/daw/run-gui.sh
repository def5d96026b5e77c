#!/bin/bash
# run-gui.sh WORK: Ardour 7's GUI (on $DISPLAY, JACK backend on
# $JACK_DEFAULT_SERVER) with the session WORK/s made by gui-setup.sh. Its
# output goes to WORK/ardour.log, its pid to WORK/ardour.pid, its exit
# status (139: SIGSEGV) to WORK/ardour.rc; the waiting shell is in a session
# of its own, so it outlives the caller. ARDOUR_ARGS: more options (-d: no
# plug-ins, for a control run). PIN_CPU: run Ardour on that one CPU only.
set -eu
work=$1
export HOME=$work/home XDG_DATA_HOME=$work/data LXVST_PATH=$work/vst TARNIVEX_MIDI_API=jack
cd "$work"
rm -f "$work/ardour.rc" "$work/ardour.pid"
setsid bash -c 'ulimit -c unlimited; ${PIN_CPU:+taskset -c $PIN_CPU} ardour -n -a $ARDOUR_ARGS "$1/s/base.ardour" > "$1/ardour.log" 2>&1 < /dev/null & echo $! > "$1/ardour.pid"; wait $!; echo $? > "$1/ardour.rc"' sh "$work" < /dev/null > /dev/null 2>&1 &
for _ in $(seq 50); do [ -s "$work/ardour.pid" ] && break; sleep 0.1; done
cat "$work/ardour.pid"
