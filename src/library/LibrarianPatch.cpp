#include "LibrarianPatch.h"

#include "DumpSizes.h"

void LibrarianPatch::parseCategory(int offset) {
  if (dumps.empty() || offset < 0) return;
  const Bytes& dump = dumps.front().bytes;
  for (size_t i = static_cast<size_t>(offset); i < static_cast<size_t>(offset) + 4 && i < dump.size(); ++i)
    category.push_back(static_cast<char>(dump[i]));
}

std::string untilNul(const std::string& text) { return text.substr(0, text.find('\0')); }

std::string asciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

const char* LibrarianPatch::whyNotSendable(bool multi) const {
  if (dumps.empty() || !whole()) return kNotAWholeDump;
  const Bytes& bytes = dumps.front().bytes;
  constexpr unsigned char kStart = 0xF0, kInstrument = 0x3E;
  if (bytes.size() < 7 || bytes[0] != kStart || bytes[1] != kInstrument) return kNotAWholeDump;
  // A sound is never sent as a multi, nor a multi as a sound.
  if (bytes[4] == (multi ? kSoundDumpCommand : kMultiDumpCommand)) return multi ? kNotAMulti : kNotASound;
  if (bytes[4] != (multi ? kMultiDumpCommand : kSoundDumpCommand)) return kNotAWholeDump;
  return bytes.size() <= static_cast<size_t>(multi ? kMultiDumpSize : kSoundDumpSize) ? nullptr : kNotAWholeDump;
}

const PatchSysexMessage& LibrarianPatch::savedDump(PatchSysexMessage& scratch) const {
  if (whole()) return dumps.front();
  scratch.bytes = asRead;
  return scratch;
}
