#include "LibraryFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

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

bool writeAll(int fd, const unsigned char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) return false;
    p += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}
}  // namespace

bool writeFileAtomically(const std::string& path, const Bytes& data) {
  if (path.empty() || path.back() == '/') return false;
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // A name no bank-file scan accepts, so a crash mid-write leaves no bank.
  std::string temp = folder + "." + name + ".XXXXXX";
  Fd out;
  out.fd = ::mkstemp(temp.data());
  if (out.fd < 0) return false;
  struct stat old {};
  const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  (void)::fchmod(out.fd, mode);
  bool ok = writeAll(out.fd, data.data(), data.size()) && ::fsync(out.fd) == 0;
  ok = ::close(out.release()) == 0 && ok;
  if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

std::optional<Bytes> readWholeFile(const std::string& path, std::size_t maxSize) {
  Fd in;
  in.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in.fd < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(in.fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (static_cast<unsigned long long>(info.st_size) > maxSize) return std::nullopt;
  Bytes data(static_cast<std::size_t>(info.st_size));
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
