// What the instrument owes the editor: each program change the editor sends
// on a channel is told back by every part on that channel, as the report of
// the part's bank and then its program, within a second. A report equal to
// any change still owed is that change's echo, used up with every older one
// (the instrument tells in the order it took them); any other report is the
// instrument's own pick. A multi sent or read whole leaves nothing owed.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

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
  // the echo of a change owed, now used up with the older ones.
  bool take(int part, bool bankReport, int value, uint32_t nowMs);
  // Every part plays what a whole multi said: no echo is owed any more.
  void forgetAll();

 private:
  struct Owed {
    int bank = -1;
    int program = -1;
    bool bankTold = false;
    uint32_t atMs = 0;
  };
  static bool isPart(int part) { return part >= 0 && part < 16; }

  std::mutex mMutex;
  // Per part, oldest first; dropped only once past due.
  std::array<std::vector<Owed>, 16> mParts{};
};
