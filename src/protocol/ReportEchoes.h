// What the instrument owes the editor: each program change the editor sends
// a part is told back once, as the instrument's report of the part's bank
// and then its program, soon after. A report that matches a change owed, by
// value, is that change's echo and is used up; any other report is the
// instrument's own pick, after which nothing more is owed for the part.
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
  // an echo owed, now used up; false for the instrument's own pick.
  bool take(int part, bool bankReport, int value, uint32_t nowMs);

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
    void dropFirst(int n);
  };
  static bool isPart(int part) { return part >= 0 && part < 16; }

  std::mutex mMutex;
  std::array<PartOwes, 16> mParts{};
};
