// The plug-in's lines on standard output (the MIDI trace, the echo of the
// debug log) leave from a buffer of their own on a thread of their own: a
// host that reads its standard output slowly, or not at all for a while,
// never holds back a MIDI message or a worker. Lines keep their order. When
// the buffer is full a line is dropped and counted; the count is printed as
// soon as the output takes lines again (while lines are still dropped, at
// most once a second), and lines the output has not taken when the last Hold
// goes are counted and told too: in a pipe always (room for that line is
// kept), elsewhere if the output takes it within the bound.
// The thread runs while a Hold exists.
#pragma once

#include <cstddef>
#include <string_view>

namespace TraceOutput {
// Keeps the writer thread running; the last one let go ends it: letting go
// waits a fifth of a second at most in all, however slowly standard output
// is read; what it has not taken by then is dropped and counted.
class Hold {
 public:
  Hold();
  ~Hold();
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
};

// Queues text as a line (a newline is added where it has none); never
// waits for standard output.
void print(std::string_view text);
// Waits until everything queued has been written; false after the bound.
bool flush(int boundMs = 5000);
// Lines dropped so far: the buffer was full, or the output did not take them
// before the end.
size_t dropped();
}  // namespace TraceOutput
