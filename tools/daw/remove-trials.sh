#!/bin/bash
# remove-trials.sh BUNDLE_DIR TRIALS
# Ardour 7 headless on JACK (jackd --sync -d dummy, a fresh server and a
# silent instrument end, peer.c, for each trial) loads a session of two
# tracks with one instance of the plug-in each and removes the first track's
# instance 6 s after the load (remove.lua). A trial whose removal has not
# returned 30 s later is a hang: the stacks of Ardour's threads go to the
# trial's folder. Each server's log (jackd -v) is read for a request that did
# not arrive as one ("CheckSize error", "Unknown request", "CheckRead error").
# With PRELOAD=path, that library is preloaded into Ardour (jack-trace.so,
# whose OVERLAP lines, requests written on one client's channel by a second
# thread while the first waits for its reply, and SPLIT lines, a write landing
# inside another thread's request, are counted per client).
# PLUGIN_NAME=... puts another plug-in on the tracks (as Ardour lists it:
# "ACE Reasonable Synth" is an instrument that opens no JACK client);
# MIDI_API=alsa has the plug-in open no JACK client.
set -u
bundle=$(realpath "$1") trials=$2
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d /tmp/tvx-remove-XXXXXX)
echo "work folder: $work"
export HOME=$work/home XDG_DATA_HOME=$work/data LXVST_PATH=$work/vst TARNIVEX_MIDI_API=${MIDI_API:-jack}
mkdir -p "$HOME" "$LXVST_PATH" "$XDG_DATA_HOME/Kelmscroft/Zorozov Tarnivex Editor"
cp -r "$bundle/TarnivexEditor.so" "$bundle/resources" "$LXVST_PATH/"
sleep 1.1  # Ardour takes a scan only when it is newer than the module, to the second
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f -q "$LXVST_PATH/TarnivexEditor.so"
PLUGIN_NAME=${PLUGIN_NAME:-Tarnivex Editor} TRACKS=2 MK_DIR=$work/base ardour7-lua "$here/make-session.lua" > "$work/make.log" 2>&1
[ -f "$work/base/base.ardour" ] || { echo "no session made: $work/make.log"; exit 1; }
printf 'yellow\nnormal\nyes\n%s\n%s' peer:in peer:out > "$XDG_DATA_HOME/Kelmscroft/Zorozov Tarnivex Editor/Tarnivex Editor UI.txt"
[ -x "$work/peer" ] || cc -O2 -o "$work/peer" "$here/peer.c" -ljack
hangs=0 broken=0 returned=0
for i in $(seq "$trials"); do
  t=$work/trial-$i; mkdir -p "$t"
  rm -rf "$work/s"; cp -r "$work/base" "$work/s"
  export JACK_DEFAULT_SERVER=tvx-remove-$$-$i
  setsid jackd -v --no-realtime --sync -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 256 > "$t/jackd.log" 2>&1 < /dev/null &
  jackd=$!
  for _ in $(seq 100); do jack_lsp > /dev/null 2>&1 && break; sleep 0.1; done
  setsid "$work/peer" > "$t/peer.log" 2>&1 < /dev/null &
  peer=$!
  sleep 0.5
  JACK_TRACE_LOG=$t/trace.log LD_PRELOAD=${PRELOAD:-} SESS_DIR=$work/s \
    setsid ardour7-lua "$here/remove.lua" > "$t/ardour.log" 2>&1 < /dev/null &
  ardour=$!
  state=hang
  for _ in $(seq 400); do  # load (a few seconds) + 6 s + the removal, within 40 s of the start
    grep -q '^removed' "$t/ardour.log" 2>/dev/null && { state=returned; break; }
    kill -0 $ardour 2>/dev/null || { state=ended; break; }
    sleep 0.1
  done
  if [ $state = hang ]; then
    gdb -p $ardour -batch -ex 'thread apply all bt' > "$t/stacks.txt" 2>&1
    hangs=$((hangs + 1))
  else
    returned=$((returned + 1))
    for _ in $(seq 100); do kill -0 $ardour 2>/dev/null || break; sleep 0.1; done
  fi
  # The server goes first: an Ardour still on it is then let go by it.
  kill -TERM $jackd 2>/dev/null; sleep 1; kill -KILL $jackd 2>/dev/null
  kill -KILL $ardour $peer 2>/dev/null
  wait $jackd $ardour $peer 2>/dev/null
  bad=$(grep -a -c -E 'CheckSize error|Unknown request|CheckRead error' "$t/jackd.log")
  [ "$bad" -gt 0 ] && broken=$((broken + 1))
  overlaps=""
  count() { grep -a -o "$1 fd=[0-9]* client=[^ ]*" "$t/trace.log" | sed 's/.*client=//' | sort | uniq -c |
    tr -s ' ' | tr '\n' ',' | sed 's/,$//'; }
  [ -f "$t/trace.log" ] && overlaps=", requests while another waits:$(count OVERLAP), split:$(count SPLIT)"
  echo "trial $i: $state$(grep -a '^removed' "$t/ardour.log" | head -1 | sed 's/^/ /'), broken-request lines $bad$overlaps"
done
echo "trials $trials: removals returned $returned, hangs $hangs, servers with a broken request $broken"
