// The project-state holder: a snapshot of the plug-in state and 35 names
// (0 the multi, 1-16 the parts' sounds, 17-18 the MIDI devices, 19-34 the
// parts' categories). The names are written from worker and MIDI threads
// while the host thread saves them, so they sit behind their own lock.
#pragma once

#include <array>
#include <mutex>
#include <string>

class Tarnivex;

class Patch {
 public:
  static constexpr int kNameCount = 35;

  Patch();

  std::string name(int entry) const;
  void setName(int entry, const std::string& text);

  int bankSelection = 0;
  int patchSelection = 0;
  Tarnivex* plug = nullptr;

 private:
  mutable std::mutex mNamesMutex;
  std::array<std::string, kNameCount> mNames;
};

// The plug-in's one state holder.
class PatchManager : public Patch {};
