// Files the user keeps (banks, settings, program and bank files, ini files).
// Every write goes to a temporary file in the target's folder, which is
// flushed, closed with its errors checked and then renamed over the target,
// so a failed or short write leaves the old file as it was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace userfiles {

// Replaces path with size bytes of data. A symbolic link is followed: its
// target is written and the link stays. A target that is read-only or not a
// regular file is not replaced. False on any failure (errno says why); the
// old file is then unchanged and no temporary file is left.
bool writeFileAtomically(const std::string& path, const void* data, std::size_t size);
inline bool writeFileAtomically(const std::string& path, std::string_view text) {
  return writeFileAtomically(path, text.data(), text.size());
}
inline bool writeFileAtomically(const std::string& path, const std::vector<unsigned char>& bytes) {
  return writeFileAtomically(path, bytes.data(), bytes.size());
}

// Writes folder/name, or the first of "stem (2).ext", "stem (3).ext", ...
// that names no file, never over an existing file (or link). The path
// written, or "" when nothing could be written.
std::string writeUnderFreeName(const std::string& folder, const std::string& name, const void* data, std::size_t size);
inline std::string writeUnderFreeName(const std::string& folder, const std::string& name,
                                      const std::vector<unsigned char>& bytes) {
  return writeUnderFreeName(folder, name, bytes.data(), bytes.size());
}

// The start of the name of every temporary file the writer makes. A writer
// holds a lock on its file until it is renamed or removed.
inline constexpr const char* kTemporaryPrefix = ".tvx-";
// Whether a name has the writer's own temporary shape: the prefix and six
// letters or digits, nothing else. A file of the user's such as
// ".tvx-notes" is not one.
bool isTemporaryName(const std::string& name);

// Data written whole (flushed, closed) beside the files of a folder under a
// temporary name, held there until publish() gives it its name; the object
// going removes a file not published. path() is "" when it could not be
// written (errno says why).
class PendingFile {
 public:
  PendingFile(const std::string& folder, const void* data, std::size_t size);
  PendingFile(const std::string& folder, const std::vector<unsigned char>& bytes)
      : PendingFile(folder, bytes.data(), bytes.size()) {}
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  const std::string& path() const { return mPath; }
  // Renames it to name or the first free name as writeUnderFreeName does;
  // the path written, or "" (errno says why).
  std::string publish(const std::string& name);
  // Leaves the file where it is for a later load to take up.
  void abandon() { mPath.clear(); }

 private:
  std::string mFolder;
  std::string mPath;
  int mHolder = -1;
};

// A temporary file of the writer's that no live writer holds: left by a
// process killed (or a machine stopped) while it wrote. Locked while the
// object lives, so that two loads never handle it at once.
class StaleFile {
 public:
  StaleFile() = default;
  StaleFile(StaleFile&& other) noexcept;
  StaleFile& operator=(StaleFile&&) = delete;
  ~StaleFile();
  std::string path;
  // Written in the last seconds (taken only when asked for).
  bool young = false;

 private:
  friend std::vector<StaleFile> staleTemporaries(const std::string& folder, bool young);
  int mFd = -1;
};
// The stale temporary files of folder, in name order; files written in the
// last seconds are not taken, as their writer may not have locked them yet.
// With young, such files are taken too once they hold data: a writer locks
// its file before it writes to it, so one that holds data and is not locked
// has no live writer.
std::vector<StaleFile> staleTemporaries(const std::string& folder, bool young = false);

// A digest of data that tells one version of a file from another, whatever
// the file's stamps say.
std::uint64_t digestOf(const void* data, std::size_t size);
inline std::uint64_t digestOf(const std::vector<unsigned char>& bytes) { return digestOf(bytes.data(), bytes.size()); }

// Moves source into folder under name, or under the first free name as
// above, never over an existing file. The new path, or "" when the source
// stays where it was.
std::string moveUnderFreeName(const std::string& source, const std::string& folder, const std::string& name);

// The longest file name the file systems take, in bytes.
constexpr std::size_t kMaxNameBytes = 255;

// text cut to at most limit bytes, never inside a UTF-8 character.
std::string cutToBytes(const std::string& text, std::size_t limit);

// name cut to at most limit bytes: the stem is shortened (never inside a
// UTF-8 character) and the extension kept.
std::string fitName(const std::string& name, std::size_t limit = kMaxNameBytes);

// The n-th candidate name of the free-name search: name itself for n 1,
// else "stem (n).ext"; the stem is shortened where the name would not fit.
std::string numberedName(const std::string& name, int n);

// The whole file, or nothing when it cannot be opened, is not a regular
// file (errno EISDIR; a named pipe or a device is never waited on), is
// larger than maxSize, or cannot be read to its end.
std::optional<std::vector<unsigned char>> readWholeFile(const std::string& path, std::size_t maxSize);

// The folder part of a path with its closing slash ("" for a bare name),
// and the name after the last slash.
std::string folderOf(const std::string& path);
std::string nameOf(const std::string& path);

// Whether path, links followed, names something other than a regular file:
// a folder, a named pipe, a device or a socket.
bool notAFile(const std::string& path);

// Whether something (a file, a folder, a link, even a dangling one) has
// that name.
bool nameTaken(const std::string& path);

// A test seam standing for a full disk or a folder that takes no file: while
// set, the data of every write stops after bytesBeforeFailure bytes with the
// error (ENOSPC by default); with atCreate the temporary file cannot be made
// (EACCES by default). The first writesBeforeFailure writes go through.
struct WriteFault {
  std::size_t bytesBeforeFailure = 0;
  int error = 0;
  int writesBeforeFailure = 0;
  bool atCreate = false;
};
void setWriteFault(std::optional<WriteFault> fault);

// A test seam standing for a folder that takes no new name (a full disk, a
// read-only folder): while error is not 0, every moveUnderFreeName fails
// with it and the source stays where it was.
void setMoveFault(int error);

// Waits until what was written to the open file is on the disk (0, else
// -1 and errno), and until the names a folder gives its files are (a
// rename reaches the disk only with its folder).
int syncFile(int fd);
void syncFolder(const std::string& folder);

// A test seam: the recorder hears each step of every write as it is taken
// ("write", "fsync", "close", "rename", "fsync folder").
void setStepRecorder(std::function<void(std::string_view)> recorder);

}  // namespace userfiles
