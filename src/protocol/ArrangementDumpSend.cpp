// Jobs 0 and 1: the multi (with the global settings first and the parts
// after it when asked) and the global settings, to the instrument or, for
// the multi, to the library slot.
#include <algorithm>
#include <array>
#include <string>

#include "ArrangementDumps.h"
#include "EditorServices.h"
#include "IMidiMsg.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "ParamIndex.h"
#include "SoundDump.h"

namespace {
constexpr int kAfterMultiMs = 500;
constexpr int kAfterPartRequestMs = 250;
constexpr int kAfterEachPartMs = 400;
constexpr int kAfterCurrentPartMs = 300;
constexpr int kParts = 16;
constexpr const char* kUnnamed = "Set Name";

double valueOf(EditorServices* plug, int index) {
  IParam* param = plug->paramAt(index);
  return param ? param->Value() : 0.0;
}
}  // namespace

std::array<uint8_t, kGlobalDumpSize> globalDumpOf(EditorServices& plug) {
  std::array<uint8_t, kGlobalDumpSize> dump = globalDumpTemplate();
  dump[kDeviceIdByte] = dumpByteFor(valueOf(&plug, kGlobalSysExID), 0);
  for (const DumpByte& field : globalDumpBytes())
    dump[static_cast<size_t>(field.byte)] = dumpByteFor(valueOf(&plug, field.param), field.offset);
  return dump;
}

std::array<uint8_t, kMultiDumpSize> multiDumpOf(EditorServices& plug) {
  std::array<uint8_t, kMultiDumpSize> dump = multiDumpTemplate();
  dump[kDeviceIdByte] = dumpByteFor(valueOf(&plug, kGlobalSysExID), 0);
  for (const DumpByte& field : multiCommonBytes())
    dump[static_cast<size_t>(field.byte)] = dumpByteFor(valueOf(&plug, field.param), field.offset);
  for (int p = 0; p < kParts; ++p)
    for (const DumpByte& field : multiPartBytes())
      dump[static_cast<size_t>(kMultiPartBlockByte + kMultiPartBlockSize * p + field.byte)] =
          dumpByteFor(valueOf(&plug, field.param + p), field.offset);
  writeDumpText(dump.data() + kMultiNameByte, kMultiNameLength, plug.paramDisplayText(kMultiName, 0));
  writeDumpChecksum(dump.data(), kMultiDumpSize);
  return dump;
}

// Not taken while the ports are set up: the dump met the port gone, full or
// the instrument unplugged. The send stops there and is not taken up again
// when the port comes back. (A close sets them down first: a dump it stops
// was not cut off by the port.)
bool MIDIMessageSender::sendArrangementDump(uint8_t* dump, int size) {
  if (plug->checksumCheckAndSend(dump, size)) return true;
  if (plug->isMidiIOConfigured()) arrangementCutOff = true;
  return false;
}

void MIDIMessageSender::sendGlobalToDevice(int) {
  plug->DisplayProcessingIndicator(true);
  const int tick = plug->getTimerValue();
  std::array<uint8_t, kGlobalDumpSize> dump = globalDumpOf(*plug);
  sendArrangementDump(dump.data(), kGlobalDumpSize);
  mManager.pause(tick);
  plug->DisplayProcessingIndicator(false);
}

// A later project restore asks a running send to stop (cancelRequested): it
// stops between two dumps, and the restore's own send follows.
void MIDIMessageSender::sendArrangementToDevice(const StateTicket& state, bool toLibrarian, bool requestParts) {
  cancelRequested = false;
  arrangementCutOff = false;
  // Read as the send starts, before the multi makes every part play its
  // program anew.
  std::array<bool, kParts> soundGoes{};
  for (int p = 0; p < kParts; ++p) soundGoes[static_cast<size_t>(p)] = plug->sendsPartSound(p);
  plug->DisplayProcessingIndicator(true);
  if (plug->isSendGlobalFirst()) sendGlobalToDevice(static_cast<int>(valueOf(plug, kGlobalSysExID)));
  if (cancelRequested || arrangementCutOff) {
    plug->setSendAllParts(false);
    plug->DisplayProcessingIndicator(false);
    return;
  }

  std::array<uint8_t, kMultiDumpSize> dump = multiDumpOf(*plug);
  const std::string name = plug->paramDisplayText(kMultiName, 0);

  if (toLibrarian) {
    // The multi in the slot is an edit of the bank, as a sound there is.
    if (plug->SetLibrarianRequestActive(true)) {
      ISysEx message(0, dump.data(), kMultiDumpSize);
      plug->deliverSysEx(&message, true);
      plug->SetLibrarianStatusUnsaved(true);
    }
  } else {
    plug->setEditorBusy(true);
    // The parts play the banks and programs of the multi that went out: the
    // multi goes while it is the newest pick of the multi, naming what each
    // part plays as it goes (a part's pick recorded since it was made, the
    // instrument's own with local control on, stays).
    mManager.picks.letGo(state.multi(), [&](const GatePass&) {
      dump = multiDumpOf(*plug);
      if (!sendArrangementDump(dump.data(), kMultiDumpSize)) return false;
      plug->notePartProgramsOfMulti();
      mManager.echoes.forgetAll();
      // Each part loads the program the multi names: a sound of the editor's
      // is the part's again only once it went out after the multi.
      for (int p = 0; p < 16; ++p) plug->endPartSoundHeld(p);
      return true;
    });
  }
  plug->setPatchManagerName(0, name.empty() ? kUnnamed : name);
  plug->setLibrarianViewDirty();
  const bool goOn = !arrangementCutOff && mManager.pauseUnlessCancelled(*this, kAfterMultiMs);
  plug->setEditorBusy(false);

  if (!toLibrarian && goOn) {
    // A part a newer pick has taken since gets nothing of this send, nor
    // its pause: the user's pick is not kept waiting for parts not sent.
    const auto active = [this, &state](int p) {
      return valueOf(plug, kMultiPartStatus + p) == 1.0 && mManager.picks.newest(state.part(p));
    };
    if (requestParts) {
      // One CANCEL ends every part's request, and a part the instrument did
      // not answer ends them too: each would wait and search as long.
      ended = false;
      for (int p = 0; p < kParts && !mManager.isShuttingDown() && !cancelRequested && !ended; ++p) {
        if (!active(p)) continue;
        requestPartSound(state.part(p), p, true);
        if (!ended) mManager.pauseUnlessCancelled(*this, kAfterPartRequestMs);
      }
      if (cancelRequested) plug->showStatusText(kRequestCancelled);
    } else if (plug->isSendAllParts()) {
      plug->setEditorBusy(true);
      // Each part's end hides the overlay and the loop shows it again at
      // once: it stays up instead, so the window is not drawn again for it.
      plug->holdProcessingOverlay(true);
      for (int p = 0; p < kParts && !mManager.isShuttingDown() && !cancelRequested; ++p) {
        if (!active(p)) continue;
        if (soundGoes[static_cast<size_t>(p)])
          sendPartToDevice(state.part(p), p, false, false);
        else
          plug->BankChangeMessage(state.part(p), static_cast<int>(valueOf(plug, kMultiPartBank + p)),
                                  static_cast<int>(valueOf(plug, kMultiPartPatch + p)), nullptr);
        if (arrangementCutOff) break;
        plug->DisplayProcessingIndicator(true);
        mManager.pauseUnlessCancelled(*this, kAfterEachPartMs);
      }
      plug->holdProcessingOverlay(false);
    } else {
      const int current = std::clamp(plug->getCurrentPart(), 0, 15);
      sendPartToDevice(state.part(current), current, false, false);
      plug->DisplayProcessingIndicator(true);
      mManager.pause(kAfterCurrentPartMs);
    }
  }
  // "All parts" was chosen for this send; a later one sends the current part.
  plug->setSendAllParts(false);
  plug->DisplayProcessingIndicator(false);
}
