// The plug-in's section of the host's state chunk. Long form: marker, the
// part shown, the model, the patch manager block (snapshot and names), the
// device and selection values, then the plain values of parameters
// 0..8743. Short form (the snapshot, and every chunk of earlier versions):
// the same without the block and the four selection values.
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "IGraphics.h"
#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "PatchManager.h"
#include "TabSwitchFunctions.h"
#include "Tarnivex.h"
#include "Utilities.h"
#include "UIConfigManager.h"
#include "ValueLists.h"

namespace {
constexpr int kStateMarker = 0x01000000;
constexpr int kUnsavedEditorParams = 545;
constexpr int kHeadBytes = 4 + 8 + 8;
constexpr const char* kRestoreCut = "Project not sent!";
constexpr const char* kRestoreCutDetail = "Load it again to send it";

// Everything a section holds, read and checked before any of it is applied.
struct StateSection {
  double quickTab = 0.0, qModel = 0.0;
  bool longForm = false;
  Patch::Block block;
  double selections[4] = {};
  int valuesPos = -1;
  int endPos = -1;
};

bool readFinite(const ByteChunk& chunk, int& pos, double* out) {
  if (pos < 0) return false;
  pos = chunk.ReadValue(out, pos);
  return pos >= 0 && std::isfinite(*out);
}

bool startsWithMarkers(const ByteChunk& chunk, int pos) {
  int first = 0, second = 0;
  pos = chunk.ReadValue(&first, pos);
  return pos >= 0 && chunk.ReadValue(&second, pos) >= 0 && first == kStateMarker && second == kStateMarker;
}

// Reads a section from startPos into section, applying nothing; the
// position after it, or -1 when any block it claims is not whole.
int readSection(const ByteChunk& chunk, int startPos, bool full, int automatable, int savedCount,
                StateSection& section) {
  if (startPos < 0) return -1;
  int pos = startPos;
  int marker = 0;
  pos = chunk.ReadValue(&marker, pos);
  if (pos < 0 || marker != kStateMarker) return -1;
  if (!readFinite(chunk, pos, &section.quickTab) || !readFinite(chunk, pos, &section.qModel)) return -1;
  for (int i = 0; i < automatable; ++i) {
    double ignored = 0.0;
    if (!readFinite(chunk, pos, &ignored)) return -1;
  }
  const long long valueBytes = 8LL * savedCount;
  // Chunks of earlier versions hold the short form only.
  section.longForm = full && chunk.Size() - pos != valueBytes;
  if (section.longForm) {
    pos = Patch::readBlock(chunk, pos, &section.block);
    // The snapshot is a whole short form of this plug-in: a length field
    // that is off would read names and values from the wrong places, and a
    // value in it that is no number would be saved again with the project.
    const long long shortForm = kHeadBytes + 8LL * automatable + valueBytes;
    const auto& snapshot = section.block.snapshot;
    if (pos < 0 || static_cast<long long>(snapshot.size()) != shortForm) return -1;
    ByteChunk snapshotChunk;
    snapshotChunk.AppendBytes(snapshot.data(), static_cast<int>(snapshot.size()));
    StateSection inner;
    if (readSection(snapshotChunk, 0, false, automatable, savedCount, inner) != snapshotChunk.Size()) return -1;
    for (double& selection : section.selections)
      if (!readFinite(chunk, pos, &selection)) return -1;
  } else if (startsWithMarkers(chunk, pos)) {
    // A long form cut at the short form's length: what would be read as
    // values is the patch manager's block.
    return -1;
  }
  if (pos < 0 || chunk.Size() - pos < valueBytes) return -1;
  section.valuesPos = pos;
  for (int i = 0; i < savedCount; ++i) {
    double value = 0.0;
    if (!readFinite(chunk, pos, &value)) return -1;
  }
  section.endPos = pos;
  return pos;
}

std::string orSetName(const std::string& text) { return text.empty() ? "Set Name" : text; }
}  // namespace

bool Tarnivex::namesAPort(const std::string& name) {
  return !name.empty() && name != "Set Name" && name != "Select MIDI Device";
}

void Tarnivex::adoptStoredPortName(bool output, const std::string& name) {
  // A port open now stays the choice; with none open the project's name is,
  // so saving the project again keeps it.
  const int open = output ? midiOutPortIndex.load() : midiInPortIndex.load();
  if (open <= 0 && namesAPort(name)) setChosenPortName(output, name);
}

int Tarnivex::savedParamCount() const { return NNonAutomatedParams() - kUnsavedEditorParams; }

std::string Tarnivex::portNameForState(bool output) {
  // The port open now; else the one the user chose, present or not (a
  // project saved while the instrument is off keeps its ports); else the
  // selection's value.
  const int open = output ? midiOutPortIndex.load() : midiInPortIndex.load();
  const std::string chosen = chosenPortName(output);
  if (open <= 0 && !chosen.empty()) return chosen;
  const IParam* selection = GetParam(output ? kDeviceOutSelection : kDeviceInSelection);
  const int index = open > 0 ? open : (selection ? selection->Int() : 0);
  const std::vector<std::string>& list = output ? mOutNames : mInNames;
  if (index > 0 && index < static_cast<int>(list.size())) return list[static_cast<size_t>(index)];
  return orSetName(paramDisplayText(output ? kDeviceOutSelection : kDeviceInSelection, index));
}

bool Tarnivex::SerializeState(ByteChunk* chunk) { return SerializeState2(chunk, true); }

bool Tarnivex::SerializeState2(ByteChunk* chunk, bool full) {
  if (!chunk) return false;
  if (full && patchManager) {
    patchManager->setName(Patch::kMidiInName, portNameForState(false));
    setLibrarianViewDirty();
    patchManager->setName(Patch::kMidiOutName, portNameForState(true));
    setLibrarianViewDirty();
  }
  appendState(chunk, full);
  return true;
}

// The saved state's bytes as a save writes them, without taking the open
// ports' names into the project first (a save does that), and read without
// the plug-in lock: the window's idle call asks for it while blocks run.
uint64_t Tarnivex::SavedStateStamp() {
  ByteChunk chunk;
  appendState(&chunk, true, false);
  return HashBytes(chunk.Data(), chunk.Size());
}

void Tarnivex::appendState(ByteChunk* chunk, bool full, bool underLock) {
  chunk->AppendValue(&kStateMarker);
  const double quickTab = GetParam(kQuickTab)->Value();
  const double qModel = GetParam(kQModel)->Value();
  chunk->AppendValue(&quickTab);
  chunk->AppendValue(&qModel);
  if (underLock) SerializeParams(chunk);
  else AppendParamValues(chunk, 0, NAutomatableParams());
  if (full && patchManager) {
    patchManager->saveAllToChunk(chunk);
    for (int idx : {kDeviceInSelection, kDeviceOutSelection, kBankSelection, kPatchSelection}) {
      const double normalized = GetParam(idx)->GetNormalized();
      chunk->AppendValue(&normalized);
    }
  }
  if (underLock) SerializeNonAutomatedParams(chunk, savedParamCount());
  else AppendParamValues(chunk, NAutomatableParams(), std::min(savedParamCount(), NNonAutomatedParams()));
}

int Tarnivex::UnserializeState(ByteChunk* chunk, int startPos) { return UnserializeState2(chunk, startPos, true); }

int Tarnivex::CheckState(ByteChunk* chunk, int startPos) {
  StateSection section;
  return chunk ? readSection(*chunk, startPos, true, NAutomatableParams(), savedParamCount(), section) : -1;
}

void Tarnivex::OnStateRefused() {
  displayText("Project not loaded", "its saved state is damaged or cut", "");
  mFailureShown = true;
}

int Tarnivex::UnserializeState2(ByteChunk* chunk, int startPos, bool full) {
  // ---- Read and check the whole section first: a damaged chunk changes nothing.
  StateSection section;
  if (!chunk || readSection(*chunk, startPos, full, NAutomatableParams(), savedParamCount(), section) < 0) {
    OnStateRefused();
    return -1;
  }

  // ---- Apply. The restore is a pick of every part from before its first
  // value is written: an older pick that goes meanwhile records nothing over
  // its values, and a pick that comes after it is newer and goes after its send.
  std::optional<StateTicket> restored;
  if (midiMessageManager) restored = midiMessageManager->picks.arriveAll();
  IParam* quickTab = GetParam(kQuickTab);
  quickTab->Set(section.quickTab);
  currentPart = quickTab->Int();
  IParam* qModel = GetParam(kQModel);
  qModel->Set(section.qModel);
  modelNumber = qModel->Int();
  if (debugLogEnabled) {
    const std::string* model =
        uiConfigManager ? valueListText(uiConfigManager->valueLists, "qModel", modelNumber) : nullptr;
    debugLog("PROJECT RECALL: hardware model " + (model ? *model : std::to_string(modelNumber.load())));
  }

  if (section.longForm) {
    if (patchManager) patchManager->applyBlock(section.block);
    const std::string inName = section.block.names[Patch::kMidiInName];
    const std::string outName = section.block.names[Patch::kMidiOutName];
    debugLog("PROJECT RECALL: MIDI In device stored " + inName);
    adoptStoredPortName(false, inName);
    const int inIndex = reopenMidiIn(inName);
    GetParam(kDeviceInSelection)->Set(inIndex);
    setParameterFromPlug(kDeviceInSelection, GetParam(kDeviceInSelection)->Value(), false);
    debugLog("PROJECT RECALL: MIDI Out device stored " + outName);
    adoptStoredPortName(true, outName);
    const int outIndex = reopenMidiOut(outName);
    GetParam(kDeviceOutSelection)->Set(outIndex);
    // Configured follows the output that is open now, not the one before.
    midiIOConfigured = GetParam(kDeviceOutSelection)->Int() > 0;
    debugLog("PROJECT RECALL: MIDI In device after checking devices " + portNameForState(false));
    debugLog("PROJECT RECALL: MIDI Out device after checking devices " + portNameForState(true));
    // Normalised values stay in 0..1, or a selection far outside its range
    // would reach the integer reads.
    GetParam(kBankSelection)->SetNormalized(std::clamp(section.selections[2], 0.0, 1.0));
    GetParam(kPatchSelection)->SetNormalized(std::clamp(section.selections[3], 0.0, 1.0));
    if (patchManager) {
      patchManager->bankSelection = GetParam(kBankSelection)->Int();
      patchManager->patchSelection = GetParam(kPatchSelection)->Int();
    }
  }

  // Every value is restored, with or without the instrument: a project
  // opened without it must not lose its sounds.
  UnserializeNonAutomatedParams(chunk, section.valuesPos, savedParamCount());
  deriveMirroredFlags();
  showEditorSizeAndScheme();
  // A clock switched on in the project runs at the host's tempo as when the
  // switch is flipped: the tempo is sampled and the clock job starts again.
  // A host may give no tempo until some time after the project is loaded;
  // the clock then waits for it rather than giving up after its tries.
  if (clockInfoOn) {
    tempoValue = static_cast<int>(GetTempo());
    clockAwaitsHostTempo = tempoValue <= 0 && GetParam(kOverrideTempo)->Value() == 1.0;
    if (midiMessageManager) midiMessageManager->resetContinuousClock(false);
    continuousClockStarted = false;
  }
  debugLog("PROJECT RECALL: hardware DeviceID " + std::to_string(GetParam(kGlobalSysExID)->Int()));
  if (section.longForm && patchManager) {
    std::string name;
    patchManager->getName(&name, 0);
    setParamDisplayText(kMultiName, 0, name);
    debugLog("PROJECT RECALL: Multi name " + name);
    for (int p = 0; p < 16; ++p) {
      std::string sound, category;
      patchManager->getName(&sound, 1 + p);
      patchManager->getName(&category, 19 + p);
      setParamDisplayText(kPatchName + p, 0, sound);
      setParamDisplayText(kCategoryName + p, 0, category);
      debugLog("PROJECT RECALL: Part " + std::to_string(p) + " name " + sound + " | Category name " + category);
    }
  }
  // The project's sounds replace the ones the instrument shared: each is
  // shared again once the restore's send has taken it out. One saved with
  // no name (a pick whose sound was never read back sure) is no sound: the
  // part gets its program alone.
  for (int p = 0; p < 16; ++p) {
    const auto at = static_cast<size_t>(p);
    partFilterLinkValues[at] = GetParam(kFilterLinkValue + p)->Int();
    partSoundHeld[at] = false;
    restoredSound[at] = !(section.longForm && patchManager) || !paramDisplayText(kPatchName + p, 0).empty();
  }
  // The window shows the restored part, as a part click does (the project
  // goes to the instrument below): the top bar's bank and program, the
  // part's copy of the open page, its names.
  if (tabSwitchFunctions) tabSwitchFunctions->quickTabSwitch(this, kQuickTab, currentPart, modelNumber, false);
  // The menus list their names when one pops up in an editor, not at every
  // restore: a host loads its projects with no editor open.
  updateBankAndProgramMenuNames(false, false);

  if (midiIOConfigured && restored) resendRestoredState(*restored);

  hostBufferOffset = 2 * GetParam(kAdjustDAWOffset)->Int() + GetBlockSize();
  debugLog("PROJECT RECALL: MIDI In device after nonautomated params " + portNameForState(false));
  debugLog("PROJECT RECALL: MIDI Out device after nonautomated params " + portNameForState(true));
  // A refusal (or any failure) still shown is over.
  if (mFailureShown) showSuccess("Project loaded", "");
  return section.endPos;
}

// The project goes to the instrument on the request worker, in the order and
// with the pauses of job 0, while the host's thread returns. The flags the
// send reads are set when it starts and cleared when it ends, on the worker.
// A send still running (an earlier restore's, a bank request) is asked to
// stop, and one still waiting gives its place to this one, so the instrument
// ends holding the state restored last.
void Tarnivex::resendRestoredState(const StateTicket& state) {
  MIDIMessageManager& manager = *midiMessageManager;
  if (manager.isThreadRunning(JobThread::kRequest)) manager.cancelRequestJob();
  SenderJob job;
  job.jobCode = 0;
  job.firstSendFlag = false;
  job.secondSendFlag = false;
  job.state = state;
  const auto begin = [this] {
    midiMessageManager->sender->cancelRequested = false;
    midiMessageManager->sender->arrangementCutOff = false;
    restoreCut = false;
    stateRestore = true;
    sendGlobalFirst = true;
    sendAllParts = true;
    editorBusy = true;
  };
  // Cut by the port, the send is over: nothing of it follows when the port
  // comes back, nor at the close.
  const auto end = [this] {
    if (midiMessageManager->sender->arrangementCutOff && !midiMessageManager->isShuttingDown()) {
      restoreCut = true;
      showStatus(kRestoreCut, kRestoreCutDetail);
    }
    sendGlobalFirst = false;
    stateRestore = false;
    sendAllParts = false;
    editorBusy = false;
  };
  if (!manager.queueJob(job, begin, 0, end)) debugLog("PROJECT RECALL: the project could not be sent to the instrument");
}
