// Jobs 11 and 12: the built-in init multi or init sound into the selected
// library slot, handed to the editor's own entry as if the instrument had
// sent it. Nothing goes to the instrument.
#include <algorithm>
#include <array>

#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "InitPatches.h"
#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "PatchSysexMessage.h"

namespace {
// The neutral multi: part p plays sound p of bank A on channel p + 1.
std::array<unsigned char, kMultiDumpSize> makeInitMulti() {
  std::array<unsigned char, kMultiDumpSize> dump{};
  const unsigned char head[] = {0xF0, 0x3E, 0x10, 0x03, 0x11, 0x20, 0x00, 0x64, 0, 0, 0, 0, 0x37};
  std::copy(std::begin(head), std::end(head), dump.begin());
  const char name[] = "Init Multi   dVn";
  std::copy(name, name + 16, dump.begin() + 23);
  for (int p = 0; p < 16; ++p) {
    unsigned char* block = dump.data() + 39 + 22 * p;
    const unsigned char bytes[] = {0x00, static_cast<unsigned char>(p), static_cast<unsigned char>(p + 2), 0x64,
                                   static_cast<unsigned char>(p == 4 ? 0x3F : 0x40), 0x40, 0x00, 0x03, 0x40};
    std::copy(std::begin(bytes), std::end(bytes), block);
    block[13] = 0x7F;
    block[15] = 0x7F;
  }
  dump[kMultiDumpSize - 1] = 0xF7;
  dump[kMultiDumpSize - 2] = dumpChecksum(Bytes(dump.begin(), dump.end()));
  return dump;
}
}  // namespace

const std::array<unsigned char, kMultiDumpSize>& initPerformanceData() {
  static const std::array<unsigned char, kMultiDumpSize> dump = makeInitMulti();
  return dump;
}

template <size_t N>
void MIDIMessageSender::handInitData(std::array<unsigned char, N> dump, bool flag) {
  plug->DisplayProcessingIndicator(true);
  if (flag && !plug->isDeviceEcho()) return plug->DisplayProcessingIndicator(false);
  // An initialised slot is an edit of the bank, as a paste is: unsaved
  // until the bank is saved, and Refresh Folders asks before it drops it.
  if (plug->SetLibrarianRequestActive(true)) {
    ISysEx message(0, dump.data(), static_cast<int>(N));
    plug->deliverSysEx(&message, true);
    plug->SetLibrarianStatusUnsaved(true);
  }
  plug->DisplayProcessingIndicator(false);
}

void MIDIMessageSender::initPerformance(bool flag) { handInitData(initPerformanceData(), flag); }

// The starter names no part: the init sound takes the bank of the part the
// user works on.
void MIDIMessageSender::initClassicPatch(bool flag, int) {
  std::array<unsigned char, kSoundDumpSize> dump = initPatchData;
  IParam* bank = plug->paramAt(kMultiPartBank + std::clamp(plug->getCurrentPart(), 0, 15));
  dump[5] = static_cast<unsigned char>(std::clamp(bank ? bank->Int() : 0, 0, 0x7F));
  dump[6] = static_cast<unsigned char>((mManager.patchLibrarian ? mManager.patchLibrarian->currentProgram.load() : 0) & 0x7F);
  // Library files are read by other tools: the stored checksum would lie.
  dump[kSoundDumpSize - 2] = dumpChecksum(Bytes(dump.begin(), dump.end()));
  handInitData(dump, flag);
}
