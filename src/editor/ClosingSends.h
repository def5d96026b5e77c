// What a closing instance still owes the instrument: the project a restore
// had begun to send goes out after the instance is gone, in its order and
// with its pauses, on one thread for the process. The host's close does not
// wait for it, and the instrument still ends in the state restored last.
#pragma once

#include <memory>
#include <vector>

#include "SoundDump.h"

class MidiBackend;
class MidiOutPort;

namespace ClosingSends {
// Sends the dumps (a long one gets its checksum, each its trace line) on out,
// which is let go after the last pause; backend is the system out came from.
void hand(std::vector<TimedDump> dumps, std::unique_ptr<MidiOutPort> out, std::shared_ptr<MidiBackend> backend);
// Waits until everything handed over has gone; false after the bound.
bool flush(int boundMs = 30000);
}  // namespace ClosingSends
