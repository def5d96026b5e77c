// A bank file in the library folder, read by a load as at start-up: split
// when it holds more than 100 entries, beside files of the user's whose
// names a split would take, with or without "Converted Banks".
//
// Input: a flags byte (bits 0-1: the extension "syx", "SYX", "mid", "Tvx";
// bit 2: the user's own files under the names the pieces would have; bit 3:
// "Converted Banks" is a file), then the file, filled up with zero bytes to
// the least size the library reads.
//
// Promises: no file of the user's changes; the source either stays where it
// was or is found whole in "Converted Banks" or beside its pieces; every new
// file holds one bank; no temporary file is left.
#include <algorithm>
#include <filesystem>
#include <map>

#include "FuzzDrivers.h"
#include "FuzzSupport.h"
#include "PatchLibrarian.h"

namespace fuzz {
namespace {
namespace fs = std::filesystem;

std::map<std::string, std::vector<uint8_t>> filesBelow(const fs::path& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files[fs::relative(entry.path(), folder).string()] = readBytes(entry.path().string());
  return files;
}
}  // namespace

int bankFolder(const uint8_t* data, size_t size) {
  static const char* const kExtensions[] = {"syx", "SYX", "mid", "Tvx"};
  Input in(data, size);
  const uint8_t flags = in.byte();
  std::vector<uint8_t> file = in.rest();
  if (file.size() < kMinBankFileSize) file.resize(kMinBankFileSize, 0x00);

  const fs::path root = freshFolder("bank-folder");
  const fs::path patches = root / "Patches";
  fs::create_directories(patches);
  const std::string extension = kExtensions[flags & 3];
  const std::string lower = extension == "SYX" ? "syx" : extension == "Tvx" ? "tvx" : extension;
  const std::string source = "Bank." + extension;
  writeBytes((patches / source).string(), file.data(), file.size());
  if (flags & 4) {
    for (const char* piece : {"Bank Singles 1.", "Bank Singles 2.", "Bank Multis."}) {
      const std::string mine = std::string("mine: ") + piece;
      writeBytes((patches / (piece + lower)).string(), mine.data(), mine.size());
    }
  }
  if (flags & 8) writeBytes((root / "Converted Banks").string(), "x", 1);
  auto before = filesBelow(root);
  before.erase("Patches/" + source);

  PatchLibrarian library;
  library.loadPatchesFromFilesystem(patches.string());

  const auto after = filesBelow(root);
  for (const auto& [name, bytes] : before) {
    const auto found = after.find(name);
    FUZZ_CHECK(found != after.end() && found->second == bytes);
  }
  bool sourceKept = false;
  for (const auto& [name, bytes] : after) {
    FUZZ_CHECK(fs::path(name).filename().string().front() != '.');
    if (bytes == file) sourceKept = true;
    if (before.count(name) || bytes == file) continue;
    // A piece: one bank of a hundred entries.
    PatchLibrarian reader;
    PatchFile bank;
    reader.loadFromChunk(bytes, static_cast<int>(bytes.size()), &bank);
    FUZZ_CHECK(bank.patches.size() == static_cast<size_t>(kPatchesPerBank));
  }
  FUZZ_CHECK(sourceKept);
  return 0;
}

}  // namespace fuzz
