#include "SplitNote.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <set>

#include <Poco/DigestEngine.h>
#include <Poco/SHA1Engine.h>

#include "UserFiles.h"

namespace splitnote {
namespace {
// Every version's head starts so; the version's digit and the end of the
// field follow.
constexpr const char* kHeadStart = "tvx split ";

// The fields of text ended by end; a last field not ended is left out.
std::vector<std::string> fieldsOf(const std::vector<unsigned char>& text, char end) {
  std::vector<std::string> fields;
  std::string field;
  for (const unsigned char c : text) {
    if (c != static_cast<unsigned char>(end)) {
      field += static_cast<char>(c);
      continue;
    }
    fields.push_back(std::move(field));
    field.clear();
  }
  return fields;
}

constexpr std::size_t kDigestDigits = 16;
constexpr std::size_t kSha1Digits = 40;

// Lower-case hex digits, as the writer gives them, of that many.
bool isHex(const std::string& text, std::size_t digits) {
  return text.size() == digits &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// A count of bytes in decimal digits; nothing for an empty field, a sign,
// junk or a number larger than 64 bits hold.
std::optional<std::uint64_t> byteCount(const std::string& text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

// A file's device and inode ("device:inode"), or nothing recorded.
bool isIdentity(const std::string& text) {
  if (text.empty()) return true;
  const std::size_t colon = text.find(':');
  return colon != std::string::npos && byteCount(text.substr(0, colon)) && byteCount(text.substr(colon + 1));
}

bool isLink(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// Something other than a regular file has the name: a link, a folder.
bool isNoFile(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}
}  // namespace

std::optional<SplitNote> read(const std::vector<unsigned char>& text) {
  const auto startsWith = [&](const char* head, char end) {
    const std::size_t n = std::strlen(head);
    return text.size() > n && std::equal(head, head + n, text.begin()) && text[n] == static_cast<unsigned char>(end);
  };
  const bool lines = startsWith(kLines, '\n');
  const bool current = !lines && startsWith(kCurrent, '\0');
  const bool proving = current || (!lines && startsWith(kProving, '\0'));
  const bool hiding = proving || (!lines && startsWith(kHidden, '\0'));
  if (!lines && !hiding && !startsWith(kIdentity, '\0')) return std::nullopt;
  const std::vector<std::string> fields = fieldsOf(text, lines ? '\n' : '\0');
  const std::size_t head = lines ? 3 : proving ? 7 : hiding ? 5 : 4;
  const std::size_t perPiece = lines ? 1 : current ? 4 : 2;
  if (fields.size() < head) return std::nullopt;
  SplitNote note;
  // The first field that does not read makes the note damage.
  const auto unreadable = [&](const char* what) {
    if (note.unreadable.empty()) note.unreadable = std::string("a ") + what + " that does not read";
  };
  note.source = fields[1];
  note.digest = fields[2];
  if (!isHex(note.digest, kDigestDigits)) unreadable("digest");
  if (!lines) {
    note.identity = fields[3];
    if (!isIdentity(note.identity)) unreadable("identity");
  }
  if (proving) {
    note.size = byteCount(fields[5]);
    if (!note.size) unreadable("size");
    note.sha1 = fields[6];
    if (!isHex(note.sha1, kSha1Digits)) unreadable("SHA-1");
  }
  if (hiding) {
    note.hiddenSource = fields[4];
    note.recordsMove = true;
    // The mark follows the pieces: a field of its own at the end.
    note.moved = (fields.size() - head) % perPiece == 1 && fields.back() == kMovedMark;
  }
  // A piece whose fields are not all whole (a note cut short) is not named.
  for (std::size_t i = head; i + perPiece <= fields.size(); i += perPiece) {
    Piece piece;
    if (lines) {
      const std::size_t tab = fields[i].find('\t');
      if (tab == std::string::npos) {
        unreadable("piece's line");
        continue;
      }
      piece.hidden = fields[i].substr(0, tab);
      piece.name = fields[i].substr(tab + 1);
    } else {
      piece.hidden = fields[i];
      piece.name = fields[i + 1];
    }
    if (current) {
      piece.size = byteCount(fields[i + 2]);
      if (!piece.size) unreadable("piece's size");
      piece.sha1 = fields[i + 3];
      if (!isHex(piece.sha1, kSha1Digits)) unreadable("piece's SHA-1");
    }
    note.pieces.push_back(std::move(piece));
  }
  return note;
}

std::optional<Remains> remainsOf(const std::vector<unsigned char>& text) {
  const std::size_t start = std::strlen(kHeadStart);
  if (text.empty() || !std::equal(text.begin(), text.begin() + static_cast<long>(std::min(text.size(), start)),
                                  kHeadStart))
    return std::nullopt;
  Remains remains;
  if (text.size() < start + 2) return remains;
  const char version = static_cast<char>(text[start]);
  const bool lines = version == '1' && text[start + 1] == '\n';
  const std::vector<std::string> fields = fieldsOf(text, lines ? '\n' : '\0');
  if (fields.size() > 1 && isBankFileName(fields[1])) remains.source = fields[1];
  const bool hiding = !lines && version >= '3' && version <= '5';
  if (hiding && fields.size() > 4 && userfiles::isTemporaryName(fields[4])) remains.hiddenSource = fields[4];
  return remains;
}

bool isPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool isBankFileName(const std::string& name) {
  const std::size_t dot = name.find_last_of('.');
  if (!isPlainName(name) || dot == std::string::npos) return false;
  std::string extension = name.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == "syx" || extension == "mid" || extension == "tvx";
}

std::string damageOf(const SplitNote& note, const std::string& notePath, bool libraryFolder) {
  if (!libraryFolder) return "a note outside a library folder";
  if (!note.unreadable.empty()) return note.unreadable;
  const std::string folder = userfiles::folderOf(notePath);
  if (!isPlainName(note.source)) return "a source that is no plain name";
  // A source the library would not list, or of the temporary shape, is no
  // file a split took: moved on its word, it would leave the user's sight.
  if (!isBankFileName(note.source)) return "a source that is no bank file's name";
  if (isLink(folder + note.source)) return "a source that is a link";
  std::vector<std::string> hidden;
  if (note.recordsMove) hidden.push_back(note.hiddenSource);
  for (const Piece& piece : note.pieces) {
    if (!isBankFileName(piece.name)) return "a piece's name that is no bank file's name";
    hidden.push_back(piece.hidden);
  }
  // Each hidden name once, none of them the note's own.
  std::set<std::string> seen = {userfiles::nameOf(notePath)};
  for (const std::string& name : hidden) {
    if (!userfiles::isTemporaryName(name)) return "a hidden name of another shape";
    if (!seen.insert(name).second) return "a hidden name given twice";
    if (isNoFile(folder + name)) return "a hidden name of a link or a folder";
  }
  return {};
}

bool markMoved(const std::string& notePath) {
  const int fd = ::open(notePath.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return false;
  const std::size_t size = std::strlen(kMovedMark) + 1;  // with its NUL
  // On the disk before the source moves on: a power cut after the move must
  // not leave a note that says the split was never done.
  const bool written = ::write(fd, kMovedMark, size) == static_cast<ssize_t>(size) && userfiles::syncFile(fd) == 0;
  const int error = errno;
  const bool closed = ::close(fd) == 0;
  errno = error;
  return written && closed;
}

std::string identityOf(const std::optional<userfiles::FileStamp>& stamp) {
  if (!stamp) return {};
  return std::to_string(stamp->device) + ":" + std::to_string(stamp->inode);
}

std::string hex(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::string sha1Of(const std::vector<unsigned char>& data) {
  Poco::SHA1Engine engine;
  engine.update(data.data(), static_cast<unsigned>(data.size()));
  return Poco::DigestEngine::digestToHex(engine.digest());
}

}  // namespace splitnote
