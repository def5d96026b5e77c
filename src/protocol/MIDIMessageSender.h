// The job object a worker thread runs: run() performs the one job its record
// names. Each worker thread has its own sender and record.
#pragma once

#include <Poco/Runnable.h>

#include <atomic>

#include "SenderJob.h"

class EditorServices;
class MIDIMessageManager;
class PatchManager;

class MIDIMessageSender : public Poco::Runnable {
 public:
  MIDIMessageSender(MIDIMessageManager& manager, EditorServices* plug, PatchManager* patchManager);
  ~MIDIMessageSender() override = default;

  void run() override;

  // ---- Jobs, by code.
  void sendArrangementToDevice(bool firstSend, bool secondSend);  // 0
  void sendGlobalToDevice(int argument);                          // 1
  void sendPartToDevice(int part, bool toLibrarian, bool unused); // 2
  void sendPatchToDeviceFromLibrarian(const LibrarianPatch& patch, int part, int slot);  // 3
  void storeAllPatchesToDeviceFromLibrarian(int pane, int first, int bank);            // 4
  void sendActiveArrangementRequestSysex(bool requestFlag);       // 5
  void sendPartRequestSysex(int part, bool requestFlag);          // 6
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

  SenderJob job;  // written by a starter only while this sender is idle
  std::atomic<bool> ended{false};
  std::atomic<bool> cancelRequested{false};
  PatchManager* patchManager;
  EditorServices* plug;

 private:
  friend class MIDIMessageManager;
  int readClockTempo() const;

  MIDIMessageManager& mManager;
  // From the start of a job until its operation has returned.
  std::atomic<bool> mRunning{false};
};
