// What a closing instance still owes the instrument: the part of a project
// that a restore had not yet sent goes out after the instance is gone, in
// its order and with its pauses. The host's close does not wait for it, and
// the instrument still ends in the state restored last. Its thread runs only
// while there is something to send.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "SoundDump.h"

class MidiBackend;
class MidiOutPort;

namespace ClosingSends {
// Sends the dumps (a long one gets its checksum, each its trace line) on out,
// the first after pauseFirstMs (what is left of the pause after the last
// dump the instance sent), and lets out go after the last pause; backend is
// the system out came from.
void hand(std::vector<TimedDump> dumps, int pauseFirstMs, std::unique_ptr<MidiOutPort> out,
          std::shared_ptr<MidiBackend> backend);
// Waits until everything handed over has gone; false after the bound.
bool flush(int boundMs = 30000);
// Tests: takes the place of the pauses (false ends the send); null restores them.
void setPauseForTests(std::function<bool(int ms)> pause);
}  // namespace ClosingSends
