// The editor as the protocol engine sees it, with the whole parameter list,
// ranges the dump layout can carry, and a record of everything the engine
// asked of it. Thread-safe: jobs call it from their workers.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EditorServices.h"
#include "IParam.h"

class MIDIMessageManager;

class FakeEditor : public EditorServices {
 public:
  FakeEditor();
  ~FakeEditor() override;

  IParam* paramAt(int index) override;
  void setParameterFromPlug(int index, double value, bool normalized) override;
  std::string paramDisplayText(int index, int value) override;
  void setParamDisplayText(int index, int value, const std::string& text) override;
  void checksumCheckAndSend(unsigned char* message, int length) override;
  bool sendSysExToDevice(unsigned char* bytes, int length) override;
  bool sendRawToDevice(std::vector<unsigned char> bytes) override;
  void deliverSysEx(ISysEx* message, bool fromDevice) override;
  void logSysExOutMessageByteInt(std::vector<int>, int) override {}
  void showStatusText(const char* text) override;
  void DisplayProcessingIndicator(bool show) override;
  void displayPatchName(std::string text) override;
  void displayCategoryName(std::string text) override;
  void setLibrarianViewDirty() override {}
  void updatePatchLibrarianView(int) override {}
  void SetLibrarianRequestActive(bool libraryRequest) override;
  void SetLibrarianStatusUnsaved(bool unsaved) override;
  void debugLog(const std::string& message) override;
  int getCurrentPart() const override { return currentPart; }
  bool isSendAllParts() const override { return sendAllParts; }
  bool isMidiIOConfigured() const override { return midiConfigured; }
  bool isClockPointerOn() const override { return clockPointer; }
  bool isClockInfoOn() const override { return clockInfo; }
  void clearClockInfo() override { clockInfo = false; }
  int getTempoValue() const override { return hostTempo; }
  int tempoListValue(int index) const override { return index >= 0 ? listTempo.load() : 0; }
  int getTimerValue() const override { return 50; }
  void setPartFilterLinkValue(int part, int value) override;
  void setPatchManagerName(int entry, const std::string& text) override;

  // ---- Set-up.
  void setValue(int index, double value);
  double value(int index);
  // Where deliverSysEx sends messages (the editor's entry hands them on).
  MIDIMessageManager* manager = nullptr;
  // Receives every message that leaves, framed as on the wire.
  std::function<void(const std::vector<unsigned char>&)> toDevice;

  // ---- Records.
  std::vector<std::vector<unsigned char>> sentSysEx() const;
  std::vector<std::vector<unsigned char>> sentRaw() const;
  std::vector<std::string> statusTexts() const;
  std::vector<std::string> logLines() const;
  std::vector<std::string> patchNames() const;  // the 35 entries
  std::string shownPatchName() const;
  std::string shownCategoryName() const;
  int filterLinkValue(int part) const;
  int indicatorOn() const { return indicatorShows; }
  int indicatorOff() const { return indicatorHides; }
  // Parameters set through setParameterFromPlug, in order.
  std::vector<std::pair<int, double>> plugSets() const;
  void clearRecords();

  std::atomic<int> currentPart{0};
  std::atomic<bool> sendAllParts{false};
  std::atomic<bool> midiConfigured{true};
  std::atomic<bool> clockPointer{false};
  std::atomic<bool> clockInfo{false};
  std::atomic<int> hostTempo{0};
  std::atomic<int> listTempo{120};
  std::atomic<bool> multiMode{false};

 private:
  mutable std::mutex mMutex;
  std::vector<std::unique_ptr<IParam>> mParams;
  std::vector<std::vector<unsigned char>> mSentSysEx;
  std::vector<std::vector<unsigned char>> mSentRaw;
  std::vector<std::string> mStatus;
  std::vector<std::string> mLog;
  std::vector<std::string> mPatchNames;
  std::string mShownName;
  std::string mShownCategory;
  std::vector<int> mFilterLink;
  std::vector<std::pair<int, double>> mPlugSets;
  std::atomic<int> indicatorShows{0};
  std::atomic<int> indicatorHides{0};
};
