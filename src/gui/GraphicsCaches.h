// The process-wide caches: bitmaps by image id (run-time bitmaps under -1)
// and fonts by size, orientation, style and name. Every plug-in instance
// shares them; they are emptied at process exit.
#pragma once

#include <memory>
#include <vector>

#include "WDL_Mutex.h"

class LICE_IBitmap;
class LICE_IFont;

class BitmapStorage {
 public:
  BitmapStorage();
  // The first bitmap stored under id, or null.
  LICE_IBitmap* Find(int id);
  void Add(int id, std::unique_ptr<LICE_IBitmap> bitmap);
  // Deletes the first entry holding bitmap; false when none does.
  bool Remove(LICE_IBitmap* bitmap);
  int Count();
  // Frees every bitmap.
  void Clear();

 private:
  struct Entry {
    int id;
    std::unique_ptr<LICE_IBitmap> bitmap;
  };
  WDL_Mutex mMutex;
  std::vector<Entry> mEntries;
};

class FontStorage {
 public:
  struct Key {
    int size, orientation, style;
    char name[32];
  };
  FontStorage();
  LICE_IFont* Find(const Key& key);
  void Add(const Key& key, std::unique_ptr<LICE_IFont> font);
  int Count();
  void Clear();
  // Held while a made font is added, so one key keeps one font.
  WDL_Mutex& Mutex() { return mMutex; }

 private:
  struct Entry {
    Key key;
    std::unique_ptr<LICE_IFont> font;
  };
  WDL_Mutex mMutex;
  std::vector<Entry> mEntries;
};

extern BitmapStorage s_bitmapCache;
extern FontStorage s_fontCache;
