// What the editor shows of its own work: the processing overlay with its
// cancel controls, the arming of librarian replies, the unsaved-bank state
// and the header texts.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string_view>

#include "ControlLayer.h"
#include "DataFolder.h"
#include "FailureText.h"
#include "IControl.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "RealtimeScope.h"
#include "Tarnivex.h"
#include "UserFiles.h"

namespace {
// A text that says a pick, step or edit sent nothing: by its first line, or
// by the single line of a job's text.
bool tellsNothingWent(const std::string& first, const std::string& second) {
  static constexpr std::string_view kHeads[] = {kEntryNotSent,        "Nothing sent!",       "Program Change Disabled.",
                                                "Set MIDI I/O First!", "MIDI Out port gone!", "Instrument not connected!"};
  const std::string_view line = first.empty() ? second : first;
  return std::any_of(std::begin(kHeads), std::end(kHeads), [line](std::string_view head) { return line.starts_with(head); });
}
}  // namespace

int Tarnivex::mainTabIndex() const { return GetParam(kMainTab)->Int(); }

// The overlay covers the whole window and is drawn over what lies under it:
// each change of it, or of its layer, redraws the window. Only what differs
// from what shows is changed, so a job that says "processing" part after part
// redraws nothing.
void Tarnivex::showProcessingOverlay(bool on, bool librarianPage) {
  const auto show = [](IControl* control, bool shown) {
    if (control && control->IsHidden() == shown) control->Hide(!shown);
  };
  if (progressLayer && progressLayer->IsHidden() == on) progressLayer->Hide(!on);
  show(progressIndicator, on);
  show(libraryCancelButton, on && librarianPage);
  show(editorCancelSwitch, on && !librarianPage);
}

void Tarnivex::DisplayProcessingIndicator(bool on) {
  std::lock_guard<std::mutex> overlay(mOverlayMutex);
  const bool librarianPage = GetParam(kMainTab)->Value() == 1.0;
  // A pick's work shows it on its part's lane, a job or a transfer beside
  // them: it goes when the last of them ends.
  const int lane = PartPicks::currentLane();
  const uint32_t laneBit = lane >= 0 ? 1u << lane : 0u;
  if (on) {
    if (laneBit) pickOverlays |= laneBit;
    else jobOverlay = true;
    processing = true;
    showProcessingOverlay(true, librarianPage);
    if (librarianPage) {
      if (ControlLayer* layer = namedLayer("categoryLimit"); layer && layer->IsVisible()) layer->Hide(true);
      if (ControlLayer* layer = namedLayer("searchField"); layer && layer->IsVisible()) layer->Hide(true);
      if (patchSearchControl && !patchSearchControl->IsGrayed()) patchSearchControl->GrayOut(true);
    }
    return;
  }
  if (laneBit) {
    pickOverlays &= ~laneBit;
  } else {
    jobOverlay = false;
    stateRestore = false;
    editorBusy = false;
    if (midiMessageManager) {
      midiMessageManager->dumpExpected = false;
      // A pick that waited for the overlay goes now, whichever ended last.
      midiMessageManager->picks.serveWaiting();
    }
  }
  if (jobOverlay || pickOverlays != 0) return;
  processing = false;
  const bool overlayGoes = overlayHolds == 0;
  if (overlayGoes) showProcessingOverlay(false, librarianPage);
  if (overlayGoes && librarianPage && !multiMode) {
    const bool searching = GetParam(kPatchSearch)->Value() == 1.0;
    showLayer(searching ? "searchField" : "categoryLimit", true);
    if (patchSearchControl) patchSearchControl->GrayOut(false);
  }
  notesSilenced = false;
}

void Tarnivex::holdProcessingOverlay(bool hold) {
  if (hold) ++overlayHolds;
  else if (overlayHolds > 0) --overlayHolds;
}

bool Tarnivex::refuseLibrarySlot(std::optional<int> chosen) {
  const int slot = chosen.value_or(patchLibrarian ? patchLibrarian->targetSlot.load() : 0);
  if (slot >= 0 && slot < kPatchesPerBank) return false;
  showStatus("Slot not written!", slot < 0                 ? "Select a library slot first!"
                                  : multiMode ? "A bank holds 100 multis"
                                              : "A bank holds 100 sounds");
  return true;
}

bool Tarnivex::SetLibrarianRequestActive(bool libraryRequest, std::optional<int> slot) {
  if (!midiMessageManager) return false;
  MIDIMessageManager& manager = *midiMessageManager;
  // Every road into a library slot arms here: no slot, or one past the
  // bank, is refused for all of them, and nothing is written. The slot is
  // the record's: no selection made meanwhile moves it.
  if (!slot) slot = patchLibrarian ? patchLibrarian->targetSlot.load() : 0;
  const bool refused = libraryRequest && refuseLibrarySlot(slot);
  if (refused) {
    manager.dumpExpected = false;
    manager.patchRequest.disarm();
    manager.performanceRequest.disarm();
  } else if (libraryRequest) {
    manager.dumpExpected = false;
    LibraryRequest& armed = multiMode ? static_cast<LibraryRequest&>(manager.performanceRequest)
                                      : static_cast<LibraryRequest&>(manager.patchRequest);
    LibraryRequest& other = multiMode ? static_cast<LibraryRequest&>(manager.patchRequest)
                                      : static_cast<LibraryRequest&>(manager.performanceRequest);
    other.disarm();
    armed.arm(*slot);
  } else {
    manager.dumpExpected = true;
    manager.patchRequest.disarm();
    manager.performanceRequest.disarm();
  }
  replyReceived = false;
  manager.replyAccepted = false;
  return !refused;
}

void Tarnivex::SetLibrarianStatusUnsaved(bool unsaved) {
  if (unsaved) markLibraryUnsaved("");
}

void Tarnivex::showReceivedToLibrary(const char* result) { markLibraryUnsaved(result ? result : ""); }

void Tarnivex::showBankEditUnsaved() {
  for (auto [index, value] : {std::pair{kBankEditUnsaved, 1.0}, std::pair{kDiscardBankData, 0.0}}) {
    IParam* param = GetParam(index);
    param->Set(std::clamp(value, param->GetMin(), param->GetMax()));
  }
  showLayer("discardChangesLayerRight", true);
  showLayer("keepBankOpenLayer", false);
  if (datatypeControl) datatypeControl->GrayOut(true);
  showLayer(multiMode ? "LeftPerformancePopupMenu" : "UPPERPOPUPMENU", false);
}

bool Tarnivex::folderWasBusy() const { return patchLibrarian && patchLibrarian->folderBusy; }

void Tarnivex::markLibraryUnsaved(const std::string& result) {
  if (midiMessageManager) {
    midiMessageManager->dumpExpected = false;
    midiMessageManager->patchRequest.disarm();
    midiMessageManager->performanceRequest.disarm();
  }
  showBankEditUnsaved();
  showStatus("Data received to slot(s)", result);
  // What came in may bring categories the lists lack; the menus are
  // rebuilt on the GUI thread.
  categoriesStale = true;
}

// Work under way: the name line above it told of an earlier event.
void Tarnivex::showProgressText(const char* text) {
  mFailureShown = false;
  std::lock_guard<std::mutex> lock(mStatusMutex);
  mRefusalShown = false;
  if (mLoadWordHeld) {
    if (paramNameDisplay) paramNameDisplay->SetTextFromPlug(text);
    if (!mLossShown && paramValueDisplay) paramValueDisplay->SetTextFromPlug(mLoadWord.c_str());
    return;
  }
  if (paramNameDisplay) paramNameDisplay->SetTextFromPlug("");
  if (!mLossShown && paramValueDisplay) paramValueDisplay->SetTextFromPlug(text);
}

void Tarnivex::endProgressText(const char* text) {
  std::lock_guard<std::mutex> lock(mStatusMutex);
  // Beside the load's word, the text ended is on the first line.
  if (mLoadWordHeld) {
    if (paramNameDisplay && paramNameDisplay->GetText() == text) paramNameDisplay->SetTextFromPlug("");
    return;
  }
  if (!paramValueDisplay || mLossShown || paramValueDisplay->GetText() != text) return;
  if (paramNameDisplay && !paramNameDisplay->GetText().empty()) return;
  paramValueDisplay->SetTextFromPlug("");
}

void Tarnivex::showStartupText(const std::string& first, const std::string& second) {
  mFailureShown = false;
  std::lock_guard<std::mutex> lock(mStatusMutex);
  mLossShown = false;
  if (paramNameDisplay) paramNameDisplay->SetTextFromPlug(first.c_str());
  if (paramValueDisplay) paramValueDisplay->SetTextFromPlug(mLoadWordHeld ? mLoadWord.c_str() : second.c_str());
}

void Tarnivex::showLossText(const std::string& text) {
  std::lock_guard<std::mutex> lock(mStatusMutex);
  if (paramValueDisplay) paramValueDisplay->SetTextFromPlug(text.c_str());
  mLossShown = true;
}

void Tarnivex::showStatus(const std::string& first, const std::string& second) {
  // File names reach the status lines here, as they are on disk: a newline,
  // an ESC or a byte that is no UTF-8 is shown as "?", and the debug log has
  // the text as it was.
  const std::string shownFirst = userfiles::visibleText(first), shownSecond = userfiles::visibleText(second);
  if (shownFirst != first || shownSecond != second)
    debugLog("STATUS: " + first + (second.empty() ? "" : " / " + second));
  mFailureShown = false;
  // Both lines at once: a text another thread sets meanwhile does not pair
  // its line with one of this text.
  std::lock_guard<std::mutex> lock(mStatusMutex);
  mLossShown = false;
  mLoadWordHeld = false;
  mRefusalShown = tellsNothingWent(first, second);
  if (paramNameDisplay) paramNameDisplay->SetTextFromPlug(shownFirst.c_str());
  if (paramValueDisplay) paramValueDisplay->SetTextFromPlug(shownSecond.c_str());
}

void Tarnivex::showSuccess(const std::string& what, const std::string& detail) { showStatus(what, detail); }

void Tarnivex::pickWentOut() {
  if (RealtimeScope::active()) return;
  std::lock_guard<std::mutex> lock(mStatusMutex);
  if (!mRefusalShown) return;
  mRefusalShown = false;
  if (paramNameDisplay) paramNameDisplay->SetTextFromPlug("");
  // A count of messages lost since stays.
  if (!mLossShown && paramValueDisplay) paramValueDisplay->SetTextFromPlug("");
}

void Tarnivex::showWritten(const std::string& what, const std::string& path) {
  const std::string name = userfiles::nameOf(path);
  if (!folderWasBusy()) return showSuccess(what, name);
  // What succeeded first, then what did not run.
  showStatus(what, (name.empty() ? "" : name + ": ") + kNotRefreshed);
  mFailureShown = true;
}

void Tarnivex::showImported(const std::string& path) {
  // Not read again: what was written is named, and that the reload did not run.
  if (folderWasBusy() || !patchLibrarian) return showWritten("Bank imported", path);
  const std::string why = patchLibrarian->whyNotListed(path, getPatchesFolderStr());
  std::string partly;
  if (why.empty()) {
    // A file listed in part: what the library lists of it, and why no more.
    if (const std::size_t unlisted = patchLibrarian->entriesNotListed(path, &partly); unlisted > 0) {
      showStatus("Bank imported, " + std::to_string(kPatchesPerBank) + " of " +
                     std::to_string(unlisted + kPatchesPerBank) + " listed",
                 userfiles::nameOf(path) + ": " + partly);
      mFailureShown = true;
      return;
    }
    return showWritten("Bank imported", path);
  }
  // Nothing of a copy the library does not list stays; one that must stay
  // (it replaced a bank) is said to be there.
  const bool withdrawn = patchLibrarian->withdrawImport(path);
  showFailure(withdrawn ? "Bank not imported!" : "Bank copied, not listed", userfiles::nameOf(path) + ": " + why);
}

void Tarnivex::fitStatusDisplays() {
  for (ITextControl* display : {paramNameDisplay, paramValueDisplay})
    if (display) display->FitToRect([this](const std::string& whole) { debugLog("STATUS: " + whole); });
}

void Tarnivex::displayText(std::string name, std::string value, std::string cc) {
  showParamName(name.c_str());
  showParamValue(value.c_str());
  showCCText(cc.c_str());
}

void Tarnivex::displayPatchName(std::string text) {
  if (patchNameDisplay) patchNameDisplay->SetTextFromPlug(text.c_str());
}

void Tarnivex::displayCategoryName(std::string text) {
  if (categoryNameDisplay) categoryNameDisplay->SetTextFromPlug(text.c_str());
}

void Tarnivex::displayBuild(std::string text) {
  if (buildDisplay) buildDisplay->SetTextFromPlug(text.c_str());
}

const char* Tarnivex::getPanelString(int part, std::string text) {
  mPanelString = "Part " + std::to_string(part + 1) + " " + text;
  return mPanelString.c_str();
}

std::string Tarnivex::getValueString(double value) {
  char text[64];
  std::snprintf(text, sizeof(text), "%.0f", value);
  return text;
}
