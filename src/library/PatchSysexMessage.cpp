#include "PatchSysexMessage.h"

#include <cstddef>

unsigned char dumpChecksum(const Bytes& dump, size_t checksumAt) {
  unsigned sum = 0;
  for (size_t i = 4; i + 2 < dump.size(); ++i)
    if (i != checksumAt) sum += dump[i];
  return static_cast<unsigned char>(sum & 0x7F);
}

void PatchSysexMessage::save(Bytes& out, bool midi, int eventIndex, int, bool) const {
  if (!midi) {
    out.insert(out.end(), bytes.begin(), bytes.end());
    return;
  }
  if (bytes.empty()) return;
  // The event's length is the message's own, whatever size it has: a fixed
  // length byte would corrupt the file for a dump of another size.
  if (eventIndex == 0) {
    out.push_back(0x00);
  } else {
    out.push_back(0x83);
    out.push_back(0x74);
  }
  out.push_back(0xF0);
  // The event carries what follows the F0; a message stored without one is
  // carried whole.
  const size_t from = bytes.front() == 0xF0 ? 1 : 0;
  const size_t length = bytes.size() - from;
  unsigned char vlq[5];
  int n = 0;
  size_t v = length;
  vlq[n++] = static_cast<unsigned char>(v & 0x7F);
  while ((v >>= 7) && n < 5) vlq[n++] = static_cast<unsigned char>(0x80 | (v & 0x7F));
  while (n) out.push_back(vlq[--n]);
  out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
}

void PatchSysexMessage::checkPatchDataSize(PatchSysexMessage* dump, bool isSound, bool) {
  if (!dump) return;
  Bytes& b = dump->bytes;
  const size_t body = isSound ? 390 : 391;
  if (b.size() <= body + 1) {
    b.resize(body, 0x00);
    b.push_back(isSound ? 0x1E : 0x7A);
    b.push_back(0xF7);
  }
  // In a longer dump the checksum byte lies inside the summed range; it is
  // left out, or the checksum would change on every load and save.
  b[body] = dumpChecksum(b, body);
}
