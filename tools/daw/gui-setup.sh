#!/bin/bash
# gui-setup.sh BUNDLE_DIR WORK PEER_IN PEER_OUT
# Prepares WORK for Ardour's GUI (run-gui.sh): the plug-in in WORK/vst
# (scanned), a session WORK/s with two instances (TRACKS=2), the plug-in's
# settings naming the instrument's ports, and a config that skips Ardour's
# first-run wizard.
set -eu
bundle=$(realpath "$1") work=$2 peerIn=$3 peerOut=$4
here=$(dirname "$(realpath "$0")")
mkdir -p "$work"
export HOME=$work/home XDG_DATA_HOME=$work/data LXVST_PATH=$work/vst
mkdir -p "$HOME/.config/ardour7" "$LXVST_PATH" "$XDG_DATA_HOME/Kelmscroft/Zorozov Tarnivex Editor"
touch "$HOME/.config/ardour7/.a7"
rm -rf "$LXVST_PATH"/* "$work/s"
cp -r "$bundle/TarnivexEditor.so" "$bundle/resources" "$LXVST_PATH/"
sleep 1.1  # Ardour takes a scan only when it is newer than the module, to the second
LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst-scanner -f -q "$LXVST_PATH/TarnivexEditor.so"
MK_DIR=$work/s TRACKS=2 ardour7-lua "$here/make-session.lua" > "$work/make.log" 2>&1
printf 'yellow\nnormal\nyes\n%s\n%s' "$peerIn" "$peerOut" > "$XDG_DATA_HOME/Kelmscroft/Zorozov Tarnivex Editor/Tarnivex Editor UI.txt"
grep -a -E 'track|plugin' "$work/make.log"
