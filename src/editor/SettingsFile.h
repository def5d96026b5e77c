// The five-line settings file of the data folder: colour scheme, window
// size, first-run state, MIDI output port, MIDI input port.
#pragma once

#include <array>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>

class SettingsFile {
 public:
  enum Line { kStyle, kSize, kFirstRun, kMidiOut, kMidiIn, kLineCount };

  // Reads up to five lines, each cut at its "\n" and stripped of trailing
  // blanks, tabs, "\r" and "\n"; lines the file does not have stay empty.
  // False (all lines empty) when the file cannot be opened.
  bool read(const std::string& path);
  // Under a lock on the file shared by every instance: reads the file as it
  // is now, replaces one line (none without a text; a text ends at a line
  // break) and writes all five, joined by "\n" with none after the last,
  // into a temporary file beside the old one that is then renamed over it;
  // the lines held here become those written. Never creates the file: false
  // when it is not there, cannot be read, or the write fails (the old file
  // then stays as it was); error then receives the errno value, EWOULDBLOCK
  // when another process kept the lock for kLockWait.
  static constexpr std::chrono::milliseconds kLockWait{2000};
  bool rewrite(const std::string& path, Line line, std::optional<std::string> text, int* error = nullptr);

  std::string line(Line which) const;
  void setLine(Line which, const std::string& text);
  std::string contents() const;

  // What the lines mean; the defaults for anything else.
  double uiScale() const;
  int uiSizeIndex() const;   // -1 for an unknown size
  int colourScheme() const;  // -1 for an unknown scheme

 private:
  mutable std::mutex mMutex;
  std::array<std::string, kLineCount> mLines;
};
