// The editor's debug log: one line per call, appended to the log file and
// echoed to standard output. Callers test the plug-in's debug-log flag first.
// Also the standard-output trace of outgoing SysEx. What goes to standard
// output leaves through TraceOutput, so no caller waits for it.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "TraceOutput.h"

class Tarnivex;
struct IMidiMsg;

class DebuggerOutput {
 public:
  // True when a file at path can be read: it is then emptied (when it can
  // be) and logging may start. Otherwise prints "Unable to open file" and
  // returns false.
  bool openDebugFile(std::string path);
  // Appends "<local date.time>\t <message>\n" to the file at logFilePath and
  // prints "Build LOG: \t <message>\n"; writes nothing when the file cannot
  // be opened. Lines from different threads never interleave.
  void printDebugInfo(std::string logFilePath, std::string message);
  // "Plug-in MIDI Out (sysex | <count> bytes | F0 <hex bytes>F7)" on
  // standard output.
  void logSysExOutMessageByte(const unsigned char* data, int length);
  void logSysExOutMessageByteInt(std::vector<int> message, int count);
  // True when status and both data bytes equal the plug-in's last incoming
  // message, which this one then becomes; otherwise prints "Plug-in MIDI In  ".
  bool compareMIDIdata(Tarnivex* plug, IMidiMsg msg);

 private:
  std::mutex mMutex;
  TraceOutput::Hold mTraceHold;
};
