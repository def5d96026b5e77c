// The editor's debug log: one line per call, appended to the log file and
// echoed to standard output. Callers test the plug-in's debug-log flag first.
#pragma once

#include <string>

class DebuggerOutput {
 public:
  // Appends "<local date.time>\t <message>\n" to the file at logFilePath and
  // prints "Build LOG: \t <message>\n"; writes nothing when the file cannot
  // be opened.
  void printDebugInfo(std::string logFilePath, std::string message);
};
