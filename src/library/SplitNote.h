// The note a split keeps beside its pieces while it runs: the file split,
// what it was (a digest, its identity, its size and SHA-1), the hidden name
// it leaves its folder under, each hidden piece with the name it is to take
// and its own size and SHA-1, and at the end the mark that the file has left
// the folder. A note names files of its own folder only, each by a plain
// name; a note that names anything else, or a field of which does not read,
// is damage, and nothing is done for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FileStamp.h"

namespace splitnote {

// Its fields end with a NUL, which no file name holds (a newline or a tab
// may be in one); notes of earlier versions end them with newlines.
inline constexpr const char* kCurrent = "tvx split 5";
inline constexpr const char* kProving = "tvx split 4";   // no piece's size or SHA-1
inline constexpr const char* kHidden = "tvx split 3";    // no size, no SHA-1
inline constexpr const char* kIdentity = "tvx split 2";  // no hidden source, no mark
inline constexpr const char* kLines = "tvx split 1";
// The field a note ends with once the source has left the library folder.
inline constexpr const char* kMovedMark = "\x01moved";

// A piece as a note names it: its hidden name, the name it is to take, and
// its size and SHA-1 (nullopt and "" in notes of earlier versions, whose
// pieces nothing proves).
struct Piece {
  std::string hidden;
  std::string name;
  std::optional<std::uint64_t> size;
  std::string sha1;
  bool provable() const { return size && !sha1.empty(); }
};

struct SplitNote {
  std::string source;  // the name of the file split
  std::string digest;
  std::string identity;  // "" in notes of earlier versions
  // The source's size and SHA-1 as the split read it before any copy
  // started; nullopt and "" in notes of earlier versions, which prove no copy.
  std::optional<std::uint64_t> size;
  std::string sha1;
  std::vector<Piece> pieces;
  // The hidden name the source leaves the folder under, and whether the
  // note says it did; "" and false in notes of earlier versions.
  std::string hiddenSource;
  bool moved = false;
  bool recordsMove = false;  // a note that would say it
  bool provesCopies() const { return size && !sha1.empty(); }
  // Which field does not read (a number too long, junk), or "".
  std::string unreadable;
};

// The note a text holds; nothing when its head is not whole. A field not
// ended (cut short by a kill or on disk) is left out.
std::optional<SplitNote> read(const std::vector<unsigned char>& text);

// What the text of a note too short to read still tells: the source's name
// and the hidden name it was to take, each "" when that field is not whole or
// not a plain name. Nothing when the text is no start of a note.
struct Remains {
  std::string source;
  std::string hiddenSource;
};
std::optional<Remains> remainsOf(const std::vector<unsigned char>& text);

// A name of a file in a folder: not empty, no slash, not "." or "..".
bool isPlainName(const std::string& name);
// A plain name the library lists: one of a bank file's extensions (any
// case), which no name of the writer's temporary shape has. A split only
// ever names such files, and a file put back must be listed again.
bool isBankFileName(const std::string& name);

// Why the note at notePath names more than plain names of files of its own
// folder, of the shapes the split gives them (its hidden names of the
// writer's temporary shape, each a file and no link, no link at the
// source's name); "" when it does not. A note outside a library folder is
// damage whatever it names.
std::string damageOf(const SplitNote& note, const std::string& notePath, bool libraryFolder);

// Appends the mark that the source has left the folder and waits until it
// is on the disk; false (errno says why) when it could not be written whole.
bool markMoved(const std::string& notePath);

// The source as a note records it: which file it is (device and inode), and
// a digest and SHA-1 of its content in hex.
std::string identityOf(const std::optional<userfiles::FileStamp>& stamp);
std::string hex(std::uint64_t value);
std::string sha1Of(const std::vector<unsigned char>& data);

}  // namespace splitnote
