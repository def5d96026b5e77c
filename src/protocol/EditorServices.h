// What the protocol engine needs of the editor: the plug-in implements it,
// tests put a fake in its place. Every operation may be called from a worker
// thread or the MIDI input thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "PickTicket.h"

class IControl;
class IParam;
struct IMidiMsg;
struct ISysEx;

class EditorServices {
 public:
  virtual ~EditorServices() = default;

  // ---- Parameters.
  virtual IParam* paramAt(int index) = 0;
  // Shows a value on the parameter's controls without running the
  // parameter-change handlers or sending anything; a plain value is first
  // stored into the parameter, clamped and quantised.
  virtual void setParameterFromPlug(int index, double value, bool normalized) = 0;
  // A parameter's display text for a value, and its replacement; the editor
  // guards the text table, which the GUI reads at the same time.
  virtual std::string paramDisplayText(int index, int value) = 0;
  virtual void setParamDisplayText(int index, int value, const std::string& text) = 0;

  // ---- The way out to the instrument.
  // Complete messages from F0 to F7; a long one gets its checksum first.
  // False when the message did not go out (no port, refused).
  virtual bool checksumCheckAndSend(unsigned char* message, int length) = 0;
  // Adds F0 and F7 when the first byte is not F0.
  virtual bool sendSysExToDevice(unsigned char* bytes, int length) = 0;
  // Sends the bytes as they are (clock bytes, bank writes).
  virtual bool sendRawToDevice(std::vector<unsigned char> bytes) = 0;
  // The editor's own SysEx entry, as if the message had come in.
  virtual void deliverSysEx(ISysEx* message, bool fromDevice) = 0;
  virtual void logSysExOutMessageByteInt(std::vector<int> message, int count) = 0;

  // ---- What the user sees.
  virtual void showStatusText(const char* text) = 0;
  // A text of work under way (a percentage, "please wait", the start-up's
  // ready text): it does not replace a loss the user has not seen yet.
  virtual void showProgressText(const char* text) { showStatusText(text); }
  // Work that showed that progress text ended with no result of its own to
  // show: the text goes, unless another has replaced it.
  virtual void endProgressText(const char*) {}
  virtual void DisplayProcessingIndicator(bool show) = 0;
  // While held, hiding the indicator clears what it clears but leaves the
  // overlay shown: for a job that hides and shows it again part after part.
  virtual void holdProcessingOverlay(bool) {}
  virtual void displayPatchName(std::string text) = 0;
  virtual void displayCategoryName(std::string text) = 0;
  virtual void setLibrarianViewDirty() = 0;
  virtual void updatePatchLibrarianView(int selector) = 0;
  // Arming for the library (true) is refused, false returned and nothing
  // armed, when there is no target slot or it lies past the bank; the
  // status line says so. What the record completes goes into the slot given
  // (a request's own, fixed as it started), else the one selected now.
  virtual bool SetLibrarianRequestActive(bool libraryRequest, std::optional<int> slot = std::nullopt) = 0;
  virtual void SetLibrarianStatusUnsaved(bool unsaved) = 0;
  // A request whose data went into the library ended: the unsaved state,
  // and its result as the status text's second line.
  virtual void showReceivedToLibrary(const char* result) {
    showStatusText(result);
    SetLibrarianStatusUnsaved(true);
  }
  // One line of the debug log; nothing while the log is off.
  virtual void debugLog(const std::string& message) = 0;

  // ---- Editor state the jobs read and write.
  virtual int getCurrentPart() const = 0;
  virtual bool isSendAllParts() const = 0;
  virtual bool isMidiIOConfigured() const = 0;
  virtual bool isClockPointerOn() const = 0;
  virtual bool isClockInfoOn() const = 0;
  virtual void clearClockInfo() = 0;
  virtual int getTempoValue() const = 0;
  // The leading integer of the "tempoValues" entry at index, 0 when absent.
  virtual int tempoListValue(int index) const = 0;
  virtual int getTimerValue() const = 0;
  virtual void setPartFilterLinkValue(int part, int value) = 0;
  // Entry of the patch manager's name list (0 multi, 1+p sound, 19+p category).
  virtual void setPatchManagerName(int entry, const std::string& text) = 0;

  // ---- The road back from the instrument and the host. The defaults are
  // those of an editor with no controls, no library view and no ports, so a
  // stand-in needs to give only what it is asked about.
  // The control an incoming SysEx key or controller addresses, or null; the
  // engine treats it as a handle only.
  virtual IControl* getSysexControl(int, int, int, int, int) { return nullptr; }
  virtual IControl* getCCControls(int, int, int) { return nullptr; }
  virtual int controlParamIdx(IControl*) { return -1; }
  // Sets the control from the instrument: when its value changes, the
  // editor's parameter-change handling runs (and consults the echo guard).
  virtual void setControlFromHardware(IControl*, double) {}
  // The editor's parameter-change handlers (second: values from the device).
  virtual void runParamChange(int, bool) {}
  // A program change from the host, taken off the host's real-time thread
  // in the order it came, with its pick, made as it came in, and the bank
  // select it took along (-1: none).
  virtual bool deferProgramChange(int, const IMidiMsg&, std::optional<PickTicket>, int) { return false; }
  // A controller from the host, which moves the editor's control: taken off
  // the host's real-time thread, which never waits for the editor.
  virtual bool deferHostController(const IMidiMsg&) { return false; }
  // Runs the task on the instance's MIDI thread (now, without one).
  virtual void runOnMidiThread(std::function<void()> task) {
    if (task) task();
  }
  // The overlay of a job or a transfer is up (not a pick's own work): the
  // instrument is taken.
  virtual bool isEditorWorking() const { return false; }
  // A library reload asked for by a worker; the editor runs it on its own
  // thread, never under the worker.
  virtual void requestFolderRefresh() {}
  virtual bool isReplyReceived() const { return false; }
  virtual void clearReplyReceived() {}
  virtual bool isDeviceIdLearning() const { return false; }
  // True while the out port chosen is not there (its MIDI system went away).
  virtual bool isOutPortGone() { return false; }
  // The device enquiry met the out port gone: it runs again, from its
  // start, once the port is back.
  virtual void enquireWhenOutPortBack() {}
  virtual int mainTabIndex() const { return 0; }
  virtual bool isLibraryMode() const { return false; }
  virtual bool isProgBankMode() const { return false; }
  virtual bool isMultiMode() const { return false; }
  virtual bool isDeviceEcho() const { return false; }
  virtual bool isLocalControl() const { return true; }
  virtual void setLocalControl(bool) {}
  virtual void setEditorBusy(bool) {}
  virtual bool isSendGlobalFirst() const { return false; }
  virtual void setSendGlobalFirst(bool) {}
  virtual void setSendAllParts(bool) {}
  // What each part plays, as the record holds it: the bank and program
  // last sent to it or that the instrument said it plays.
  virtual int partBank(int) const { return 0; }
  virtual int partProgram(int) const { return 0; }
  // Whether that half (bank or program) of what the part plays is known.
  virtual bool knowsPart(int, bool) const { return false; }
  // The record, written only as the gate lets a pick's program change go (or
  // the instrument says it plays it): the part (or the multi) plays the bank
  // and program (-1: its own), from the library entry when source is given.
  // Shown on the top bar and the MULTI page.
  virtual void recordPartPlays(const GatePass&, int, int, const LibraryPick*) {}
  // The editor's sound of the part went out whole: a part switch sends it
  // again. A sound read back from the instrument is never held so.
  virtual void notePartSoundHeld(int) {}
  // The instrument's sound of the part is no longer the editor's copy.
  virtual void endPartSoundHeld(int) {}
  // The editor's copy is the sound the part plays.
  virtual bool holdsPartSound(int) const { return false; }
  // A send of every part's sound sends this one: not where a restore finds
  // the project did not hold it (its program goes alone).
  virtual bool sendsPartSound(int) const { return true; }
  // A multi went out or came in: every part plays the bank and program it names.
  virtual void notePartProgramsOfMulti() {}
  // True when another part plays the bank and program picked for the part:
  // the conflict window shows and the pick changes nothing.
  virtual bool refusePartPick(int, int, int) { return false; }
  // The same, read only (no window shown): from any thread, the host's
  // real-time one included.
  virtual bool pairPlayedElsewhere(int, int, int) const { return false; }
  // True while the out port is open with nothing connected to it; never
  // waits (the last answer while a sender holds the port).
  virtual bool isOutUnplugged() { return false; }
  // The status line says why a pick did not go (off the real-time thread).
  virtual void sayPickRefused(PickRefusal) {}
  // True, logged and said on the status line, when the part's program
  // change (the multi's with multi true) has no channel to go out on.
  virtual bool refuseNoProgramChannel(int, bool) { return false; }
  // The librarian view: the pane in use (0 upper, 1 lower) and its slots.
  virtual int librarianActivePane() const { return 0; }
  virtual int librarianSelectedSlot() const { return -1; }
  virtual void setLibrarianSelectedSlot(int) {}
  // The library's highlight is made again from what the parts play, on the
  // window's thread (its one writer).
  virtual void highlightPlayed() {}
  // The bank list the lower pane shows when it is not the data type's own
  // (category or search results); -1 otherwise.
  virtual int librarianLowerList() const { return -1; }
  // The library entry in that slot of the pane's bank, for a pick of the
  // part on a bank (-1: its shown one); none (the status line says why)
  // when nothing of it would go.
  virtual std::optional<LibraryPick> libraryPickFor(int, int, int, int) { return std::nullopt; }
  virtual void AllSoundsOff(int, bool) {}
  // The bank select and program change of a pick (the multi's for its
  // ticket), with their pauses, each message through the gate; the part
  // plays the pair once its program change went (from source, a library
  // entry, when given).
  virtual PickSend BankChangeMessage(const PickTicket&, int, int, const LibraryPick*) { return PickSend::kRefused; }
  virtual void MIDIOutRoutingSwitch(IMidiMsg*) {}
  // True while the editor's MIDI output goes into the host's buffer.
  virtual bool isMidiToHostBuffer() const { return false; }
  // A short message on the direct output, with its trace line.
  virtual void sendMidiMsgAndLog(IMidiMsg*) {}
  // Lights part p's activity light unless it is on (with the GUI attached).
  virtual void lightPart(int) {}
  // True while the activity lights follow incoming messages.
  virtual bool isTrackIncoming() const { return false; }
  virtual uint32_t tickMs() const { return 0; }
};
