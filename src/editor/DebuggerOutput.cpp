#include "DebuggerOutput.h"

#include <array>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "IMidiMsg.h"
#include "Tarnivex.h"
#include "TraceOutput.h"

namespace {
void printSysExTrace(int count, const std::string& hex) {
  TraceOutput::print("Plug-in MIDI Out (sysex | " + std::to_string(count) + " bytes | F0 " + hex + "F7)\n");
}

void appendHex(std::string& text, int value) {
  char digits[8];
  std::snprintf(digits, sizeof(digits), "%02x ", value & 0xFF);
  text += digits;
}
}  // namespace

bool DebuggerOutput::openDebugFile(std::string path) {
  std::error_code error;
  std::unique_ptr<FILE, int (*)(FILE*)> reading(
      std::filesystem::is_regular_file(path, error) ? std::fopen(path.c_str(), "r") : nullptr, std::fclose);
  if (!reading) {
    TraceOutput::print("Unable to open file");
    return false;
  }
  // Each start begins with an empty log; a file that cannot be emptied is
  // logged into all the same.
  std::lock_guard<std::mutex> lock(mMutex);
  std::unique_ptr<FILE, int (*)(FILE*)> emptied(std::fopen(path.c_str(), "w"), std::fclose);
  return true;
}

bool DebuggerOutput::compareMIDIdata(Tarnivex* plug, IMidiMsg msg) {
  if (!plug) return false;
  const std::array<int, 3> incoming = {msg.mStatus, msg.mData1, msg.mData2};
  std::lock_guard<std::mutex> lock(mMutex);
  const bool same = plug->lastIncomingMessage == incoming;
  plug->lastIncomingMessage = incoming;
  if (!same) TraceOutput::print("Plug-in MIDI In  ");
  return same;
}

void DebuggerOutput::printDebugInfo(std::string logFilePath, std::string message) {
  // Called from the GUI, audio, MIDI and worker threads at once.
  std::lock_guard<std::mutex> lock(mMutex);
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(logFilePath.c_str(), "a"), std::fclose);
  if (!file) return;
  char stamp[80] = {};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local)) std::strftime(stamp, sizeof(stamp), "%Y-%m-%d.%X", &local);
  std::fprintf(file.get(), "%s\t %s\n", stamp, message.c_str());
  TraceOutput::print("Build LOG: \t " + message + "\n");
}

void DebuggerOutput::logSysExOutMessageByte(const unsigned char* data, int length) {
  if (!data || length <= 0) return;
  std::string hex;
  for (int i = 0; i < length; ++i) appendHex(hex, data[i]);
  printSysExTrace(length, hex);
}

void DebuggerOutput::logSysExOutMessageByteInt(std::vector<int> message, int count) {
  std::string hex;
  for (int value : message) appendHex(hex, value);
  printSysExTrace(count, hex);
}
