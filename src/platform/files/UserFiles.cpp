#include "UserFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

namespace userfiles {
namespace {
constexpr int kMaxLinkHops = 40;
constexpr int kMaxFreeNames = 1000;
constexpr long kStaleAfterSeconds = 2;

std::mutex gFaultMutex;
std::optional<WriteFault> gFault;
int gMoveFault = 0;
std::function<void(std::string_view)> gStepRecorder;

// The fault for the write about to start, counting it off.
std::optional<WriteFault> takeFault() {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  if (!gFault) return std::nullopt;
  if (gFault->writesBeforeFailure > 0) {
    --gFault->writesBeforeFailure;
    return std::nullopt;
  }
  return gFault;
}

void record(std::string_view step) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  if (gStepRecorder) gStepRecorder(step);
}
}  // namespace

int syncFile(int fd) {
  record("fsync");
  return ::fsync(fd);
}

void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  record("fsync folder");
  (void)::fsync(fd);
  ::close(fd);
}

namespace {
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  int release() {
    const int f = fd;
    fd = -1;
    return f;
  }
};

// A temporary file written whole, and the open file that holds its lock.
struct Pending {
  std::string path;
  int holder = -1;
  Pending() = default;
  Pending(Pending&& other) noexcept : path(std::move(other.path)), holder(std::exchange(other.holder, -1)) {}
  Pending& operator=(Pending&&) = delete;
  ~Pending() {
    if (holder >= 0) ::close(holder);
  }
  bool empty() const { return path.empty(); }
};

std::string join(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// The file a path finally names once every link on the way is followed; ""
// when the links go round.
std::string followLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(current.c_str(), target, sizeof(target) - 1);
    if (n <= 0) return {};
    std::string next(target, static_cast<size_t>(n));
    current = next.front() == '/' ? next : folderOf(current) + next;
  }
  errno = ELOOP;
  return {};
}

bool writeRaw(int fd, const unsigned char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = EIO;
      return false;
    }
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

bool writeAll(int fd, const unsigned char* p, std::size_t n, const std::optional<WriteFault>& fault) {
  record("write");
  if (!fault || n <= fault->bytesBeforeFailure) return writeRaw(fd, p, n);
  if (!writeRaw(fd, p, fault->bytesBeforeFailure)) return false;
  errno = fault->error ? fault->error : ENOSPC;
  return false;
}

// A flushed and closed copy of the data beside the target, under a short
// name that fits any folder and that no bank-file scan reads; empty (nothing
// left behind) when it cannot be made whole. The copy stays locked while the
// result holds it: a load that clears what killed writers left never takes it.
Pending writeTemporary(const std::string& folder, const void* data, std::size_t size, mode_t mode) {
  Pending pending;
  std::string temp = join(folder, std::string(kTemporaryPrefix) + "XXXXXX");
  const auto fault = takeFault();
  if (fault && fault->atCreate) {
    errno = fault->error ? fault->error : EACCES;
    return pending;
  }
  Fd out;
  out.fd = ::mkstemp(temp.data());
  if (out.fd < 0) return pending;
  (void)::flock(out.fd, LOCK_EX | LOCK_NB);
  // The lock goes with the open file, which this copy keeps open: the close
  // below is still the one whose errors count.
  const int holder = ::fcntl(out.fd, F_DUPFD_CLOEXEC, 0);
  (void)::fchmod(out.fd, mode);
  bool ok = holder >= 0 && writeAll(out.fd, static_cast<const unsigned char*>(data), size, fault) &&
            syncFile(out.fd) == 0;
  const int saved = errno;
  record("close");
  ok = ::close(out.release()) == 0 && ok;
  if (ok) {
    pending.path = temp;
    pending.holder = holder;
    return pending;
  }
  const int error = errno ? errno : saved;
  ::unlink(temp.c_str());
  if (holder >= 0) ::close(holder);
  errno = error;
  return pending;
}

// Renames from to to unless something has that name already (EEXIST).
bool renameNoReplace(const std::string& from, const std::string& to) {
  record("rename");
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File systems without the flag: a hard link fails on an existing name too.
  if (::link(from.c_str(), to.c_str()) != 0) return false;
  ::unlink(from.c_str());
  return true;
}
}  // namespace

std::string cutToBytes(const std::string& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  size_t keep = limit;
  while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) --keep;
  return text.substr(0, keep);
}

std::string fitName(const std::string& name, std::size_t limit) {
  if (name.size() <= limit) return name;
  const size_t dot = name.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && dot > 0 && name.size() - dot < limit;
  const std::string extension = hasExtension ? name.substr(dot) : std::string();
  return cutToBytes(name.substr(0, hasExtension ? dot : name.size()), limit - extension.size()) + extension;
}

std::string numberedName(const std::string& name, int n) {
  if (n <= 1) return fitName(name);
  const size_t dot = name.find_last_of('.');
  const bool hasExtension = dot != std::string::npos && dot > 0;
  const std::string extension = hasExtension ? name.substr(dot) : std::string();
  const std::string number = " (" + std::to_string(n) + ")";
  const std::size_t taken = number.size() + extension.size();
  std::string stem = fitName(hasExtension ? name.substr(0, dot) : name, taken < kMaxNameBytes ? kMaxNameBytes - taken : 1);
  return fitName(stem + number + extension);
}

bool notAFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

bool nameTaken(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool writeFileAtomically(const std::string& path, const void* data, std::size_t size) {
  if (path.empty() || path.back() == '/') {
    errno = EINVAL;
    return false;
  }
  const std::string target = followLinks(path);
  if (target.empty()) return false;
  struct stat old {};
  mode_t mode = 0644;
  if (::stat(target.c_str(), &old) == 0) {
    if (!S_ISREG(old.st_mode)) {
      errno = EISDIR;
      return false;
    }
    // A file the user made read-only stays as it is, for root as well.
    if ((old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0) {
      errno = EACCES;
      return false;
    }
    mode = old.st_mode & 07777;
  }
  const std::string folder = folderOf(target);
  const Pending pending = writeTemporary(folder, data, size, mode);
  if (pending.empty()) return false;
  const std::string& temp = pending.path;
  record("rename");
  if (::rename(temp.c_str(), target.c_str()) == 0) {
    syncFolder(folder);
    return true;
  }
  const int error = errno;
  ::unlink(temp.c_str());
  errno = error;
  return false;
}

namespace {
// Gives a temporary file the first free name of the free-name search.
std::string publishUnderFreeName(const std::string& temp, const std::string& folder, const std::string& name) {
  for (int n = 1; n <= kMaxFreeNames; ++n) {
    const std::string candidate = join(folder, numberedName(name, n));
    if (renameNoReplace(temp, candidate)) {
      syncFolder(folder);
      return candidate;
    }
    if (errno != EEXIST) break;
  }
  return {};
}
}  // namespace

std::string writeUnderFreeName(const std::string& folder, const std::string& name, const void* data,
                               std::size_t size) {
  const Pending pending = writeTemporary(folder, data, size, 0644);
  if (pending.empty()) return {};
  const std::string written = publishUnderFreeName(pending.path, folder, name);
  if (!written.empty()) return written;
  const int error = errno;
  ::unlink(pending.path.c_str());
  errno = error;
  return {};
}

PendingFile::PendingFile(const std::string& folder, const void* data, std::size_t size) : mFolder(folder) {
  Pending pending = writeTemporary(folder, data, size, 0644);
  mPath = std::move(pending.path);
  mHolder = std::exchange(pending.holder, -1);
}

PendingFile::~PendingFile() {
  if (!mPath.empty()) ::unlink(mPath.c_str());
  if (mHolder >= 0) ::close(mHolder);
}

std::string PendingFile::publish(const std::string& name) {
  if (mPath.empty()) return {};
  std::string written = publishUnderFreeName(mPath, mFolder, name);
  if (!written.empty()) mPath.clear();
  return written;
}

bool isTemporaryName(const std::string& name) {
  // mkstemp's shape: six of its letters and digits after the prefix.
  constexpr std::size_t kRandomChars = 6;
  const std::size_t prefix = std::strlen(kTemporaryPrefix);
  if (name.size() != prefix + kRandomChars || name.compare(0, prefix, kTemporaryPrefix) != 0) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  });
}

StaleFile::StaleFile(StaleFile&& other) noexcept
    : path(std::move(other.path)), young(other.young), mFd(std::exchange(other.mFd, -1)) {}

StaleFile::~StaleFile() {
  if (mFd >= 0) ::close(mFd);
}

std::vector<StaleFile> staleTemporaries(const std::string& folder, bool young) {
  std::vector<StaleFile> stale;
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return stale;
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir))
    if (isTemporaryName(entry->d_name)) names.emplace_back(entry->d_name);
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string path = join(folder, name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat info {};
    // A writer locks its file as soon as it made it; one just made may not
    // be locked yet, so a file is stale only some seconds after its last
    // write, or once it holds data. An empty young file is not even locked
    // here: its writer's lock would fail.
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const bool old = regular && now.tv_sec - info.st_mtim.tv_sec >= kStaleAfterSeconds;
    const bool taken = (old || (young && regular && info.st_size > 0)) && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    if (!taken) {
      ::close(fd);
      continue;
    }
    StaleFile file;
    file.path = path;
    file.young = !old;
    file.mFd = fd;
    stale.push_back(std::move(file));
  }
  return stale;
}

std::uint64_t digestOf(const void* data, std::size_t size) {
  // Eight bytes a step, each mixed in by multiplication, then a final mix:
  // not for adversaries, only to tell one version of a file from another.
  constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ull;
  const auto* p = static_cast<const unsigned char*>(data);
  std::uint64_t h = 0x243F6A8885A308D3ull ^ (size * kMul);
  auto mix = [](std::uint64_t x) {
    x ^= x >> 31;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 29;
    return x;
  };
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, p + i, 8);
    h = (h ^ mix(word)) * kMul;
    h ^= h >> 27;
  }
  std::uint64_t tail = 0;
  for (std::size_t k = 0; i + k < size; ++k) tail |= static_cast<std::uint64_t>(p[i + k]) << (8 * k);
  h = (h ^ mix(tail ^ 0xFF)) * kMul;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDull;
  h ^= h >> 33;
  return h;
}

std::string moveUnderFreeName(const std::string& source, const std::string& folder, const std::string& name) {
  {
    std::lock_guard<std::mutex> lock(gFaultMutex);
    if (gMoveFault) {
      errno = gMoveFault;
      return {};
    }
  }
  for (int n = 1; n <= kMaxFreeNames; ++n) {
    const std::string candidate = join(folder, numberedName(name, n));
    if (renameNoReplace(source, candidate)) return candidate;
    if (errno == EEXIST) continue;
    if (errno != EXDEV) return {};
    // Another file system: a copy under a free name, then the source goes.
    const auto data = readWholeFile(source, static_cast<std::size_t>(-1));
    if (!data) return {};
    const std::string copy = writeUnderFreeName(folder, name, *data);
    if (copy.empty()) return {};
    if (::unlink(source.c_str()) == 0) return copy;
    ::unlink(copy.c_str());
    return {};
  }
  return {};
}

std::optional<std::vector<unsigned char>> readWholeFile(const std::string& path, std::size_t maxSize) {
  Fd in;
  // Opened without waiting: a named pipe would hold open() until another
  // program writes into it.
  in.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (in.fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(in.fd, &info) != 0) return std::nullopt;
  if (!S_ISREG(info.st_mode)) {
    errno = EISDIR;
    return std::nullopt;
  }
  (void)::fcntl(in.fd, F_SETFL, ::fcntl(in.fd, F_GETFL) & ~O_NONBLOCK);
  if (static_cast<unsigned long long>(info.st_size) > maxSize) return std::nullopt;
  std::vector<unsigned char> data(static_cast<std::size_t>(info.st_size));
  std::size_t got = 0;
  while (got < data.size()) {
    const ssize_t r = ::read(in.fd, data.data() + got, data.size() - got);
    if (r < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (r == 0) break;
    got += static_cast<std::size_t>(r);
  }
  if (got != data.size()) return std::nullopt;
  return data;
}

void setWriteFault(std::optional<WriteFault> fault) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gFault = fault;
}

void setMoveFault(int error) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gMoveFault = error;
}

void setStepRecorder(std::function<void(std::string_view)> recorder) {
  std::lock_guard<std::mutex> lock(gFaultMutex);
  gStepRecorder = std::move(recorder);
}

std::string folderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace userfiles
