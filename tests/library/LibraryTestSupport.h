// Shared pieces of the library tests: dumps as the instrument writes them,
// a temporary data folder with real files, and a small reader of Standard
// MIDI Files written apart from the library's writer.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <future>
#include <thread>

#include "FolderLockHolder.h"
#include "FrameChecksum.h"
#include "PatchLibrarian.h"
#include "SharedLibraryLoads.h"

namespace fs = std::filesystem;

// A 392-byte dirirU sound dump as a bank file holds it.
inline Bytes soundDump(const std::string& name, const std::string& category = "Lead", unsigned char fill = 0x11,
                       unsigned char model = 0x10, unsigned char device = 0x00, unsigned char program = 0) {
  Bytes d(392, fill);
  d[0] = 0xF0;
  d[1] = 0x3E;
  d[2] = model;
  d[3] = device;
  d[4] = 0x10;
  d[5] = 0x00;
  d[6] = program;
  for (size_t i = 0; i < 16; ++i) d[370 + i] = i < name.size() ? static_cast<unsigned char>(name[i]) : ' ';
  for (size_t i = 0; i < 4; ++i) d[386 + i] = i < category.size() ? static_cast<unsigned char>(category[i]) : 0;
  d[390] = sim::frameChecksum(d);
  d[391] = 0xF7;
  return d;
}

// A 393-byte Q sound dump whose conversion would keep a byte that is no
// data byte: 0xFC at 254 becomes an F0 at 253.
inline Bytes unconvertibleQDump(const std::string& name) {
  Bytes d = soundDump(name, "Lead", 0x11, 0x0F);
  d.insert(d.end() - 1, 0x11);
  d[254] = 0xFC;
  return d;
}

// A 393-byte dirirU multi dump.
inline Bytes multiDump(const std::string& name, unsigned char fill = 0x22, unsigned char model = 0x10) {
  Bytes d(393, fill);
  d[0] = 0xF0;
  d[1] = 0x3E;
  d[2] = model;
  d[3] = 0x00;
  d[4] = 0x11;
  d[5] = 0x00;
  for (size_t i = 0; i < 16; ++i) d[23 + i] = i < name.size() ? static_cast<unsigned char>(name[i]) : ' ';
  d[391] = sim::frameChecksum(d);
  d[392] = 0xF7;
  return d;
}

// A parameterised case named after its label, letters and digits kept.
inline const auto LabelName = [](const auto& info) {
  std::string name = info.param.label;
  for (char& ch : name)
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  return name;
};

// Names "<prefix>NNN" padded to 16 characters.
inline std::string numbered(const std::string& prefix, int n) {
  std::string text = prefix + std::to_string(n);
  text.resize(16, ' ');
  return text;
}

inline Bytes concat(const std::vector<Bytes>& parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// count sound dumps named "<prefix>N" with the given category.
inline Bytes soundFile(const std::string& prefix, int count, const std::string& category = "Lead") {
  std::vector<Bytes> dumps;
  for (int i = 0; i < count; ++i) dumps.push_back(soundDump(numbered(prefix, i), category, static_cast<unsigned char>(i & 0x7F)));
  return concat(dumps);
}

// count sound dumps named "<prefix>N", each cut to size bytes and ended by an F7.
inline std::vector<Bytes> cutSoundDumps(const std::string& prefix, int count, size_t size) {
  std::vector<Bytes> dumps;
  for (int i = 0; i < count; ++i) {
    Bytes sound = soundDump(numbered(prefix, i));
    sound.resize(size);
    sound.push_back(0xF7);
    dumps.push_back(sound);
  }
  return dumps;
}

inline Bytes multiFile(const std::string& prefix, int count) {
  std::vector<Bytes> dumps;
  for (int i = 0; i < count; ++i) dumps.push_back(multiDump(numbered(prefix, i), static_cast<unsigned char>(i & 0x7F)));
  return concat(dumps);
}

inline void writeFile(const fs::path& path, const Bytes& data) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

inline Bytes readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A fresh data folder inside the test's XDG_DATA_HOME, removed afterwards.
class DataFolder {
 public:
  DataFolder() {
    const char* base = std::getenv("XDG_DATA_HOME");
    fs::path parent = base && *base ? fs::path(base) : fs::temp_directory_path();
    fs::create_directories(parent);
    std::string pattern = (parent / "library-XXXXXX").string();
    root = mkdtemp(pattern.data());
    fs::create_directories(patches());
  }
  ~DataFolder() {
    std::error_code error;
    fs::remove_all(root, error);
  }
  fs::path patches() const { return root / "Patches"; }
  fs::path converted() const { return root / "Converted Banks"; }
  std::string patchesStr() const { return patches().string(); }

  fs::path root;
};

// Every regular file below a folder, relative to it, sorted.
inline std::vector<std::string> filesBelow(const fs::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(folder, error); it != fs::recursive_directory_iterator(); ++it)
    if (it->is_regular_file() && !it->is_symlink()) files.push_back(fs::relative(it->path(), folder).string());
  std::sort(files.begin(), files.end());
  return files;
}

// A library that keeps its log, loaded from folder (unless maxEntries is
// given: then the caller loads it).
struct LoggedLibrary {
  PatchLibrarian library;
  std::vector<std::string> log;
  std::vector<std::string> shown;  // the failures shown, "what / why"
  // onLine hears each log line as it is written.
  explicit LoggedLibrary(const std::string& folder, size_t maxEntries = kMaxSplitEntries,
                         std::function<void(const std::string&)> onLine = {}) {
    library.hooks.debugLog = [this, onLine](const std::string& line) {
      log.push_back(line);
      if (onLine) onLine(line);
    };
    library.hooks.showFailure = [this](const std::string& what, const std::string& why) {
      shown.push_back(what + " / " + why);
    };
    library.maxSplitEntries = maxEntries;
    library.loadPatchesFromFilesystem(folder);
  }
  int count(const std::string& prefix) const {
    return static_cast<int>(std::count_if(log.begin(), log.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
  }
};

inline std::vector<std::string> names(const BankList& banks) {
  std::vector<std::string> out;
  for (const auto& b : banks) out.push_back(b->fileName);
  return out;
}

// ---- A Standard MIDI File reader of its own: chunk by chunk, event by
// event, running status and meta events understood.
struct SmfEvent {
  uint32_t tick = 0;
  int kind = 0;  // 0 channel, 1 SysEx (data from after F0), 2 meta
  int metaType = -1;
  Bytes data;
};
struct SmfFile {
  bool ok = false;
  int format = -1, tracks = -1, division = -1;
  std::vector<std::vector<SmfEvent>> events;
};

inline SmfFile parseSmf(const Bytes& f) {
  SmfFile smf;
  size_t p = 0;
  auto be = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = v << 8 | f[at + static_cast<size_t>(i)];
    return v;
  };
  if (f.size() < 14 || std::string(f.begin(), f.begin() + 4) != "MThd" || be(4, 4) != 6) return smf;
  smf.format = static_cast<int>(be(8, 2));
  smf.tracks = static_cast<int>(be(10, 2));
  smf.division = static_cast<int>(be(12, 2));
  p = 14;
  for (int t = 0; t < smf.tracks; ++t) {
    if (p + 8 > f.size() || std::string(f.begin() + static_cast<long>(p), f.begin() + static_cast<long>(p) + 4) != "MTrk") return smf;
    const size_t length = be(p + 4, 4);
    size_t q = p + 8;
    const size_t end = q + length;
    if (end > f.size()) return smf;
    std::vector<SmfEvent> track;
    uint32_t tick = 0;
    int running = 0;
    bool ended = false;
    auto vlq = [&](uint32_t& value) {
      value = 0;
      for (int i = 0; i < 4; ++i) {
        if (q >= end) return false;
        const unsigned char b = f[q++];
        value = value << 7 | (b & 0x7F);
        if (!(b & 0x80)) return true;
      }
      return false;
    };
    while (q < end && !ended) {
      uint32_t delta = 0;
      if (!vlq(delta) || q >= end) return smf;
      tick += delta;
      SmfEvent event;
      event.tick = tick;
      unsigned char status = f[q];
      if (status == 0xF0 || status == 0xF7) {
        ++q;
        uint32_t n = 0;
        if (!vlq(n) || q + n > end) return smf;
        event.kind = 1;
        event.data.assign(f.begin() + static_cast<long>(q), f.begin() + static_cast<long>(q + n));
        q += n;
      } else if (status == 0xFF) {
        if (q + 2 > end) return smf;
        event.kind = 2;
        event.metaType = f[q + 1];
        q += 2;
        uint32_t n = 0;
        if (!vlq(n) || q + n > end) return smf;
        event.data.assign(f.begin() + static_cast<long>(q), f.begin() + static_cast<long>(q + n));
        q += n;
        if (event.metaType == 0x2F) ended = true;
      } else {
        if (status & 0x80) {
          running = status;
          ++q;
        }
        if (!running) return smf;
        const int hi = running & 0xF0;
        const size_t n = (hi == 0xC0 || hi == 0xD0) ? 1 : 2;
        if (q + n > end) return smf;
        event.data.assign(f.begin() + static_cast<long>(q), f.begin() + static_cast<long>(q + n));
        q += n;
      }
      track.push_back(std::move(event));
    }
    if (!ended || q != end) return smf;
    smf.events.push_back(std::move(track));
    p = end;
  }
  smf.ok = p == f.size();
  return smf;
}

// Reads the folder of key from another thread and holds that reading until
// release(): a load of the folder started meanwhile waits for it, and then
// reads the folder itself (what the held reading gives is never handed out).
class LoadsHeld {
 public:
  explicit LoadsHeld(const std::string& folder) {
    std::promise<void> holding;
    std::future<void> held = holding.get_future();
    mThread = std::thread([this, &holding, key = SharedLibraryLoads::keyOf(folder)] {
      SharedLibraryLoads::take(key, [&] {
        holding.set_value();
        mReleased.wait();
        // Stamped with what is not there: it never holds.
        auto load = std::make_shared<SharedLoad>();
        load->contents.stamps.emplace_back("/a file a test made up", userfiles::FileStamp{});
        return load;
      });
    });
    held.wait();
  }
  LoadsHeld(const LoadsHeld&) = delete;
  LoadsHeld& operator=(const LoadsHeld&) = delete;
  ~LoadsHeld() { release(); }
  void release() {
    if (!mThread.joinable()) return;
    mRelease.set_value();
    mThread.join();
  }

 private:
  std::promise<void> mRelease;
  std::shared_future<void> mReleased = mRelease.get_future().share();
  std::thread mThread;
};

