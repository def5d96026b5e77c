// The editor's side of what the protocol engine calls: parameters, texts,
// the library hooks, the reply flags and the debug log.
#include <algorithm>
#include <cstdlib>

#include "ControlAction.h"
#include "IControl.h"
#include "IGraphics.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "MIDIMessageManager.h"
#include "MidiSendThread.h"
#include "ParamIndex.h"
#include "PatchFile.h"
#include "PatchLibrarian.h"
#include "PatchManager.h"
#include "RealtimeScope.h"
#include "Tarnivex.h"
#include "ValueLists.h"
#include "UIConfigManager.h"

namespace {
constexpr int kTimerValues[] = {50, 75, 100, 150, 200, 300, 400, 500};
constexpr int kDefaultTimerValue = 100;
}  // namespace

IParam* Tarnivex::paramAt(int index) { return GetParam(index); }

void Tarnivex::setParameterFromPlug(int index, double value, bool normalized) {
  IParam* param = GetParam(index);
  if (!param) return;
  if (IGraphics* graphics = GetGUI()) {
    graphics->SetParameterFromPlug(index, value, normalized);
  } else if (normalized) {
    param->SetNormalized(value);
  } else {
    param->SetNormalized(param->GetNormalized(value));
  }
  // The ID the instrument answers to, as learnt from it or restored.
  if (index == kGlobalSysExID) deviceId = param->Int();
}

std::string Tarnivex::paramDisplayText(int index, int value) {
  std::lock_guard<std::mutex> lock(mDisplayTextMutex);
  const IParam* param = GetParam(index);
  const char* text = param ? param->GetDisplayText(value) : nullptr;
  return text ? text : "";
}

void Tarnivex::setParamDisplayText(int index, int value, const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(mDisplayTextMutex);
    if (IParam* param = GetParam(index)) param->SetDisplayText(value, text.c_str());
  }
  // A part's name fields draw the text at their next redraw, which nothing
  // else may bring: the window's thread marks them for one.
  const auto inBlock = [index](int base) { return index >= base && index < base + 16; };
  if (inBlock(kPatchName) || inBlock(kCategoryName)) partNamesStale = true;
}

void Tarnivex::setParamDisplayTexts(int index, const std::shared_ptr<const IParam::DisplayTextList>& texts) {
  std::lock_guard<std::mutex> lock(mDisplayTextMutex);
  if (IParam* param = GetParam(index)) param->SetDisplayTexts(texts);
}

void Tarnivex::deliverSysEx(ISysEx* message, bool fromDevice) { ProcessSysEx(message, fromDevice); }

// A job's result on the value line: the name line above it told of an
// earlier event.
void Tarnivex::showStatusText(const char* text) { showStatus("", text ? text : ""); }

void Tarnivex::debugLog(const std::string& message) { debugLogText(message); }

void Tarnivex::debugLogText(std::string_view message) {
  if (!debugLogEnabled) return;
  // The log file is not written from the host's real-time calls.
  if (RealtimeScope::active() && midiSendThread) midiSendThread->log(message);
  else debuggerOutput.printDebugInfo(debugLogPath, std::string(message));
}

bool Tarnivex::deferProgramChange(int part, const IMidiMsg& msg, std::optional<PickTicket> ticket, int bank) {
  if (!RealtimeScope::active() || !midiSendThread) return false;
  midiSendThread->programChange(part, msg, ticket, bank);
  return true;
}

bool Tarnivex::deferHostController(const IMidiMsg& msg) {
  if (!RealtimeScope::active() || !midiSendThread) return false;
  midiSendThread->hostController(msg);
  return true;
}

int Tarnivex::tempoListValue(int index) const {
  if (!uiConfigManager) return 0;
  const std::string* text = valueListText(uiConfigManager->valueLists, "tempoValues", index);
  return text ? std::atoi(text->c_str()) : 0;
}

int Tarnivex::getTimerValue() const {
  const IParam* timer = GetParam(kLibSyncTimer);
  const int setting = timer ? timer->Int() : -1;
  if (setting < 0 || setting >= static_cast<int>(std::size(kTimerValues))) return kDefaultTimerValue;
  return kTimerValues[setting];
}

void Tarnivex::setPartFilterLinkValue(int part, int value) {
  if (part >= 0 && part < static_cast<int>(partFilterLinkValues.size())) partFilterLinkValues[static_cast<size_t>(part)] = value;
}

void Tarnivex::setPatchManagerName(int entry, const std::string& text) {
  if (patchManager) patchManager->setName(entry, text);
}

int Tarnivex::controlParamIdx(IControl* control) { return control ? control->ParamIdx() : -1; }

void Tarnivex::setControlFromHardware(IControl* control, double normalized) {
  if (control) control->SetValueFromHardware(normalized);
}

void Tarnivex::runParamChange(int paramIdx, bool fromDevice) {
  if (fromDevice) OnParamChange2(paramIdx);
  else OnParamChange(paramIdx);
}

bool Tarnivex::isProgBankMode() const { return GetParam(kControlProgBank)->Value() == 1.0; }

namespace {
bool isPart(int part) { return part >= 0 && part < 16; }
}  // namespace

int Tarnivex::partBank(int part) const { return isPart(part) ? sentBanks[static_cast<size_t>(part)].load() : 0; }
int Tarnivex::partProgram(int part) const { return isPart(part) ? sentPrograms[static_cast<size_t>(part)].load() : 0; }

void Tarnivex::recordPartPlays(const GatePass& pass, int bank, int program, const LibraryPick* source) {
  pass.noteRecorded();
  const PickTicket& ticket = pass.ticket();
  if (ticket.multi()) {
    // Another multi: every part plays the pair of a multi the editor has not seen.
    for (size_t p = 0; p < 16; ++p) {
      partBankKnown[p] = false;
      partProgramKnown[p] = false;
      partSoundHeld[p] = false;
    }
    if (program >= 0) setParameterFromPlug(kMultiPatch, program, false);
  } else {
    const int part = ticket.part();
    const auto at = static_cast<size_t>(part);
    if (bank >= 0) {
      sentBanks[at] = bank;
      partBankKnown[at] = true;
      setParameterFromPlug(kMultiPartBank + part, bank, false);
      setParameterFromPlug(kCurrentBank + part, bank, false);
    }
    if (program >= 0) {
      sentPrograms[at] = program;
      partProgramKnown[at] = true;
      setParameterFromPlug(kMultiPartPatch + part, program, false);
    }
    // The sound it now loads is no longer the editor's copy.
    partSoundHeld[at] = false;
  }
  if (librarianBrowser) librarianBrowser->notePartPlays(ticket.slot(), source);
  pickWentOut();
  // The highlight is the shown part's (the multi's in multi mode).
  if (ticket.slot() == (multiMode ? kMultiSlot : currentPart.load())) highlightStale = true;
}

void Tarnivex::recordChannelSharers(int part, int channel, int bank, int program) {
  for (int p = 0; p < 16; ++p) {
    const IParam* heard = GetParam(kMultiPartMIDICh + p);
    if (p == part || !heard || heard->Int() - 2 != channel) continue;
    notePartPlays(p, bank, program);
    partSoundHeld[static_cast<size_t>(p)] = false;
    setParameterFromPlug(kMultiPartBank + p, bank, false);
    setParameterFromPlug(kCurrentBank + p, bank, false);
    setParameterFromPlug(kMultiPartPatch + p, program, false);
    // It loads the instrument's stored sound, no library entry: STEP
    // LIBRARY no longer steps it from the entry it played before.
    if (librarianBrowser) librarianBrowser->notePartPlays(p, nullptr);
    if (p == (multiMode ? kMultiSlot : currentPart.load())) highlightStale = true;
  }
}

void Tarnivex::notePartPlays(int part, int bank, int program) {
  if (!isPart(part)) return;
  const auto at = static_cast<size_t>(part);
  sentBanks[at] = bank;
  sentPrograms[at] = program;
  partBankKnown[at] = true;
  partProgramKnown[at] = true;
}
void Tarnivex::notePartProgramsOfMulti() {
  for (int p = 0; p < 16; ++p) {
    notePartPlays(p, GetParam(kMultiPartBank + p)->Int(), GetParam(kMultiPartPatch + p)->Int());
    // A multi's parts play the instrument's programs, from no library entry.
    if (librarianBrowser) librarianBrowser->notePartPlays(p, nullptr);
  }
  // The multi went out: a refusal's text before it no longer holds.
  pickWentOut();
  highlightStale = true;
}
void Tarnivex::notePartSoundHeld(int part) {
  if (isPart(part)) partSoundHeld[static_cast<size_t>(part)] = true;
}
void Tarnivex::endPartSoundHeld(int part) {
  if (isPart(part)) partSoundHeld[static_cast<size_t>(part)] = false;
}

void Tarnivex::followPicksInWindow() {
  // The slot a job selected, taken by the window's thread.
  if (LibrarianViewControl* view = librarianView()) view->takeHandedSlot();
  // The highlight follows what the parts play, written here alone.
  if (highlightStale.exchange(false) && librarianBrowser) librarianBrowser->showPlayedSlot(currentPart);
  if (partNamesStale.exchange(false))
    for (int p = 0; p < 16; ++p)
      for (int index : {kPatchName + p, kCategoryName + p})
        if (const ControlAction* action = actionOf(index))
          for (IControl* control : action->controls) control->SetDirty(false);
}

void Tarnivex::OnIdle() {
  followPicksInWindow();
  showArrivedLibrary();
  showOutPortState();
  if (folderRefreshPending.exchange(false)) OnParamChange(kRefreshFolders);
  if (paramNameDisplay && paramValueDisplay) {
    std::optional<std::pair<std::string, std::string>> failure;
    {
      std::lock_guard<std::mutex> lock(mPendingFailureMutex);
      failure.swap(mPendingFailure);
    }
    if (failure) showFailure(failure->first, failure->second);
  }
  refreshStaleCategories();
}

void Tarnivex::refreshStaleCategories() {
  if (!categoriesStale.exchange(false) || !librarianBrowser || !patchLibrarian) return;
  // Thousands of banks take a while: the library builds the lists beside
  // the host's calls, under its own lock. A change that overtook the build
  // has them built again at the next idle call.
  if (!patchLibrarian->refreshCategories()) {
    categoriesStale = true;
    return;
  }
  WDL_MutexLock lock(&mMutex);
  besideBlock([&] { librarianBrowser->showCategories(); });
}
