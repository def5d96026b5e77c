// Jobs 5 to 10 and 13: requests for dumps, the reply wait that polls once
// per tick, and the device-ID search that runs inside it when the
// instrument stays silent.
#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EditorServices.h"
#include "IParam.h"
#include "MIDIMessageManager.h"
#include "MIDIMessageSender.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "SysExFormat.h"

namespace {
constexpr int kSearchTick = 25;
constexpr int kArrangementSearchTick = 20;
constexpr int kTimeOutTick = 30;
constexpr int kDeviceIds = 128;
constexpr int kBankPrograms = 100;
constexpr int kMultiPolls = 100;
constexpr int kMultiPollMs = 25;
constexpr int kPartPollMs = 20;
constexpr uint8_t kSoundRequest = 0x00;
constexpr uint8_t kMultiRequest = 0x01;
constexpr uint8_t kGlobalRequest = 0x04;
constexpr uint8_t kMultiEditBuffer = 0x20;

constexpr const char* kTimedOut = "CONNECTION TIMED OUT!";
constexpr const char* kPleaseWait = "Data processing, please wait...";
constexpr const char* kCompleted = "Data request Completed!";
}  // namespace

int MIDIMessageSender::currentDeviceId() const {
  IParam* id = plug->paramAt(kGlobalSysExID);
  return std::clamp(id ? id->Int() : 0, 0, 0x7F);
}

std::vector<uint8_t> MIDIMessageSender::requestBody(uint8_t command, int bank, int number) const {
  std::vector<uint8_t> body = {kZorozovID, kDirirUModel, static_cast<uint8_t>(currentDeviceId()), command};
  if (bank >= 0) body.push_back(static_cast<uint8_t>(bank & 0x7F));
  if (number >= 0) body.push_back(static_cast<uint8_t>(number & 0x7F));
  return body;
}

void MIDIMessageSender::sendRequest(std::vector<uint8_t> body, bool viaChecksum) {
  if (!viaChecksum) {
    plug->sendSysExToDevice(body.data(), static_cast<int>(body.size()));
    return;
  }
  body.insert(body.begin(), kSysExStart);
  body.push_back(kSysExEnd);
  plug->checksumCheckAndSend(body.data(), static_cast<int>(body.size()));
}

bool MIDIMessageSender::searchDeviceId(std::vector<uint8_t> body, int tick, bool viaChecksum,
                                       const std::function<bool()>& answered, const std::function<void()>& sent) {
  for (int id = 0; id < kDeviceIds; ++id) {
    // Requests into a port that is gone would pass over the instrument's ID unheard.
    if (plug->isOutPortGone()) return false;
    body[2] = static_cast<uint8_t>(id);
    if (sent) sent();
    sendRequest(body, viaChecksum);
    if (viaChecksum) plug->showProgressText(("Please wait, checking DeviceID " + std::to_string(id + 1)).c_str());
    if (!mManager.pauseUnlessCancelled(*this, tick) && mManager.isShuttingDown()) return false;
    if (cancelRequested) {
      if (!viaChecksum) ended = true;
      return true;
    }
    if (answered ? answered() : plug->isReplyReceived()) return true;
  }
  return true;
}

void MIDIMessageSender::awaitReply(const std::vector<uint8_t>& body, int tick, int searchTick, bool viaChecksum,
                                   const std::function<void()>& atSearchTick) {
  for (int t = 0;;) {
    // CANCEL ends the tick at once.
    if (!mManager.pauseUnlessCancelled(*this, tick)) {
      ended = true;
      return;
    }
    if (cancelRequested) {
      ended = true;
      return;
    }
    ++t;
    if (t == searchTick) {
      if (atSearchTick) atSearchTick();
      else if (!searchDeviceId(body, tick, viaChecksum, [this] { return libraryReplyTaken(); })) {
        ended = true;
        return;
      }
    }
    if (t == kTimeOutTick) {
      plug->showStatusText(kTimedOut);
      ended = true;
      return;
    }
    if (libraryReplyTaken()) return;
  }
}

bool MIDIMessageSender::libraryReplyTaken() const {
  // Only what its own record took is received: a part's reply parsed
  // meanwhile is not, nor what the other record took for an earlier request.
  return mLibraryRecord && mLibraryRecord->arms == mLibraryArming && mLibraryRecord->taken;
}

bool MIDIMessageSender::armLibraryReply(const std::vector<uint8_t>& body, int slot) {
  // The record takes the answer to this request alone: the dump of the
  // address the request names.
  // With no slot selected the body has no program byte: the library refuses
  // the slot as it arms.
  const auto byte = [&](size_t at) { return at < body.size() ? static_cast<int>(body[at]) : -1; };
  const LibraryRequest::Address address{byte(4), byte(5)};
  mManager.patchRequest.expectNext(address);
  mManager.performanceRequest.expectNext(address);
  const uint32_t sounds = mManager.patchRequest.arms, multis = mManager.performanceRequest.arms;
  const bool armed = plug->SetLibrarianRequestActive(true, slot);
  // The mode decides which record arms: the one whose arming moved.
  mLibraryRecord = !armed ? nullptr
                   : mManager.patchRequest.arms != sounds ? static_cast<LibraryRequest*>(&mManager.patchRequest)
                   : mManager.performanceRequest.arms != multis ? static_cast<LibraryRequest*>(&mManager.performanceRequest)
                                                                : nullptr;
  mLibraryArming = mLibraryRecord ? mLibraryRecord->arms.load() : 0;
  // The record left unarmed keeps no address for a later hand-over.
  mManager.patchRequest.expectNext(std::nullopt);
  mManager.performanceRequest.expectNext(std::nullopt);
  return armed;
}

void MIDIMessageSender::endSingleRequest(bool forLibrarian) {
  if (cancelRequested) {
    plug->showStatusText(kRequestCancelled);
    if (forLibrarian) abandonLibraryRequest(true);
  } else if (!ended) {
    if (forLibrarian) plug->showReceivedToLibrary(kCompleted);
    else plug->showStatusText(kCompleted);
  } else if (forLibrarian) {
    abandonLibraryRequest(false);
  }
  plug->DisplayProcessingIndicator(false);
}

void MIDIMessageSender::abandonLibraryRequest(bool reload) {
  // A record left armed would swallow every later message into the slot.
  mManager.patchRequest.disarm();
  mManager.performanceRequest.disarm();
  if (reload) plug->requestFolderRefresh();
}

void MIDIMessageSender::beginRequest() {
  cancelRequested = false;
  beginRequestStep();
}

void MIDIMessageSender::beginRequestStep() {
  plug->DisplayProcessingIndicator(true);
  // What comes back is written into the library: into the banks the folder
  // holds, not the empty library of the first moments after create.
  if (mManager.patchLibrarian) mManager.patchLibrarian->waitUntilLoaded();
  ended = false;
}

int MIDIMessageSender::selectedLibrarySlot() const {
  return mManager.patchLibrarian ? mManager.patchLibrarian->targetSlot.load() : -1;
}

void MIDIMessageSender::setSelectedLibrarySlot(int slot) {
  if (mManager.patchLibrarian) mManager.patchLibrarian->targetSlot = slot;
  // The slot view lights the slot the next reply lands in.
  plug->setLibrarianSelectedSlot(slot);
}

void MIDIMessageSender::endBankHighlight() {
  // Stepping the library, it goes back to where the next step counts from.
  if (plug->isLibraryMode()) return plug->highlightPlayed();
  setSelectedLibrarySlot(0);
}

void MIDIMessageSender::sendPartRequestSysex(const PickTicket& ticket, int part, bool toEditor) {
  cancelRequested = false;
  requestPartSound(ticket, part, toEditor);
}

bool MIDIMessageSender::sendPartRequest(const PickTicket& ticket, const std::shared_ptr<PartPicks::ReplyWait>& wait,
                                        const std::vector<uint8_t>& body, bool viaChecksum) {
  return mManager.picks.letGo(ticket, [&](const GatePass&) {
    // Due from the moment it leaves, in the order it leaves.
    mManager.picks.replySent(wait, plug->tickMs(), kTimeOutTick * plug->getTimerValue());
    sendRequest(body, viaChecksum);
    return true;
  });
}

bool MIDIMessageSender::searchForPart(const PickTicket& ticket, const std::shared_ptr<PartPicks::ReplyWait>& wait,
                                      const std::vector<uint8_t>& body, uint64_t heard, int tick, bool viaChecksum) {
  std::unique_lock<std::mutex> searching(mManager.searchMutex, std::defer_lock);
  // Another part's search may find the ID this request needs: waited for.
  while (!searching.try_lock()) {
    if (!mManager.pickPause(ticket, tick) || cancelRequested) return false;
    if (wait->answered) return true;
  }
  // Found, or the instrument heard meanwhile: no search of its own.
  if (body[2] != currentDeviceId() || mManager.picks.heard() != heard) return true;
  // Each of its requests may be the one answered; anything heard ends it.
  return searchDeviceId(
             body, tick, viaChecksum,
             [&] { return mManager.picks.heard() != heard || !mManager.picks.newest(ticket); },
             [&] { mManager.picks.replySent(wait, plug->tickMs(), kTimeOutTick * tick, true); }) &&
         !cancelRequested && !ended;
}

void MIDIMessageSender::awaitPartReply(const PickTicket& ticket, const std::shared_ptr<PartPicks::ReplyWait>& wait,
                                       std::vector<uint8_t> body, int tick, int searchTick, bool viaChecksum) {
  const uint64_t heard = mManager.picks.heard();
  int unsureAsked = 0;
  for (int t = 0;;) {
    // CANCEL ends the tick at once; a newer pick of the part ends the wait:
    // its reply, should it still come, is nobody's and ends nothing more.
    if (!mManager.pickPause(ticket, tick) || cancelRequested) {
      ended = true;
      return;
    }
    if (wait->answered) {
      if (!wait->taken) ended = true;
      return;
    }
    ++t;
    // A dump that may have been its answer came as nobody's, or another
    // part's search found the instrument on another ID: asked again, with a
    // reply time of its own.
    if (wait->unsure > unsureAsked || body[2] != currentDeviceId()) {
      unsureAsked = wait->unsure;
      body[2] = static_cast<uint8_t>(currentDeviceId());
      if (!sendPartRequest(ticket, wait, body, viaChecksum)) {
        ended = true;
        return;
      }
      t = 0;
      continue;
    }
    // Only a request that heard nothing at all searches: an instrument that
    // answered on this ID since is there.
    if (t == searchTick && mManager.picks.heard() == heard && wait->unsure == 0 &&
        !searchForPart(ticket, wait, body, heard, tick, viaChecksum)) {
      ended = true;
      return;
    }
    if (wait->answered) {
      if (!wait->taken) ended = true;
      return;
    }
    if (t >= kTimeOutTick) {
      plug->showStatusText(kTimedOut);
      ended = true;
      return;
    }
  }
}

void MIDIMessageSender::releaseDumpExpected() {
  // Only a request still waiting holds back the instrument's edits: ended,
  // answered or not (timed out, overtaken, its search given up), the window
  // follows the instrument's knobs again. A job of the request thread
  // clears it itself as it ends.
  const bool last = --mManager.partRequestsRunning == 0;
  const bool onLane = PartPicks::currentLane() >= 0;
  if (last && (!onLane || !mManager.isThreadRunning(JobThread::kRequest))) mManager.dumpExpected = false;
}

bool MIDIMessageSender::requestPartSound(const PickTicket& ticket, int part, bool toEditor) {
  observeLaneJob(6, part);
  if (part < 0 || part > 15) {
    plug->debugLog("PROCESSOR: no request for part " + std::to_string(part));
    return false;
  }
  const int slot = selectedLibrarySlot();
  beginRequestStep();
  std::vector<uint8_t> body = requestBody(kSoundRequest, kEditBufferBank, part);
  if (toEditor) ++mManager.partRequestsRunning;
  // A slot the library refuses is asked for nothing.
  if (!(toEditor ? plug->SetLibrarianRequestActive(false) : armLibraryReply(body, slot)) || !mManager.picks.newest(ticket)) {
    if (toEditor) releaseDumpExpected();
    plug->DisplayProcessingIndicator(false);
    return false;
  }
  const int tick = plug->getTimerValue();
  // Into the editor, the reply is the part's next sound dump, in the order
  // the requests went; into the library, the record takes what comes.
  const std::shared_ptr<PartPicks::ReplyWait> wait = toEditor ? mManager.picks.expectReply(ticket) : nullptr;
  const auto end = [&](bool overtaken) {
    mManager.picks.endReplyWait(wait);
    if (toEditor) releaseDumpExpected();
    if (overtaken) ended = true;
    if (!overtaken || cancelRequested) endSingleRequest(!toEditor);
    else plug->DisplayProcessingIndicator(false);
    // Overtaken (by a newer pick, a restore), it has nothing to report.
    if (overtaken && !cancelRequested) plug->endProgressText(kPleaseWait);
    return wait && wait->taken;
  };
  if (!(wait ? sendPartRequest(ticket, wait, body, false) : mManager.picks.letGo(ticket, [&](const GatePass&) {
          sendRequest(body, false);
          return true;
        })))
    return end(true);
  plug->logSysExOutMessageByteInt(std::vector<int>(body.begin(), body.end()), static_cast<int>(body.size()));
  if (!mManager.pickPause(ticket, tick)) return end(true);
  plug->showProgressText(kPleaseWait);
  if (wait) awaitPartReply(ticket, wait, body, tick, kSearchTick, false);
  else awaitReply(body, tick, kSearchTick, false);
  if (!mManager.picks.newest(ticket) && !(wait && wait->taken)) return end(true);
  // The instrument's pause after its dump; not waited for once overtaken.
  if (mManager.picks.newest(ticket)) mManager.pickPause(ticket, tick);
  return end(false);
}

void MIDIMessageSender::sendSingleMultiRequestSysex() {
  const int slot = selectedLibrarySlot();
  // No slot selected: refused below as every road into the library is.
  beginRequest();
  const std::vector<uint8_t> body = requestBody(kMultiRequest, 0x00, slot);
  if (!armLibraryReply(body, slot)) return plug->DisplayProcessingIndicator(false);
  const int tick = plug->getTimerValue();
  sendRequest(body, false);
  awaitReply(body, tick, kSearchTick, false);
  endSingleRequest(true);
}

void MIDIMessageSender::sendSinglePatchRequestSysex(bool editBuffer, int bank) {
  const int slot = selectedLibrarySlot();
  beginRequest();
  const auto body = [&] {
    return editBuffer ? requestBody(kSoundRequest, kEditBufferBank, std::clamp(plug->getCurrentPart(), 0, 15))
                      : requestBody(kSoundRequest, bank, std::min(slot, kBankPrograms - 1));
  };
  const std::vector<uint8_t> first = body();
  if (!armLibraryReply(first, slot)) return plug->DisplayProcessingIndicator(false);
  const int tick = plug->getTimerValue();
  sendRequest(first, false);
  plug->showProgressText(kPleaseWait);
  // Instead of searching, the request is repeated with the current ID.
  awaitReply(first, tick, kSearchTick, false, [&] {
    for (int i = 0; i < kDeviceIds; ++i) {
      const std::vector<uint8_t> again = editBuffer ? body() : first;
      if (!armLibraryReply(again, slot)) {
        ended = true;
        return;
      }
      sendRequest(again, false);
      if (!mManager.pause(tick) || cancelRequested) {
        ended = true;
        return;
      }
      if (libraryReplyTaken()) return;
    }
  });
  endSingleRequest(true);
}

void MIDIMessageSender::requestBank(uint8_t command, int bank, const char* cancelled, const char* completed) {
  beginRequest();
  setSelectedLibrarySlot(0);
  const int tick = plug->getTimerValue();
  // Program n goes into slot n, wherever the highlight is moved meanwhile.
  int n = 0;
  for (; n < kBankPrograms && !cancelRequested && !ended; ++n) {
    const std::vector<uint8_t> body = requestBody(command, bank, n);
    if (!armLibraryReply(body, n)) {
      ended = true;
      break;
    }
    sendRequest(body, false);
    plug->DisplayProcessingIndicator(true);
    awaitReply(body, tick, kSearchTick, false);
    // A silent program ends the bank: the rest would wait as long each.
    if (ended) break;
    plug->showProgressText(("Please wait! " + std::to_string(n) + "% received..").c_str());
    if (!mManager.pause(tick)) break;
    if (cancelRequested) break;
    setSelectedLibrarySlot(n + 1);
  }
  endBankHighlight();
  if (cancelRequested) {
    plug->showStatusText(cancelled);
    abandonLibraryRequest(true);
  } else if (!ended) {
    plug->showReceivedToLibrary(completed);
  } else if (n > 0) {
    // What arrived before the instrument fell silent is an edit of the bank,
    // to be saved or discarded like any other.
    plug->showReceivedToLibrary(kTimedOut);
  } else {
    abandonLibraryRequest(false);
  }
  plug->DisplayProcessingIndicator(false);
}

void MIDIMessageSender::sendAllPatchRequestSysex(int bank) {
  requestBank(kSoundRequest, bank, "Data request cancelled!", "Data request completed!");
}

void MIDIMessageSender::sendAllMultiRequestSysex() { requestBank(kMultiRequest, 0x00, kRequestCancelled, kCompleted); }

void MIDIMessageSender::pollMulti(bool forLibrarian) {
  const auto in = [&] { return forLibrarian ? libraryReplyTaken() : plug->isReplyReceived(); };
  for (int i = 0; i < kMultiPolls; ++i) {
    // The overlay's CANCEL is no button that does nothing.
    if (!mManager.pauseUnlessCancelled(*this, kMultiPollMs) && !in()) {
      ended = true;
      return;
    }
    plug->showProgressText("Processing, please wait...");
    if (in()) return;
  }
  plug->showStatusText(kTimedOut);
  ended = true;
}

void MIDIMessageSender::sendActiveArrangementRequestSysex(bool toEditor) {
  const int slot = selectedLibrarySlot();
  beginRequest();
  const std::vector<uint8_t> multiBody = requestBody(kMultiRequest, kMultiEditBuffer, 0x00);
  if (!(toEditor ? plug->SetLibrarianRequestActive(false) : armLibraryReply(multiBody, slot)))
    return plug->DisplayProcessingIndicator(false);
  // The page's refresh waits for the job's answers, and ends with the job.
  if (toEditor) mManager.quickTabRefreshPending = true;
  const int tick = plug->getTimerValue();
  if (!toEditor) {
    sendRequest(multiBody, true);
    pollMulti(true);
  } else {
    // What the instrument plays, asked for: a pick of every part, whose
    // replies are taken under it. A part picked meanwhile is the newer pick's.
    const StateTicket state = job.state ? *job.state : mManager.picks.arriveAll();
    // An instrument silent to one part is silent to the next: a time-out
    // ends the parts, as each would wait and search as long.
    for (int p = 0; p < 16 && !cancelRequested && !ended && !mManager.isShuttingDown(); ++p) {
      const PickTicket ticket = state.part(p);
      if (!mManager.picks.newest(ticket)) continue;
      plug->SetLibrarianRequestActive(false);
      const std::vector<uint8_t> body = requestBody(kSoundRequest, kEditBufferBank, p);
      const std::shared_ptr<PartPicks::ReplyWait> wait = mManager.picks.expectReply(ticket);
      if (sendPartRequest(ticket, wait, body, true)) {
        awaitPartReply(ticket, wait, body, tick, kArrangementSearchTick, true);
        // Overtaken, before its reply or in the pause after it, the part's
        // request is over, not unanswered: the next part follows.
        if (!cancelRequested && !mManager.picks.newest(ticket)) ended = false;
      }
      mManager.picks.endReplyWait(wait);
      if (cancelRequested) break;
      if (!ended) {
        plug->showProgressText(("Please wait! " + std::to_string(static_cast<int>(p * 5.88)) + "% processed..").c_str());
        mManager.pause(tick);
      }
      plug->DisplayProcessingIndicator(true);
    }
  }
  mManager.pause(tick / 2);
  if (toEditor && !ended && !cancelRequested) {
    plug->SetLibrarianRequestActive(false);
    // Asked on the ID the parts' search found, if it found one: the
    // instrument answers no other.
    sendRequest(requestBody(kMultiRequest, kMultiEditBuffer, 0x00), true);
    pollMulti(false);
    if (!cancelRequested && !ended) plug->showStatusText("Data request completed!");
  }
  // A cancel among the parts, in the middle of a search, says so too: not
  // the search's last ID.
  if (toEditor && cancelRequested) plug->showStatusText(kRequestCancelled);
  mManager.quickTabRefreshPending = false;
  if (!toEditor && !ended) {
    plug->showReceivedToLibrary(kCompleted);
  } else if (!toEditor) {
    if (cancelRequested) plug->showStatusText(kRequestCancelled);
    abandonLibraryRequest(false);
  }
  plug->DisplayProcessingIndicator(false);
}

void MIDIMessageSender::sendDeviceIdEnquiry() {
  // Nothing would reach the instrument, and host notes would wait meanwhile.
  if (plug->isOutPortGone()) return plug->enquireWhenOutPortBack();
  plug->DisplayProcessingIndicator(true);
  cancelRequested = false;
  plug->SetLibrarianRequestActive(false);
  plug->showProgressText("Connecting to dirirU");
  ended = false;
  const int tick = plug->getTimerValue();
  const std::vector<uint8_t> body = requestBody(kGlobalRequest, -1, -1);
  sendRequest(body, true);
  for (int t = 0;;) {
    if (!mManager.pause(tick)) {
      ended = true;
      break;
    }
    ++t;
    if (t == kArrangementSearchTick && !searchDeviceId(body, tick, true)) {
      ended = true;
      break;
    }
    if (t == kTimeOutTick) {
      plug->showStatusText("No response from dirirU!");
      ended = true;
      break;
    }
    if (plug->isReplyReceived()) break;
    if (plug->isOutPortGone()) {
      ended = true;
      break;
    }
  }
  if (ended && plug->isOutPortGone()) {
    plug->enquireWhenOutPortBack();
  } else if (cancelRequested) {
    plug->showStatusText(kRequestCancelled);
  } else if (!ended) {
    plug->showProgressText("Plug-in is ready to go!");
    mManager.pause(tick);
  }
  plug->DisplayProcessingIndicator(false);
}
