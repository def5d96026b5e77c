#include "LibraryRequests.h"

#include "SoundDumpLayout.h"
#include "SysExFormat.h"

namespace {
constexpr int kCompletingSize = 390;
constexpr int kNameLength = 16;
}  // namespace

void LibraryRequest::arm() {
  std::lock_guard<std::mutex> lock(mMutex);
  patch.clear();
  active = true;
}

bool LibraryRequest::addMessageData(const unsigned char* data, int size) {
  if (!data || size < kCompletingSize || !isDirirUMessage(data, size) || data[4] != mCommand) return false;
  std::lock_guard<std::mutex> lock(mMutex);
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
