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
  owes.last = Owed{bank, program, false, nowMs};
}

void ReportEchoes::forgive(int part, int program) {
  if (!isPart(part)) return;
  std::lock_guard<std::mutex> lock(mMutex);
  PartOwes& owes = mParts[static_cast<size_t>(part)];
  for (int i = owes.count - 1; i >= 0; --i) {
    if (owes.owed[static_cast<size_t>(i)].program != program) continue;
    std::move(owes.owed.begin() + i + 1, owes.owed.begin() + owes.count, owes.owed.begin() + i);
    --owes.count;
    // What went last is what the part was told last.
    owes.last = owes.count > 0 ? owes.owed[static_cast<size_t>(owes.count - 1)] : Owed{};
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
  if (owes.count > 0) {
    // Only the newest change's echo counts: a report of an older program is
    // the user going back to it on the instrument.
    const Owed& newest = owes.owed[static_cast<size_t>(owes.count - 1)];
    const bool matches =
        bankReport ? !newest.bankTold && (newest.bank < 0 || newest.bank == value) : newest.program == value;
    if (matches) {
      // The instrument tells in the order it took them: the echoes of changes
      // before this one are not coming any more.
      owes.dropFirst(owes.count - 1);
      if (bankReport) owes.owed[0].bankTold = true;
      else owes.count = 0;
      return true;
    }
  }
  owes.count = 0;
  return false;
}

bool ReportEchoes::repeatsLast(int part, int bank, int program) {
  if (!isPart(part) || program < 0) return false;
  std::lock_guard<std::mutex> lock(mMutex);
  const Owed& last = mParts[static_cast<size_t>(part)].last;
  // A bank the change did not say is no repeat of another.
  return last.program == program && (bank < 0 || last.bank == bank);
}
