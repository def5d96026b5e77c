#include "ReportEchoes.h"

#include <algorithm>

void ReportEchoes::owe(int part, int bank, int program, uint32_t nowMs) {
  if (!isPart(part)) return;
  std::lock_guard<std::mutex> lock(mMutex);
  std::vector<Owed>& owed = mParts[static_cast<size_t>(part)];
  std::erase_if(owed, [&](const Owed& o) { return nowMs - o.atMs > kDueMs; });
  owed.push_back(Owed{bank, program, false, nowMs});
}

void ReportEchoes::forgive(int part, int program) {
  if (!isPart(part)) return;
  std::lock_guard<std::mutex> lock(mMutex);
  std::vector<Owed>& owed = mParts[static_cast<size_t>(part)];
  const auto it = std::find_if(owed.rbegin(), owed.rend(), [&](const Owed& o) { return o.program == program; });
  if (it != owed.rend()) owed.erase(std::next(it).base());
}

bool ReportEchoes::take(int part, bool bankReport, int value, uint32_t nowMs) {
  if (!isPart(part)) return false;
  std::lock_guard<std::mutex> lock(mMutex);
  std::vector<Owed>& owed = mParts[static_cast<size_t>(part)];
  std::erase_if(owed, [&](const Owed& o) { return nowMs - o.atMs > kDueMs; });
  const auto echo = std::find_if(owed.begin(), owed.end(), [&](const Owed& o) {
    return bankReport ? !o.bankTold && (o.bank < 0 || o.bank == value) : o.program == value;
  });
  if (echo == owed.end()) return false;
  if (!bankReport) {
    owed.erase(owed.begin(), echo + 1);
    return true;
  }
  echo->bankTold = true;
  owed.erase(owed.begin(), echo);
  return true;
}

void ReportEchoes::forgetAll() {
  std::lock_guard<std::mutex> lock(mMutex);
  for (std::vector<Owed>& owed : mParts) owed.clear();
}
