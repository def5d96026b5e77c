// The job object a worker thread runs: run() performs the one job its record
// names. Each worker thread has its own sender and record.
#pragma once

#include <Poco/Runnable.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "PartPicks.h"
#include "SenderJob.h"

class LibraryRequest;

class EditorServices;
class MIDIMessageManager;
class PatchManager;

class MIDIMessageSender : public Poco::Runnable {
 public:
  MIDIMessageSender(MIDIMessageManager& manager, EditorServices* plug, PatchManager* patchManager);
  ~MIDIMessageSender() override = default;

  // The job, then those queued behind it.
  void run() override;

  // ---- Jobs, by code.
  // A state's send goes out under the picks it made of every part.
  void sendArrangementToDevice(const StateTicket& state, bool firstSend, bool secondSend);  // 0
  void sendGlobalToDevice(int argument);                          // 1
  // Kept for the multi's settings pages; they have nothing to decode.
  void decryptMultiSettings1Values(int) {}
  void decryptMultiSettings2Values(int) {}
  // False when the dump did not go (overtaken, no port).
  bool sendPartToDevice(const PickTicket& ticket, int part, bool toLibrarian, bool whileHeld);  // 2
  // A library entry to the part (state: the multi's pick of every part, in
  // multi mode), on the bank the pick carried (-1: the part's own);
  // instrumentPlays: the instrument already plays the entry's program, which
  // is not sent back. True when the entry went out.
  bool sendPatchToDeviceFromLibrarian(const PickTicket& ticket, const StateTicket* state, const LibraryPick& pick,
                                      int part, bool instrumentPlays, int bank = -1);  // 3
  void storeAllPatchesToDeviceFromLibrarian(int pane, int first, int bank);            // 4
  void sendActiveArrangementRequestSysex(bool requestFlag);       // 5
  void sendPartRequestSysex(const PickTicket& ticket, int part, bool requestFlag);  // 6
  void sendSingleMultiRequestSysex();                             // 7
  void sendAllMultiRequestSysex();                                // 8
  void sendSinglePatchRequestSysex(bool editBuffer, int bank);    // 9
  void sendAllPatchRequestSysex(int bank);                        // 10
  void initPerformance(bool flag);                                // 11
  void initClassicPatch(bool flag, int part);                     // 12
  void sendDeviceIdEnquiry();                                     // 13
  void startMIDIClockOutput();                                    // 15
  void sendContinuousMIDIClock(int argument);                     // 16
  void stopMIDIClockOutput();                                     // 17
  // True stops the continuous clock loop, false lets it run.
  void resetContinuousClock(bool stop);

  // ---- A pick's work, on its lane.
  // The calling thread is a job's (a lane's): the window's selections it
  // makes are handed to the window's thread.
  static void markJobThread();
  void runPick(const PickTicket& ticket, const Pick& pick);
  void runStatePick(const StateTicket& ticket, const Pick& pick);
  // The part's sound asked for under the pick: true when its reply came and
  // was taken.
  bool requestPartSound(const PickTicket& ticket, int part, bool toEditor);
  void releaseDumpExpected();

  SenderJob job;  // written by a starter only while this sender is idle, else by its own worker
  std::atomic<bool> ended{false};
  std::atomic<bool> cancelRequested{false};
  // Set when a dump of the running or last project send (global, multi,
  // parts) found no port to take it (the port gone or full, the instrument
  // unplugged): the send stops there, for good.
  std::atomic<bool> arrangementCutOff{false};
  PatchManager* patchManager;
  EditorServices* plug;

 private:
  friend class MIDIMessageManager;
  int readClockTempo() const;
  // A dump of the project send to the device; false, marking the send cut
  // off, when no port took it.
  bool sendArrangementDump(uint8_t* dump, int size);
  void performJob();

  // ---- Requests and their reply wait.
  static constexpr const char* kRequestCancelled = "Data request CANCELLED!";
  int currentDeviceId() const;
  // 3E 10 dd command [bank] [number]; a negative bank or number is left out.
  std::vector<uint8_t> requestBody(uint8_t command, int bank, int number) const;
  // Directly (the output frames it) or through the checksum path.
  void sendRequest(std::vector<uint8_t> body, bool viaChecksum);
  // Tries every device ID once per tick until a reply comes (answered; the
  // reply flag without one); false when the manager is going away.
  // sent is told of each request the search sends.
  bool searchDeviceId(std::vector<uint8_t> body, int tick, bool viaChecksum,
                      const std::function<bool()>& answered = {}, const std::function<void()>& sent = {});
  // Polls the reply flag once per tick; searches (or runs atSearchTick) at
  // searchTick and times out at the 30th tick.
  void awaitReply(const std::vector<uint8_t>& body, int tick, int searchTick, bool viaChecksum,
                  const std::function<void()>& atSearchTick = {});
  // A job's start: its own cancel and outcome, the overlay up.
  void beginRequest();
  // A request inside a running job: a CANCEL already pressed for the job holds.
  void beginRequestStep();
  // Waits for the reply a request of the part registered for, once per
  // tick; searches the device ID at searchTick only when nothing at all was
  // heard from the instrument since the request went, and never for a
  // request a newer pick overtook (its reply, when it comes, ends it). Asks
  // again on an ID another part's search found, and once more where a dump
  // that may have been its answer was nobody's. Sets ended unless answered.
  void awaitPartReply(const PickTicket& ticket, const std::shared_ptr<PartPicks::ReplyWait>& wait,
                      std::vector<uint8_t> body, int tick, int searchTick, bool viaChecksum);
  // The part's search, one at a time: another part's is waited for, and
  // none is run once that one found the ID. False when overtaken or cancelled.
  bool searchForPart(const PickTicket& ticket, const std::shared_ptr<PartPicks::ReplyWait>& wait,
                     const std::vector<uint8_t>& body, uint64_t heard, int tick, bool viaChecksum);
  // The part's request through the gate, due from then on; false when overtaken.
  bool sendPartRequest(const PickTicket& ticket, const std::shared_ptr<PartPicks::ReplyWait>& wait,
                       const std::vector<uint8_t>& body, bool viaChecksum);
  void endSingleRequest(bool forLibrarian);
  void abandonLibraryRequest(bool reload);
  void requestBank(uint8_t command, int bank, const char* cancelled, const char* completed);
  // The multi's 25 ms polls; a time-out or CANCEL sets ended.
  void pollMulti(bool forLibrarian);
  // Arms the library's record for the answer to the request (its address
  // alone), into the slot the request writes; false when the library
  // refuses the slot.
  bool armLibraryReply(const std::vector<uint8_t>& body, int slot);
  // The record this request armed took its answer into the library; the
  // other record's entry is another request's.
  bool libraryReplyTaken() const;
  int selectedLibrarySlot() const;
  void setSelectedLibrarySlot(int slot);
  // After a bank went either way the highlight leaves the slots it walked.
  void endBankHighlight();

  // ---- Library transfers and init data.
  void sendAllNotesOffOnChannel1();
  template <size_t N>
  void handInitData(std::array<unsigned char, N> dump, bool flag);

  // A pick's work on a lane, as the job it does first (a library send, a
  // request, a dump): told to the manager's observer once per pick.
  void observeLaneJob(int code, int part, int slot = 0, const LibrarianPatch* patch = nullptr);
  bool mLaneJobObserved = false;
  // The record the request in progress armed, and its arming; none yet.
  LibraryRequest* mLibraryRecord = nullptr;
  uint32_t mLibraryArming = 0;

  MIDIMessageManager& mManager;
  // From the start of a job until its operation has returned.
  std::atomic<bool> mRunning{false};
};
