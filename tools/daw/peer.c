/* The instrument's end of the plug-in's ports for restart.lua: a JACK client
 * "peer" with a MIDI input "in" and output "out" that answers nothing. It
 * ends when its server goes (restart-jackd.sh starts it again).
 * Build: cc -O2 -o peer peer.c -ljack */
#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <unistd.h>

static volatile sig_atomic_t gone = 0;
static jack_port_t *in, *out;

static int process(jack_nframes_t frames, void *arg) {
  (void)arg;
  jack_midi_clear_buffer(jack_port_get_buffer(out, frames));
  return 0;
}

static void shutdown_notice(void *arg) {
  (void)arg;
  gone = 1;
}

int main(void) {
  jack_client_t *client = jack_client_open("peer", JackNoStartServer, NULL);
  if (!client) return 1;
  in = jack_port_register(client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
  out = jack_port_register(client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  jack_on_shutdown(client, shutdown_notice, NULL);
  jack_set_process_callback(client, process, NULL);
  if (!in || !out || jack_activate(client) != 0) return 1;
  while (!gone) usleep(100000);
  return 0; /* the client is left to the process's end: its server went */
}
