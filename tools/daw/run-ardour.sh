#!/bin/bash
# run-ardour.sh BUNDLE_DIR play|close|remove RUNS PEER_IN PEER_OUT
# Ardour 7 headless on $JACK_DEFAULT_SERVER with the plug-in of BUNDLE_DIR (the
# folder holding TarnivexEditor.so and resources/). Everything goes to a
# temporary folder, which is printed; each run's Ardour output is run-N.log.
set -eu
bundle=$(realpath "$1") mode=$2 runs=$3 peerIn=$4 peerOut=$5
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d /tmp/tvx-ardour-XXXXXX)
echo "work folder: $work"
export HOME=$work/home XDG_DATA_HOME=$work/data LXVST_PATH=$work/vst TARNIVEX_MIDI_API=jack
mkdir -p "$HOME" "$LXVST_PATH" "$XDG_DATA_HOME/Kelmscroft/Zorozov Tarnivex Editor"
cp -r "$bundle/TarnivexEditor.so" "$bundle/resources" "$LXVST_PATH/"
sleep 1.1  # Ardour takes a scan only when it is newer than the module, to the second
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f -q "$LXVST_PATH/TarnivexEditor.so"
MK_DIR=$work/base ardour7-lua "$here/make-session.lua" > "$work/make.log" 2>&1
printf 'yellow\nnormal\nyes\n%s\n%s' "$peerIn" "$peerOut" > "$XDG_DATA_HOME/Kelmscroft/Zorozov Tarnivex Editor/Tarnivex Editor UI.txt"
for i in $(seq "$runs"); do
  rm -rf "$work/s"
  cp -r "$work/base" "$work/s"
  case $mode in
    play)
      python3 "$here/midi-region.py" "$work/s" base
      SESS_DIR=$work/s WAIT_US=${WAIT_US:-13000000} ROLL_US=${ROLL_US:-9000000} \
        ardour7-lua "$here/play.lua" > "$work/run-$i.log" 2>&1 ;;
    close) SESS_DIR=$work/s ardour7-lua "$here/close.lua" > "$work/run-$i.log" 2>&1 ;;
    remove) SESS_DIR=$work/s REMOVE_PLUGIN=1 ardour7-lua "$here/close.lua" > "$work/run-$i.log" 2>&1 ;;
  esac
  echo "run $i done: $(grep -a -E '^ ?(region|rolling|closed|removed)' "$work/run-$i.log" | tr '\n' ' ')"
done
