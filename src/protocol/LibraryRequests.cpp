#include "LibraryRequests.h"

#include "SoundDumpLayout.h"
#include "SysExFormat.h"

namespace {
constexpr int kCompletingSize = 390;
constexpr int kNameLength = 16;
}  // namespace

void LibraryRequest::arm(int slot) {
  std::lock_guard<std::mutex> lock(mMutex);
  patch.clear();
  mSlot = slot;
  mAddress = mNext;
  mNext.reset();
  taken = false;
  ++arms;
  active = true;
}

void LibraryRequest::expectNext(std::optional<Address> address) {
  std::lock_guard<std::mutex> lock(mMutex);
  mNext = address;
}

void LibraryRequest::armForRequest() {
  expectNext(Address{});
  arm(-1);
}

bool LibraryRequest::awaitsAnswer() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return mAddress.has_value();
}

bool LibraryRequest::addMessageData(const unsigned char* data, int size) {
  if (!data || size < kCompletingSize || !isDirirUMessage(data, size) || data[4] != mCommand) return false;
  std::lock_guard<std::mutex> lock(mMutex);
  // Another part's edit buffer, or another program, answers another request.
  if (mAddress && (data[5] != mAddress->bank || data[6] != mAddress->program)) return false;
  patch.dumps.push_back({std::vector<unsigned char>(data, data + size)});
  patch.name.append(reinterpret_cast<const char*>(data + mNameByte), kNameLength);
  // A sound keeps its category, as one read from a bank file does.
  if (mCommand == kSoundDumpCommand) patch.parseCategory(kSoundCategoryByte);
  active = false;
  return true;
}

LibrarianPatch LibraryRequest::patchCopy() const {
  std::lock_guard<std::mutex> lock(mMutex);
  return patch;
}

LibraryPatchRequest::LibraryPatchRequest() : LibraryRequest(kSoundDumpCommand, 370) {}
LibraryPerformanceRequest::LibraryPerformanceRequest() : LibraryRequest(kMultiDumpCommand, 23) {}
