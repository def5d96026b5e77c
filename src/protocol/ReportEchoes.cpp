#include "ReportEchoes.h"

#include <algorithm>

void ReportEchoes::PartOwes::dropFirst(int n) {
  n = std::clamp(n, 0, count);
  std::move(owed.begin() + n, owed.begin() + count, owed.begin());
  count -= n;
}

void ReportEchoes::owe(int part, int bank, int program, uint32_t nowMs) {
  if (!isPart(part)) return;
  std::lock_guard<std::mutex> lock(mMutex);
  PartOwes& owes = mParts[static_cast<size_t>(part)];
  // A burst of changes longer than the record: the oldest's echo is past due long before.
  if (owes.count == PartOwes::kMost) owes.dropFirst(1);
  owes.owed[static_cast<size_t>(owes.count++)] = Owed{bank, program, false, nowMs};
}

void ReportEchoes::forgive(int part, int program) {
  if (!isPart(part)) return;
  std::lock_guard<std::mutex> lock(mMutex);
  PartOwes& owes = mParts[static_cast<size_t>(part)];
  for (int i = owes.count - 1; i >= 0; --i) {
    if (owes.owed[static_cast<size_t>(i)].program != program) continue;
    std::move(owes.owed.begin() + i + 1, owes.owed.begin() + owes.count, owes.owed.begin() + i);
    --owes.count;
    return;
  }
}

bool ReportEchoes::take(int part, bool bankReport, int value, uint32_t nowMs) {
  if (!isPart(part)) return false;
  std::lock_guard<std::mutex> lock(mMutex);
  PartOwes& owes = mParts[static_cast<size_t>(part)];
  // Past due, an echo never comes: a report after that is the instrument's own.
  int due = 0;
  while (due < owes.count && nowMs - owes.owed[static_cast<size_t>(due)].atMs > kDueMs) ++due;
  owes.dropFirst(due);
  for (int i = 0; i < owes.count; ++i) {
    Owed& owed = owes.owed[static_cast<size_t>(i)];
    const bool matches = bankReport ? !owed.bankTold && (owed.bank < 0 || owed.bank == value) : owed.program == value;
    if (!matches) continue;
    // The instrument tells in the order it took them: the echoes of changes
    // before this one are not coming any more.
    if (bankReport) {
      owed.bankTold = true;
      owes.dropFirst(i);
    } else {
      owes.dropFirst(i + 1);
    }
    return true;
  }
  owes.count = 0;
  return false;
}
