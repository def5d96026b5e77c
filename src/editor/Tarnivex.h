// The plug-in class: the editor core on top of the VST adapter.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ControlDisplay.h"
#include "ControlIndexes.h"
#include "DebuggerOutput.h"
#include "EditorServices.h"
#include "IMidiQueue.h"
#include "IPlugVST.h"
#include "LibrarianHost.h"
#include "SenderJob.h"
#include "SettingsFile.h"

class ITextControl;
class IControl;
class ControlLayer;
class LibrarianBrowser;
class LibrarianViewControl;
class LinkManager;
class MIDIMessageManager;
class MidiSendThread;
class PatchLibrarian;
class PatchManager;
class TabSwitchFunctions;
class UIConfigManager;
struct ControlAction;

class Tarnivex : public IPlugVST, public ControlDisplayHost, public EditorServices {
 public:
  explicit Tarnivex(IPlugInstanceInfo instanceInfo);
  ~Tarnivex() override;

  void Reset() override;
  void OnParamChange(int paramIdx) override;
  void OnParamChange2(int paramIdx) override;
  void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) override;
  void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override;
  void ProcessSysEx(ISysEx* msg, bool fromDevice) override;
  bool SerializeState(ByteChunk* chunk) override;
  int UnserializeState(ByteChunk* chunk, int startPos) override;
  int CheckState(ByteChunk* chunk, int startPos) override;
  void OnStateRefused() override;
  void OnMidiOutRefused(const char* reason) override;
  void OnMidiOutGone() override;
  void OnMidiOutUnplugged() override;
  void OnMidiOutFull() override;
  void OnMidiDeviceMenu(bool input) override;
  void OnCaptionMenu(int paramIdx) override;
  void OnTextEntryCancelled(int paramIdx) override;

  // ---- Project state (EditorState.cpp): the long form for the host, the
  // short form for the patch manager's snapshot.
  bool SerializeState2(ByteChunk* chunk, bool full);
  uint64_t SavedStateStamp() override;
  // The section's bytes; underLock false reads the values without the
  // plug-in lock (the stamp of the saved state).
  void appendState(ByteChunk* chunk, bool full, bool underLock = true);
  int UnserializeState2(ByteChunk* chunk, int startPos, bool full);
  int savedParamCount() const;
  // The name of the selected port as the project keeps it ("Set Name" for none).
  std::string portNameForState(bool output);
  // A port name read from a project becomes the chosen one while no port is open.
  void adoptStoredPortName(bool output, const std::string& name);
  // Hands global, multi and the active parts (job 0) to the request
  // worker, behind or in place of an earlier restore's, and returns.
  void resendRestoredState(const StateTicket& state);
  // A restore whose send the port cut (gone, unplugged, full): it is not
  // sent again when the port comes back, and the window says so.
  std::atomic<bool> restoreCut{false};

  // ---- The way out (EditorMidiOut.cpp).
  void sendMidiMsgAndLog(IMidiMsg* msg);
  // The same; false when it did not leave (no port set, the port gone or full).
  bool sendShortAndLog(IMidiMsg* msg);
  void AllSoundsOff(int part, bool allParts);
  void sendSysExInitialization();
  // The enquiry's job start and its pause, on the MIDI thread.
  void runDeviceEnquiry();
  // The block's deferred part request, on the MIDI thread.
  void runPartRequest();
  // What the real-time calls hand on (MidiSendThread.h); made first, gone first.
  std::unique_ptr<MidiSendThread> midiSendThread;
  // A bank or program change with its pauses, and what follows it, asked for
  // on a host thread: done on the MIDI thread, in order (at once without one).
  void runOffHostThread(std::function<void()> task);
  // Waits for the library read on a worker at create and shows it; for
  // threads that may wait (never the host's).
  void waitForLibrary();
  // Runs a window action's file work (reading or splitting the library, a
  // settings rewrite, a wait for a folder's lock) or a build of the library's
  // lists (its categories, a search), which touches nothing of the plug-in's
  // but under locks of its own, with the MIDI threads let in: none of them
  // waits for it.
  void besideFiles(const std::function<void()>& work);
  // Set while the block's part request waits on the MIDI thread.
  std::atomic<bool> partRequestPosted{false};
  void MIDIOutRoutingSwitch(IMidiMsg* msg);
  // The bank select and program change of a pick: notes off, bank select,
  // 25 ms, its second half, 25 ms, the program change (the pair recorded as
  // it goes), 50 ms and the pacing delay; the multi's on the global channel
  // for the multi's ticket. Each message through the gate.
  PickSend BankChangeMessage(const PickTicket& ticket, int bank, int program, const LibraryPick* source) override;
  bool CheckBankConflict(int part);
  // Whether another active part is known to play the bank and program: one
  // whose bank or program was never sent nor received plays nothing known.
  bool playedByAnotherPart(int part, int bank, int program) const;
  // The part plays this bank and program: it was sent, or a multi naming it
  // went out or came in.
  void notePartPlays(int part, int bank, int program);
  // The other parts listening on the channel a part's change went on took it
  // too: they play its bank and program as well.
  void recordChannelSharers(int part, int channel, int bank, int program);
  // A bank or program picked for a part in the window (or a multi in multi
  // mode) that would send nothing, or that another part plays, is refused
  // before it changes anything: the status line or the conflict window says
  // why and the controls go back to what they showed.
  void SetParameterFromGUI(int paramIdx, double normalizedValue) override;
  // An edit from the window, put back when it reached no instrument.
  void setEditFromGUI(int paramIdx, double normalizedValue);
  // Why such a pick would send nothing (the part locked, program changes
  // not taken, no port, a library slot with nothing to send) or is refused
  // for a conflict; true when refused, the status line or the conflict
  // window saying why.
  bool refuseUnsentPick(int part, int bank, int program, bool multi);
  // A pick of bank and program for a part that another part plays, outside
  // multi mode and quiet sends: the conflict window shows; true when refused.
  bool refusePartPick(int part, int bank, int program) override;
  bool pairPlayedElsewhere(int part, int bank, int program) const override;
  bool isOutUnplugged() override;
  void sayPickRefused(PickRefusal why) override;
  // A part (the multi) with no single channel: logged, said; true when refused.
  bool refuseNoProgramChannel(int part, bool multi) override;

  // ---- MIDI ports and the settings file (EditorMidiSettings.cpp).
  // Opens the port named name, or the one port whose name starts with it
  // (names kept in a project are cut); the list position. A name that no
  // port has leaves the port as it is: its position, 0 when none is open.
  int reopenMidiOut(const std::string& name);
  // The device menu's texts and value from the port list as it is now.
  void showPortList(bool output);
  int openUnlisted(bool output, const std::string& name);
  // False for what a project holds where no port was chosen.
  static bool namesAPort(const std::string& name);
  int reopenMidiIn(const std::string& name);
  // The port names the user chose (in a menu, the settings file or a
  // project), kept whether or not those ports are there now; "" for none.
  std::string chosenPortName(bool output) const;
  void setChosenPortName(bool output, const std::string& name);
  // The stored ports, when the settings file asks for them.
  void reopenStoredPorts();
  std::string settingsPath;
  SettingsFile settings;
  std::atomic<int> colourScheme{0};
  std::atomic<bool> firstRun{false};
  std::atomic<bool> midiOutStored{false};
  std::atomic<bool> initialisationPending{false};
  // The device enquiry met the out port gone; the block starts it again once the port is back.
  std::atomic<bool> enquiryAwaitsOutPort{false};
  std::atomic<bool> initialisationRequested{false};
  std::atomic<bool> constructionFinished{false};
  std::atomic<int> midiInPortIndex{0};
  std::atomic<int> midiOutPortIndex{0};
  mutable std::mutex mChosenPortsMutex;
  std::string mChosenOutName, mChosenInName;

  // ---- Routing and filters.
  enum FilterKind { kFilterCC, kFilterPC, kFilterNote, kFilterPP, kFilterPA, kFilterCA, kFilterSE, kFilterKinds };
  // Derives every flag mirrored from a parameter (filters, routing, clock,
  // master keyboard, local control, library mode) from the values stored.
  void deriveMirroredFlags();
  static int filterKindOf(const IMidiMsg& msg);
  // The part a host message is for: the first whose channel it is, else 0.
  int partForHostMessage(const IMidiMsg& msg) const;
  bool blocks(bool fromDevice, int kind) const {
    return (fromDevice ? deviceBlocked : hostBlocked)[static_cast<size_t>(kind)];
  }
  std::array<std::atomic<bool>, kFilterKinds> hostBlocked{};
  std::array<std::atomic<bool>, kFilterKinds> deviceBlocked{};
  std::atomic<bool> trackIncoming{true};
  std::atomic<bool> masterKeyboard{false};
  std::atomic<bool> midiToHostBuffer{false};
  std::atomic<int> hostBufferOffset{0};
  IMidiQueue midiQueue{1024, 1024};

  // ---- The block clock (EditorProcessing.cpp).
  std::atomic<bool> transportWasRunning{false};
  std::atomic<bool> clockStarted{false};
  std::atomic<bool> continuousClockStarted{false};
  // A project restored with the clock on before the host gave a tempo: the
  // clock starts with the first block that has one.
  std::atomic<bool> clockAwaitsHostTempo{false};
  std::atomic<int> lastTempoCode{0};
  std::atomic<bool> tempoSynced{false};
  std::atomic<bool> soundsOffPending{false};
  std::atomic<bool> notesSilenced{false};
  // The channels the editor passed a note on or a pressed pedal on: a host
  // that removes the plug-in sends no end of them itself.
  std::atomic<uint16_t> soundingChannels{0};
  std::atomic<bool> partRequestPending{false};
  std::atomic<double> storedSampleRate{0.0};
  std::array<std::atomic<int>, 16> partLights{};
  std::array<std::atomic<uint32_t>, 16> lightTimes{};
  std::array<std::atomic<int>, 16> sentBanks{};
  std::array<std::atomic<int>, 16> sentPrograms{};
  // Each half of what a part plays is known once sent or reported by the
  // instrument; only a part with both known is in a conflict.
  std::array<std::atomic<bool>, 16> partBankKnown{};
  std::array<std::atomic<bool>, 16> partProgramKnown{};
  // The pair a part's bank select is on its way to, from its first message
  // to its program change: no other part takes it meanwhile, so the bank
  // select and program change go as one unit. 128 * bank + program + 1;
  // 0: none.
  std::array<std::atomic<int>, 16> pairClaims{};
  std::atomic<int> pendingProgram{0};
  std::atomic<bool> quietSend{false};
  ITextControl* paramCCDisplay = nullptr;
  ITextControl* midiOutDelayDisplay = nullptr;
  ITextControl* buildDisplay = nullptr;
  ControlLayer* conflictLayer = nullptr;
  ControlLayer* firstRunLayer = nullptr;
  ControlLayer* midiFilterLayer = nullptr;
  // The part mixer, redrawn after every SysEx message that reached the engine.
  ControlLayer* miniMixerLayer = nullptr;
  // The millisecond tick and the pause the plug-in uses; tests put virtual
  // time in their place.
  std::function<uint32_t()> tickSource;
  std::function<void(int ms)> sleepFor;
  uint32_t tick() const;
  void pauseFor(int ms) const;
  // A pause of a pick's work: false (early) once a newer pick of its part came.
  bool pausePick(const PickTicket& ticket, int ms) const;

  // The size factor of the editor window: 0.85, 1.0 or 1.15.
  double GetUIScale() const { return mUIScale; }
  const char* GetVersionText() const { return mVersionText; }

  // What the name and value display reads and writes.
  bool displayStartupComplete() const override { return startupComplete; }
  int displayCurrentPart() const override { return currentPart; }
  bool displayBlocksDAWProgramChange() const override { return blockDAWProgramChange; }
  const IParam* displayParam(int idx) const override { return GetParam(idx); }
  const ValueLists* displayValueLists() const override;
  void showParamName(const char* text) override;
  void showParamValue(const char* text) override;

  std::atomic<bool> startupComplete{false};
  std::atomic<int> currentPart{0};
  std::atomic<bool> resetPending{false};
  std::atomic<bool> transportRunning{false};
  std::atomic<bool> blockDAWProgramChange{true};
  std::atomic<bool> midiIOConfigured{false};
  ITextControl* paramNameDisplay = nullptr;
  ITextControl* paramValueDisplay = nullptr;
  std::unique_ptr<UIConfigManager> uiConfigManager;
  ControlDisplay controlDisplay;
  // The debug log: on when the log file existed at start-up.
  std::atomic<bool> debugLogEnabled{false};
  std::string debugLogPath;
  DebuggerOutput debuggerOutput;
  // Status and data bytes of the last incoming message compareMIDIdata saw.
  std::array<int, 3> lastIncomingMessage{};

  // ---- What the protocol engine calls (TarnivexServices.cpp, EditorSysExOut.cpp).
  IParam* paramAt(int index) override;
  void setParameterFromPlug(int index, double value, bool normalized) override;
  std::string paramDisplayText(int index, int value) override;
  void setParamDisplayText(int index, int value, const std::string& text) override;
  // All of a parameter's texts at once, as IParam::SetDisplayTexts sets them.
  void setParamDisplayTexts(int index, const std::shared_ptr<const IParam::DisplayTextList>& texts);
  bool checksumCheckAndSend(unsigned char* message, int length) override;
  bool sendSysExToDevice(unsigned char* bytes, int length) override;
  bool sendRawToDevice(std::vector<unsigned char> bytes) override;
  void deliverSysEx(ISysEx* message, bool fromDevice) override;
  void logSysExOutMessageByteInt(std::vector<int> message, int count) override;
  void showStatusText(const char* text) override;
  void showProgressText(const char* text) override;
  void endProgressText(const char* text) override;
  // A count of messages not sent: it stays on the value line until a status
  // text that is not a progress text replaces it.
  void showLossText(const std::string& text);
  // A status text sets both lines, the second empty for a text of one
  // line: no line outlives the event it told of.
  void showStatus(const std::string& first, const std::string& second);
  // A success replaces both lines (a failure under it is over).
  void showSuccess(const std::string& what, const std::string& detail);
  // A bank and program change went out: a text still shown that told of a
  // pick, step or edit that sent nothing is over. No text of success follows
  // a pick, so both lines are emptied.
  void pickWentOut();
  // A file written (what: "Bank saved", "Bank imported") and the reload
  // after it: the file is named even when the folders were too busy to be
  // read again, which the second line then says after it.
  void showWritten(const std::string& what, const std::string& path);
  // After an import's reload: "Bank imported" only when the library lists
  // the file written (or the pieces it was split into); else why not. Of a
  // file listed in part, how much is listed and why no more.
  void showImported(const std::string& path);
  // The name and value displays cut a text too wide for them; the whole text
  // goes to the debug log.
  void fitStatusDisplays();
  void DisplayProcessingIndicator(bool show) override;
  void holdProcessingOverlay(bool hold) override;
  void displayPatchName(std::string text) override;
  void displayCategoryName(std::string text) override;
  void setLibrarianViewDirty() override;
  void updatePatchLibrarianView(int selector) override;
  // False, and nothing armed, when a library write was asked for and the
  // slot it would go to is none or lies past the bank (refuseLibrarySlot).
  bool SetLibrarianRequestActive(bool libraryRequest, std::optional<int> slot = std::nullopt) override;
  // True, and the status line says why, when the slot (else the library's
  // target slot) is none or lies past a bank's hundred entries: what would
  // be written there lands nowhere.
  bool refuseLibrarySlot(std::optional<int> slot = std::nullopt);
  void SetLibrarianStatusUnsaved(bool unsaved) override;
  void showReceivedToLibrary(const char* result) override;
  void debugLog(const std::string& message) override;
  // The same for a line made without allocating: in the host's real-time
  // calls it goes to the MIDI thread as it is.
  void debugLogText(std::string_view message);
  int getCurrentPart() const override { return currentPart; }
  bool isSendAllParts() const override { return sendAllParts; }
  bool isMidiIOConfigured() const override { return midiIOConfigured; }
  bool isClockPointerOn() const override { return clockPointerOn; }
  bool isClockInfoOn() const override { return clockInfoOn; }
  void clearClockInfo() override { clockInfoOn = false; }
  int getTempoValue() const override { return tempoValue; }
  int tempoListValue(int index) const override;
  int getTimerValue() const override;
  void setPartFilterLinkValue(int part, int value) override;
  void setPatchManagerName(int entry, const std::string& text) override;
  int controlParamIdx(IControl* control) override;
  void setControlFromHardware(IControl* control, double normalized) override;
  void runParamChange(int paramIdx, bool fromDevice) override;
  void requestFolderRefresh() override { folderRefreshPending = true; }
  bool deferProgramChange(int part, const IMidiMsg& msg, std::optional<PickTicket> ticket, int bank) override;
  bool deferHostController(const IMidiMsg& msg) override;
  void runOnMidiThread(std::function<void()> task) override { runOffHostThread(std::move(task)); }
  // A job's overlay or a transfer; the overlay a pick's own work shows is
  // not counted: another part's pick never waits for it.
  bool isEditorWorking() const override { return jobOverlay || editorBusy || stateRestore; }
  bool isReplyReceived() const override { return replyReceived; }
  void clearReplyReceived() override { replyReceived = false; }
  bool isDeviceIdLearning() const override { return initialisationRequested; }
  bool isOutPortGone() override { return midiIOConfigured && MidiOutGone(); }
  void enquireWhenOutPortBack() override { enquiryAwaitsOutPort = true; }
  bool isLibraryMode() const override { return libraryControl; }
  bool isProgBankMode() const override;
  bool isMultiMode() const override { return multiMode; }
  bool isDeviceEcho() const override { return deviceEcho; }
  bool isLocalControl() const override { return localControl; }
  void setLocalControl(bool on) override { localControl = on; }
  void setEditorBusy(bool busy) override { editorBusy = busy; }
  bool isSendGlobalFirst() const override { return sendGlobalFirst; }
  void setSendGlobalFirst(bool on) override { sendGlobalFirst = on; }
  void setSendAllParts(bool on) override { sendAllParts = on; }
  int partBank(int part) const override;
  int partProgram(int part) const override;
  bool holdsPartSound(int part) const override {
    return part >= 0 && part < 16 && partSoundHeld[static_cast<size_t>(part)];
  }
  bool sendsPartSound(int part) const override {
    return !stateRestore || (part >= 0 && part < 16 && restoredSound[static_cast<size_t>(part)]);
  }
  bool knowsPart(int part, bool bank) const override {
    return part >= 0 && part < 16 && (bank ? partBankKnown : partProgramKnown)[static_cast<size_t>(part)].load();
  }
  void recordPartPlays(const GatePass& pass, int bank, int program, const LibraryPick* source) override;
  void notePartSoundHeld(int part) override;
  void endPartSoundHeld(int part) override;
  void notePartProgramsOfMulti() override;
  uint32_t tickMs() const override { return tick(); }
  bool isMidiToHostBuffer() const override { return midiToHostBuffer; }
  bool isTrackIncoming() const override { return trackIncoming; }
  // The entry in that slot of the pane's open bank, picked for the part (the
  // browser's checks); none, the status line saying why, when it would not go.
  std::optional<LibraryPick> libraryPickFor(int slot, int pane, int part, int bank) override;
  // Starts job 4 with (pane, first slot, instrument bank) when MIDI is set up.
  bool storeAllPatchesToDeviceFromLibrarian(int a, int b, int c);
  // The slot view's active pane and its selected slot there.
  int librarianActivePane() const override;
  int librarianSelectedSlot() const override;
  void setLibrarianSelectedSlot(int slot) override;
  // The record changed: the window's thread makes the highlight again.
  void highlightPlayed() override { highlightStale = true; }
  std::atomic<bool> highlightStale{false};
  std::atomic<bool> partNamesStale{false};  // a part's name or category text changed since the last idle
  int librarianLowerList() const override;
  // Selects the slot in that pane of the slot view (0 upper, 1 lower), moves
  // the arrow keys' cursor there and makes it the library's slot of the pane.
  void selectLibrarianSlot(int pane, int slot);
  // The part's program, selected in the pane the user works in.
  void selectPartProgramInLibrarian(int part);
  // Entering the page selects what is played in the pane in use alone
  // (stepping the library, or the multi in multi mode), not the part's
  // program in the upper pane too.
  bool pageShowsPlayedSlotAlone() const;
  int mainTabIndex() const override;
  // Runs what the engine's workers asked of the GUI thread.
  void OnIdle() override;
  // Its share for the picks: the highlight made again from the record.
  void followPicksInWindow();
  std::atomic<bool> folderRefreshPending{false};
  // Entries came into the library since the category lists were made: the
  // next idle call builds them again, off the plug-in's lock.
  std::atomic<bool> categoriesStale{false};
  // A failure the library met before the window had its displays (a split
  // during the first load): shown at the next idle call that has them.
  std::mutex mPendingFailureMutex;
  std::optional<std::pair<std::string, std::string>> mPendingFailure;
  void showFailure(const std::string& what, const std::string& why);
  // A loss text is on the value line; a failure text on the name line.
  std::mutex mStatusMutex;
  bool mLossShown = false;
  std::atomic<bool> mFailureShown{false};
  bool mRefusalShown = false;  // under mStatusMutex
  // What the last load said of the files (its count and the files that
  // fit), held until the user acts: start-up's texts and progress texts show
  // on the first line with it on the second. Under mStatusMutex.
  std::string mLoadWord;
  std::atomic<bool> mLoadWordHeld{false};
  // Start-up's own texts, beside the load's word while it is held.
  void showStartupText(const std::string& first, const std::string& second);
  void refreshStaleCategories();
  // The status line says when the out port chosen goes and comes back (a
  // JACK server restarted), as the idle call finds it.
  void showOutPortState();
  std::atomic<bool> mOutGoneShown{false};

  // ---- Sending an edit (EditorControlActions.cpp).
  void processControlAction(ControlAction* action, int paramIdx, double value);
  // Byte 7 of the packed parameters (mono/poly with unisono, the arpeggiator
  // step bytes) from the part's current values; -1 for any other.
  int packedValueByte(int actionType, int paramIdx) const;

  // ---- Finding the control an incoming message addresses (ControlLookups.cpp),
  // in the indexes the UI configuration filled.
  IControl* getSysexControl(int k1, int k2, int k3, int k4, int k5);
  IControl* getMsbLsbControl(int k1, int k2, int k3, int k4, int k5);
  IControl* getCCControls(int k1, int k2, int k3);
  int getProgramValueByParts(int k1, int k2, int k3);
  void setProgramValueByParts(int k1, int k2, int k3, int value);

  // ---- The patch library (LibraryHookup.cpp): hooks it up and loads it;
  // copies a bank file the user picks into the library folder.
  void attachPatchLibrarian();
  // Fills the window from a library that arrived since (on the GUI thread).
  void showArrivedLibrary();
  // The status text naming the bank files the last load left out.
  void showLeftOutBanks();
  // written: the path of the file the import wrote.
  bool saveImportedFile(bool midi, std::string* written = nullptr);

  // ---- The protocol engine and what it works on.
  std::unique_ptr<PatchManager> patchManager;
  std::unique_ptr<PatchLibrarian> patchLibrarian;
  std::unique_ptr<MIDIMessageManager> midiMessageManager;
  std::unique_ptr<TabSwitchFunctions> tabSwitchFunctions;
  std::unique_ptr<LinkManager> linkManager;
  ProgramValueMap programValues;
  ITextControl* patchNameDisplay = nullptr;
  ITextControl* categoryNameDisplay = nullptr;

  // ---- Pages (EditorPages.cpp): the document's pages by name, fetched at
  // start-up, and what the tab switches read and write.
  // The page of that name, or null (logged once per name).
  ControlLayer* namedLayer(const std::string& name);
  // The effect-type sub-page of a changed effect mode, on the effects page.
  void showEffectPage(int paramIdx, int value);
  std::map<std::string, ControlLayer*> pageLayers;  // fetched by name, never owned
  std::set<std::string> missingLayersLogged;
  // The progress overlay, attached near the end of start-up, and its
  // indicator (owned by the overlay).
  ControlLayer* progressLayer = nullptr;
  IControl* progressIndicator = nullptr;
  // Shows or hides the overlay, its layer and the page's cancel control,
  // changing only what differs from what shows.
  void showProcessingOverlay(bool on, bool librarianPage);
  std::atomic<int> overlayHolds{0};  // see holdProcessingOverlay
  // Set at start-up and never cleared: every part-tab change sends the part.
  std::atomic<bool> partChangeSend{true};
  // The parts whose whole sound the editor and the instrument share: received
  // from the instrument, or sent whole and gone out. Only those go out on a
  // part switch: defaults, or a sound only one value of which reached the
  // instrument, never overwrite the instrument's sounds.
  std::array<std::atomic<bool>, 16> partSoundHeld{};
  // The parts whose sound the restored project holds: saved named, as a
  // sound the editor held whole and sure is. A restore sends the others
  // their programs alone.
  std::array<std::atomic<bool>, 16> restoredSound{};

  // ---- Editor state shared with the engine's threads.
  std::atomic<int> modelNumber{0};
  std::atomic<bool> multiMode{false};
  std::atomic<bool> deviceEcho{false};
  std::atomic<bool> linking{false};
  std::atomic<bool> replyReceived{false};
  std::atomic<bool> editorBusy{false};
  std::atomic<bool> processing{false};
  // The overlay as a job or a transfer shows it, and as the picks' own work
  // shows it (a count of the lanes showing it).
  std::atomic<bool> jobOverlay{false};
  std::atomic<uint32_t> pickOverlays{0};  // a bit a lane
  std::mutex mOverlayMutex;                // lanes and jobs show and hide it at once
  std::atomic<bool> stateRestore{false};
  std::atomic<bool> sendAllParts{false};
  std::atomic<bool> sendGlobalFirst{false};
  std::atomic<bool> localControl{true};
  std::atomic<bool> libraryControl{false};
  std::atomic<bool> clockPointerOn{false};
  std::atomic<bool> clockInfoOn{false};
  std::atomic<int> tempoValue{0};
  std::array<std::atomic<int>, 16> partFilterLinkValues{};

  // ---- Start-up (Tarnivex.cpp, EditorStartupLayers.cpp).
  // Shows or hides the named layer; a layer the document lacks is skipped.
  void showLayer(const std::string& name, bool show);
  // The first control bound to the parameter, or null.
  IControl* firstControlOf(int paramIdx) const;
  ControlAction* actionOf(int paramIdx) const;
  // Sets the parameter through its first control's user path, so the change
  // reaches the change handler; without a control the parameter is set and
  // the handler called directly.
  void setThroughUserPath(int paramIdx, double plainValue);
  // Hands a layer the editor built itself to the editor window, which keeps it.
  ControlLayer* attachLayer(std::unique_ptr<ControlLayer> layer);
  void fetchConfiguredLayers();
  void showStartValues();
  void showSettingsFileChoices();
  void hideSearchLayersAtStartup();
  void buildProgressLayer();
  void attachProgressLayer();
  void buildBankSelectionList(int listParam, const char* name, int pane);
  void attachLibrarianMenuLayers();
  // A slot view for kLibrarianArea when the document declared none.
  void ensureLibrarianView();
  std::unique_ptr<ControlLayer> pendingProgressLayer;  // until it is attached
  IControl* libraryCancelButton = nullptr;
  IControl* editorCancelSwitch = nullptr;
  std::array<ControlLayer*, 11> menuLayers{};
  IControl* randomizeControl = nullptr;
  IControl* datatypeControl = nullptr;
  IControl* patchSearchControl = nullptr;
  IControl* controlProgBankControl = nullptr;
  IControl* controlLibraryControl = nullptr;
  IControl* keepSelectedBankControl = nullptr;
  IControl* deviceOutControl = nullptr;
  IControl* deviceInControl = nullptr;
  IControl* patchRenameControl = nullptr;
  // The librarian page's search button and the control that switches the
  // lower pane between bank files and search results.
  IControl* searchButton = nullptr;
  IControl* searchModeControl = nullptr;
  ControlAction* quickTabAction = nullptr;
  ControlAction* mainTabAction = nullptr;
  ControlAction* overrideTempoAction = nullptr;
  std::array<IControl*, 16> midiChannelControls{};
  std::array<IControl*, 19> midiFilterControls{};
  std::atomic<bool> firstRunNoticeShown{false};

  // ---- Editor commands (EditorCommands.cpp). Each returns true when the
  // command ends the change handler.
  bool runEarlyCommand(int paramIdx, double value);
  bool runCommand(int paramIdx, double value);
  bool runInstrumentSideEffect(int paramIdx, double value);
  bool runProgramStep(int paramIdx, int intValue);
  // A bank or program picked for a part in the window (the multi's program
  // with multi) handed to the entry; in library mode the library's slot of
  // that number goes.
  void pickPartProgram(int part, int bank, int program, bool multi);
  // A pick of the window's, for its part or (multi) the multi, handed to the
  // entry; in library mode the library's slot of its program.
  void handWindowPick(Pick pick, bool multi);
  bool runLibrarianViewCommand(int paramIdx, double value);
  void runSearch();
  void endSearch();
  // Starts a job on the request thread unless it is busy; false when dropped.
  bool startRequestJob(SenderJob job, const std::function<void()>& onStart = {});
  bool startPartDump(int part, bool first, bool second);
  bool startArrangementDump();
  // SEND MULTI with every part; false when the send did not start.
  bool startMultiPush();
  // A send of the editor's own state: it runs now or after the jobs ahead
  // of it, never dropped; onStart runs as it starts (capture by value).
  bool queueStateSend(const SenderJob& job, std::function<void()> onStart = {}, int pauseAfterMs = 0);
  // The part's sound as the editor holds it (job 2, both options off), queued.
  bool queuePartDump(int part);
  std::atomic<bool> keepSelectedBank{false};
  std::atomic<bool> randomised{false};
  std::atomic<int> currentProgram{0};
  std::atomic<int> deviceId{0};
  std::array<std::atomic<int>, 16> filterLinkModes{};
  // Part-name messages for the name display ("Part N text"); kept until the next call.
  const char* getPanelString(int part, std::string text);
  static std::string getValueString(double value);

  // ---- Sends (LibrarianTransfers.cpp).
  void sendPatchToDevice(int part, bool busy, bool quiet, bool withGlobal, bool thenMulti);
  // The sound the editor holds for the part, sent back only while the part
  // still plays it when its turn comes.
  void sendHeldPartSound(int part);
  void sendPartDataBackToHardware(int part);
  bool ThreadRunning() const;

  // ---- The librarian browser (LibrarianHookup.cpp): the slot view, its
  // menus and the bank lists, which the plug-in hosts through browserHost.
  class BrowserHost;
  BrowseState browse;
  std::unique_ptr<BrowserHost> browserHost;
  std::unique_ptr<LibrarianBrowser> librarianBrowser;
  void createLibrarianBrowser();
  LibrarianViewControl* librarianView() const;
  void OpenDataDirectory();
  void refreshFolders();
  // What kDiscardBankData does, as if its button was pressed.
  void discardBankEdit();
  // The page after a save: as after a discard, with the library read again.
  void bankSaved();
  // The library read again after a save; the upper pane on the bank saved,
  // by its file, and the status line naming that file.
  void showSavedBank();
  // Leaves the unsaved state: DISCARD hidden, KEEP BANK, the upper menu and
  // SHOW back.
  void endBankEdit();

  // ---- Status displays and the librarian menus (StatusDisplays.cpp).
  void displayText(std::string name, std::string value, std::string cc);
  void displayBuild(std::string text);
  void updateBankAndProgramMenuNames(bool keepBankMenu, bool namesNow = true);
  void flashProcessingIndicator();
  void showEditorSizeAndScheme();

 private:
  void queuePartSend(const SenderJob& job, bool busy, bool quiet, bool withGlobal, bool thenMulti);
  // The toggle buttons of the change handler (ParamChangeDispatch.cpp).
  bool runToggle(int paramIdx, int intValue);
  // The MIDI-port, filter, routing, clock and settings commands; true when
  // the command ends the change handler.
  bool runMidiSettingsCommand(int paramIdx, double value);
  void selectMidiPort(bool output, int index);
  // Lights part p's activity light unless it is on already.
  void lightPart(int part) override;
  void sendTempo(int code);
  void drainQueue(int frames, int nFrames);
  // How late the MIDI put into the host's buffer leaves, in frames.
  int hostBufferFrames() const { return hostBufferOffset >= 0 ? hostBufferOffset.load() : 1; }
  void showMidiOutDelay();
  // The all-sounds-off due after a reset while the transport stands, once;
  // true when it went.
  bool silenceAfterResetIfDue();
  // The echo rule: may an action's message leave now?
  bool actionMaySend() const;
  void sendActionSysEx(std::vector<int> message, int paramIdx, int packed);
  void showCCText(const char* text);
  // The unsaved state of the upper bank after data came into its slots,
  // with the result of the request that brought it ("" for a paste, a drop
  // or a rename) under "Data received to slot(s)".
  void markLibraryUnsaved(const std::string& result);
  // The page's marks of an unsaved upper bank, with no status text.
  void showBankEditUnsaved();
  // The last reload the window asked for found a folder busy: the library
  // stayed as it was, and the status line says so.
  bool folderWasBusy() const;
  void applyLayerSelection(ControlAction* action, int intValue);
  // Guards the display-text tables the engine's threads rewrite.
  std::mutex mDisplayTextMutex;

  double mUIScale = 1.0;
  std::string mImportFolder;  // where the import prompt starts
  char mVersionText[16] = {};
  std::string mPanelString;  // what getPanelString returned last
};
