// What the instrument owes the editor: each program change the editor sends
// on a channel is told back once by every part on that channel, as the
// report of the part's bank and then its program, soon after. A report is
// an echo only of the part's newest change owed, by value, and is used up;
// one equal only to an older change, or to none, is the instrument's own
// pick, after which nothing more is owed for the part.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

class ReportEchoes {
 public:
  // How long after its program change an echo is still owed.
  static constexpr uint32_t kDueMs = 1000;

  // A program change for the part is going to the instrument, on the bank
  // (-1: not known here, any bank the report names).
  void owe(int part, int bank, int program, uint32_t nowMs);
  // It did not go: nothing of it is owed.
  void forgive(int part, int program);
  // The instrument's report of the part's bank (or program): true when it is
  // the echo of the part's newest change owed, now used up; false for the
  // instrument's own pick.
  bool take(int part, bool bankReport, int value, uint32_t nowMs);
  // The report's pair (bank -1: the part's own) only repeats what the
  // editor's last change for the part carried.
  bool repeatsLast(int part, int bank, int program);

 private:
  struct Owed {
    int bank = -1;
    int program = -1;
    bool bankTold = false;
    uint32_t atMs = 0;
  };
  // Kept in the order the changes went, oldest first.
  struct PartOwes {
    static constexpr int kMost = 8;
    std::array<Owed, kMost> owed{};
    int count = 0;
    Owed last{};  // the newest change that went, told back or not
    void dropFirst(int n);
  };
  static bool isPart(int part) { return part >= 0 && part < 16; }

  std::mutex mMutex;
  std::array<PartOwes, 16> mParts{};
};
