// The library under the threads that share it: dumps received on the MIDI
// thread, reloads, searches and category builds on the editor's thread,
// menus and the slot view reading. Run under ThreadSanitizer by scripts/test-tsan.
#include <atomic>
#include <thread>

#include "LibraryTestSupport.h"

TEST(LibraryThreads, ReceiveReloadSearchAndReadTogether) {
  DataFolder data;
  writeFile(data.patches() / "A/one.syx", soundFile("one", 100, "Lead"));
  writeFile(data.patches() / "two.mid", soundFile("two", 80, "Pad"));
  writeFile(data.patches() / "m.syx", multiFile("m", 90));
  PatchLibrarian library;
  library.loadPatchesFromFilesystem(data.patchesStr());
  ASSERT_EQ(library.bankCount(kSoundList), 2);

  // Each thread makes all its moves, however the machine schedules them: the
  // receiver its 3000 stores, the reader at least one pass, and the reloads
  // go on while the receiver stores, so the three always meet.
  std::atomic<bool> done{false}, received{false};
  std::atomic<int> stored{0};
  std::thread receiver([&] {
    LibrarianPatch dump;
    dump.name = "Received        ";
    dump.dumps.push_back({soundDump("Received")});
    for (int i = 0; i < 3000; ++i) {
      library.upperBank = i % 3;
      library.targetSlot = i % 101;
      library.librarianMode = i % 2;
      if (library.setSysexDatatoSelectedSlot(&dump, library.targetSlot)) ++stored;
    }
    received = true;
  });
  std::thread reader([&] {
    size_t seen = 0;
    do {
      const auto bank = library.bankAt(kSoundList, 0);
      auto guard = library.lock();
      for (const auto& b : library.contents().soundBanks) seen += b->patches.size();
      for (const auto& node : library.contents().soundTree)
        for (const auto* b : node->files) seen += b->fileName.size();
      for (const auto& node : library.contents().searchTree)
        for (const auto* b : node->files) seen += b->patches.size();
      if (bank) seen += bank->patches.size();
    } while (!done);
    EXPECT_GT(seen, 0u);
  });
  // The receiver's stores replace the sounds the search looks for, and only a
  // reload brings them back: the last reload starts after the receiver is done.
  for (int i = 0;; ++i) {
    const bool last = i >= 5 && received;
    library.initBankFilesOnDiscard(data.patchesStr());
    library.createNewSearchPatchFiles("one");
    // Built from the banks as the receiver leaves them, put in whole.
    library.refreshCategories();
    if (last) break;
  }
  done = true;
  receiver.join();
  reader.join();
  EXPECT_GT(stored.load(), 0);
  EXPECT_EQ(library.bankCount(kSoundList), 2);
  EXPECT_EQ(library.bankCount(kMultiList), 1);
  EXPECT_EQ(library.bankCount(kSearchList), 1);
}

// Two instances on one shared load: one takes dumps into its banks (its own
// copies) while the other reads the same banks and reloads.
TEST(LibraryThreads, InstancesSharingALoadEditAndReadTogether) {
  DataFolder data;
  writeFile(data.patches() / "one.syx", soundFile("one", 100, "Lead"));
  writeFile(data.patches() / "two.syx", soundFile("two", 100, "Pad"));
  PatchLibrarian editing, reading;
  editing.loadSharedPatches(data.patchesStr());
  reading.loadSharedPatches(data.patchesStr());
  ASSERT_EQ(editing.bankAt(kSoundList, 1).get(), reading.bankAt(kSoundList, 1).get());
  std::atomic<bool> done{false};
  std::thread receiver([&] {
    LibrarianPatch received;
    received.name = "Received        ";
    received.dumps.push_back({soundDump("Received")});
    for (int i = 0; i < 2000 && !done; ++i) {
      editing.upperBank = i % 2;
      editing.targetSlot = i % 100;
      editing.setSysexDatatoSelectedSlot(&received, editing.targetSlot);
      if (i % 500 == 0) editing.loadSharedPatches(data.patchesStr());
    }
  });
  size_t named = 0;
  for (int i = 0; i < 200; ++i) {
    for (int b = 0; b < 2; ++b)
      if (const auto bank = reading.bankAt(kSoundList, b))
        for (const auto& entry : bank->patches) named += entry.name == "Received        " ? 1 : 0;
    if (i % 50 == 0) reading.loadSharedPatches(data.patchesStr());
  }
  done = true;
  receiver.join();
  EXPECT_EQ(named, 0u);  // nothing the other instance took in shows here
}
