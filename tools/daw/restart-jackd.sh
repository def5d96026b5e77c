#!/usr/bin/env bash
# RESTART_CMD for restart.lua: stops the jackd whose pid is in $JACKD_PID_FILE
# and starts it again with $JACKD_CMD, the way round N (the argument) asks:
# SIGTERM or SIGKILL, at once or after 3 s, in turn. After the new server is
# up it starts jack_evmon (each line stamped, into $EVMON_LOG) and, when
# given, $PEER_CMD (the instrument's client), both in the background.
set -u
round=${1:-1}
signal=TERM; [ $(( (round - 1) % 2 )) -eq 1 ] && signal=KILL
pause=0;    [ $(( (round - 1) / 2 % 2 )) -eq 1 ] && pause=3
old=$(cat "$JACKD_PID_FILE")
echo "round $round: SIG$signal, start after ${pause}s" >> "$JACKD_LOG"
kill -s "$signal" "$old"
for _ in $(seq 100); do kill -0 "$old" 2>/dev/null || break; sleep 0.1; done
sleep "$pause"
setsid $JACKD_CMD >> "$JACKD_LOG" 2>&1 < /dev/null &
echo $! > "$JACKD_PID_FILE"
for _ in $(seq 100); do jack_lsp > /dev/null 2>&1 && break; sleep 0.1; done
echo "round $round: server up $(date +%s.%N)" >> "$EVMON_LOG"
# jack_evmon outlives its server: the last round's goes first.
[ -f "$EVMON_LOG.pid" ] && kill "$(cat "$EVMON_LOG.pid")" 2>/dev/null
(setsid sh -c 'echo $$ > "$1.pid"; exec stdbuf -oL jack_evmon' sh "$EVMON_LOG" 2>/dev/null < /dev/null |
  while IFS= read -r line; do echo "$(date +%s.%N) $line"; done >> "$EVMON_LOG") &
[ -n "${PEER_CMD:-}" ] && (setsid $PEER_CMD >> "$JACKD_LOG.peer" 2>&1 < /dev/null &)
exit 0
