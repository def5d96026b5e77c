#include "IniFiles.h"

#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "BaseServices.h"
#include "UserFiles.h"

namespace {

struct CaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

typedef std::map<std::string, std::string, CaseLess> Section;

struct IniFileContext {
  uint64_t accessCount = 0;
  uint32_t fileTime = 0;
  uint32_t fileSize = 0;
  bool used = false;
  std::string path;
  std::map<std::string, Section, CaseLess> sections;
  // Lines the parser does not understand are kept and written back: those
  // before the first section, and those of each section that are no entry.
  std::vector<std::string> preamble;
  std::map<std::string, std::vector<std::string>, CaseLess> otherLines;
  // False when the file could not be read to its end: it is then never
  // written back, so what was not read stays in it.
  bool complete = true;
};

std::recursive_mutex gMutex;
IniFileContext gCtxs[32];
uint64_t gAccCnt = 0;

void statFile(const std::string& path, uint32_t* time, uint32_t* size) {
  struct stat st;
  if (path.empty() || stat(path.c_str(), &st)) {
    *time = *size = 0;
    return;
  }
  *time = uint32_t(st.st_mtime);
  *size = uint32_t(uint64_t(st.st_size) & 0xFFFFFFFFu);
}

void rtrim(std::string& s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.pop_back();
}

// Reads one line of at most 32 MiB; the rest of a longer line is the next line.
bool readLine(FILE* f, std::string& line) {
  line.clear();
  int c;
  while ((c = fgetc(f)) != EOF) {
    line.push_back(char(c));
    if (c == '\n' || line.size() >= 0x2000000) return true;
  }
  return !line.empty();
}

void loadFile(IniFileContext& ctx) {
  ctx.sections.clear();
  ctx.preamble.clear();
  ctx.otherLines.clear();
  ctx.complete = true;
  FILE* f = fopen(ctx.path.c_str(), "r");
  if (!f) {
    // A file that is there but cannot be opened is not replaced by a write.
    ctx.complete = errno == ENOENT;
    ctx.fileTime = ctx.fileSize = 0;
    return;
  }
  flock(fileno(f), LOCK_SH);
  // Entries are collected unsorted per section, then sorted once at the section's end.
  std::vector<std::pair<std::string, std::string>> entries;
  Section* current = nullptr;
  std::vector<std::string>* kept = &ctx.preamble;
  auto finish = [&] {
    if (!current) return;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return CaseLess()(a.first, b.first); });
    // Of equal keys the last line read survives.
    for (auto& e : entries) (*current)[e.first] = e.second;
    entries.clear();
  };
  size_t preamble = 0;
  bool sawSection = false;
  std::string raw;
  while (readLine(f, raw)) {
    if (!sawSection) {
      preamble += raw.size();
      if (preamble > 0x40000) {
        ctx.complete = false;
        break;
      }
    }
    rtrim(raw);
    // Names and values end at a NUL byte; the blanks before it are trimmed
    // as at a line's end, so an entry reads the same once written back.
    std::string text = raw.substr(0, raw.find('\0'));
    rtrim(text);
    size_t start = text.find_first_not_of(" \t");
    if (start == std::string::npos) {
      if (text.size() < raw.size()) kept->push_back(raw);
      continue;
    }
    const char* line = text.c_str() + start;
    if (line[0] == '[') {
      const char* close = strchr(line, ']');
      if (!close) {
        kept->push_back(raw);
        continue;
      }
      finish();
      sawSection = true;
      std::string name(line + 1, close);
      if (name.empty()) {
        current = nullptr;
        kept = &ctx.preamble;
        kept->push_back(raw);
        continue;
      }
      // A section met again goes on where its first occurrence ended.
      current = &ctx.sections[name];
      kept = &ctx.otherLines[name];
      continue;
    }
    const char* eq = strchr(line, '=');
    if (!current || !eq || eq == line) {
      kept->push_back(raw);
      continue;
    }
    entries.emplace_back(std::string(line, eq), std::string(eq + 1));
  }
  finish();
  if (ferror(f)) ctx.complete = false;
  if (ctx.complete) {
    statFile(ctx.path, &ctx.fileTime, &ctx.fileSize);
  } else {
    // Looked at again by the next call, in case it can be read by then.
    ctx.fileTime = ctx.fileSize = 0;
  }
  flock(fileno(f), LOCK_UN);
  fclose(f);
}

IniFileContext* getFileContext(const char* fn) {
  IniFileContext* taken = nullptr;
  IniFileContext* lru = nullptr;
  for (auto& ctx : gCtxs) {
    if (!ctx.used || !strcasecmp(ctx.path.c_str(), fn)) {
      taken = &ctx;
      break;
    }
    if (!lru || ctx.accessCount < lru->accessCount) lru = &ctx;
  }
  if (!taken) taken = lru;
  taken->accessCount = ++gAccCnt;
  if (taken->used && !strcasecmp(taken->path.c_str(), fn)) {
    uint32_t t, s;
    statFile(fn, &t, &s);
    if (t == taken->fileTime && s == taken->fileSize) return taken;
  } else {
    taken->path = fn;
    taken->used = true;
  }
  loadFile(*taken);
  return taken;
}

// Rewrites the whole file; false when it could not be replaced, leaving the old file.
bool writeBackFile(IniFileContext& ctx) {
  std::string text;
  for (const auto& line : ctx.preamble) text += line + "\n";
  for (auto& [name, section] : ctx.sections) {
    text += "[" + name + "]\n";
    if (auto other = ctx.otherLines.find(name); other != ctx.otherLines.end())
      for (const auto& line : other->second) text += line + "\n";
    for (auto& [key, value] : section)
      if (!key.empty()) text += key + "=" + value + "\n";
    text += "\n";
  }
  if (!userfiles::writeFileAtomically(ctx.path, text)) return false;
  statFile(ctx.path, &ctx.fileTime, &ctx.fileSize);
  return true;
}

// Whether a text can be written as a section name, key or value and read
// back as the same: a line break would start a new line, a "]" end a
// section name early, a "=" split a key; an empty section name is no
// section, and a key that begins with a blank or "[" is read otherwise.
bool writable(const char* text, const char* forbidden) {
  return !text || !strpbrk(text, forbidden);
}
bool writableSection(const char* name) { return name && *name && writable(name, "\r\n]"); }
bool writableKey(const char* key) { return !key || (writable(key, "\r\n=") && !strchr(" \t[", key[0])); }

// Trimmed of blanks, then of one pair of matching quotes.
std::string readerValue(const std::string& v) {
  size_t b = v.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = v.find_last_not_of(" \t");
  std::string s = v.substr(b, e - b + 1);
  if (s.size() >= 2 && s.front() == s.back() && (s.front() == '\'' || s.front() == '"'))
    s = s.substr(1, s.size() - 2);
  return s;
}

int writeList(const std::vector<std::string>& names, char* ret, int retsize) {
  if (!ret || retsize < 1) return 0;
  if (retsize < 2) {
    ret[0] = 0;
    return 0;
  }
  std::string list;
  for (auto& n : names)
    if (!n.empty()) {
      list += n;
      list.push_back(0);
    }
  if (list.empty()) {
    ret[0] = ret[1] = 0;
    return 0;
  }
  if (int(list.size()) + 1 <= retsize) {
    memcpy(ret, list.data(), list.size());
    ret[list.size()] = 0;
    return int(list.size()) - 1;
  }
  int n = retsize - 2;
  memcpy(ret, list.data(), size_t(n));
  ret[n] = ret[n + 1] = 0;
  return n;
}

}  // namespace

void SWELL_ResetIniCache() {
  std::lock_guard lock(gMutex);
  for (auto& ctx : gCtxs) ctx = IniFileContext();
  gAccCnt = 0;
}

int GetPrivateProfileString(const char* appname, const char* keyname, const char* def, char* ret, int retsize,
                            const char* fn) {
  if (!fn) return 0;
  std::lock_guard lock(gMutex);
  IniFileContext* ctx = getFileContext(fn);
  if (!appname || !keyname) {
    std::vector<std::string> names;
    if (!appname) {
      for (auto& s : ctx->sections) names.push_back(s.first);
    } else if (auto it = ctx->sections.find(appname); it != ctx->sections.end()) {
      for (auto& e : it->second) names.push_back(e.first);
    }
    return writeList(names, ret, retsize);
  }
  if (!ret || retsize < 1) return 0;
  std::string value = def ? def : "";
  if (auto it = ctx->sections.find(appname); it != ctx->sections.end())
    if (auto k = it->second.find(keyname); k != it->second.end()) value = readerValue(k->second);
  lstrcpyn(ret, value.c_str(), retsize);
  return int(strlen(ret));
}

int GetPrivateProfileInt(const char* appname, const char* keyname, int def, const char* fn) {
  char buf[512];
  GetPrivateProfileString(appname, keyname, "", buf, sizeof buf, fn);
  if (!buf[0]) return def;
  int v = atoi(buf);
  return v || buf[0] == '0' ? v : def;
}

int GetPrivateProfileSection(const char* appname, char* strout, int strout_len, const char* fn) {
  if (!strout || strout_len < 2) {
    if (strout && strout_len == 1) strout[0] = 0;
    return 0;
  }
  if (!fn || !appname) {
    strout[0] = strout[1] = 0;
    return 0;
  }
  std::lock_guard lock(gMutex);
  IniFileContext* ctx = getFileContext(fn);
  auto it = ctx->sections.find(appname);
  if (it == ctx->sections.end() || it->second.empty()) {
    strout[0] = strout[1] = 0;
    return 0;
  }
  std::string text;
  for (auto& [k, v] : it->second) {
    text += k + "=" + readerValue(v);
    text.push_back(0);
  }
  if (int(text.size()) < strout_len) {
    memcpy(strout, text.data(), text.size());
    strout[text.size()] = 0;
    return int(text.size());
  }
  memcpy(strout, text.data(), size_t(strout_len));
  strout[strout_len - 1] = 0;
  return strout_len - 2;
}

BOOL GetPrivateProfileStruct(const char* appname, const char* keyname, void* buf, int size, const char* fn) {
  if (!appname || !keyname || !buf || size < 0) return 0;
  std::vector<char> text(size_t(size) * 2 + 17);
  GetPrivateProfileString(appname, keyname, "", text.data(), int(text.size()), fn);
  if (strlen(text.data()) != size_t(size) * 2 + 2) return 0;
  auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  // Parsed into scratch memory: a rejected value leaves the caller's buffer alone.
  std::vector<unsigned char> bytes(size_t(size) + 1);
  unsigned sum = 0;
  for (int i = 0; i <= size; ++i) {
    int hi = hex(text[size_t(i) * 2]), lo = hex(text[size_t(i) * 2 + 1]);
    if (hi < 0 || lo < 0) return 0;
    bytes[size_t(i)] = (unsigned char)(hi * 16 + lo);
    if (i < size) sum += bytes[size_t(i)];
  }
  if ((sum & 0xFF) != bytes[size_t(size)]) return 0;
  memcpy(buf, bytes.data(), size_t(size));
  return 1;
}

BOOL WritePrivateProfileString(const char* appname, const char* keyname, const char* val, const char* fn) {
  if (!appname || !fn || (keyname && !*keyname)) return 0;
  if (!writableSection(appname) || !writableKey(keyname) || !writable(val, "\r\n")) return 0;
  std::lock_guard lock(gMutex);
  IniFileContext* ctx = getFileContext(fn);
  if (!ctx->complete) return 0;
  if (!keyname) {
    auto it = ctx->sections.find(appname);
    if (it != ctx->sections.end()) ctx->sections.erase(it);
    ctx->otherLines.erase(appname);
    return writeBackFile(*ctx);
  }
  if (!val) {
    if (auto it = ctx->sections.find(appname); it != ctx->sections.end())
      if (auto k = it->second.find(keyname); k != it->second.end()) it->second.erase(k);
    return writeBackFile(*ctx);
  }
  Section& section = ctx->sections[appname];
  if (auto k = section.find(keyname); k != section.end()) {
    if (k->second == val) return 1;
    k->second = val;
  } else {
    section[keyname] = val;
  }
  return writeBackFile(*ctx);
}

BOOL WritePrivateProfileSection(const char* appname, const char* strings, const char* fn) {
  if (!appname || !fn || !writableSection(appname)) return 0;
  std::lock_guard lock(gMutex);
  IniFileContext* ctx = getFileContext(fn);
  if (!ctx->complete) return 0;
  auto it = ctx->sections.find(appname);
  bool empty = !strings || !*strings;
  if (it == ctx->sections.end()) {
    if (empty) return 1;
    it = ctx->sections.emplace(appname, Section()).first;
  } else {
    it->second.clear();
  }
  for (const char* p = strings; p && *p; p += strlen(p) + 1) {
    size_t len = strlen(p);
    const char* eq = static_cast<const char*>(memchr(p, '=', std::min<size_t>(len, 8191)));
    if (!eq || strpbrk(p, "\r\n") || strchr(" \t[", p[0])) continue;
    it->second[std::string(p, eq)] = std::string(eq + 1);
  }
  return writeBackFile(*ctx);
}

BOOL WritePrivateProfileStruct(const char* appname, const char* keyname, const void* buf, int size,
                               const char* fn) {
  if (!keyname || !buf) return WritePrivateProfileString(appname, keyname, static_cast<const char*>(buf), fn);
  std::string text;
  unsigned sum = 0;
  char hex[3];
  for (int i = 0; i < size; ++i) {
    unsigned char b = static_cast<const unsigned char*>(buf)[i];
    snprintf(hex, sizeof hex, "%02X", b);
    text += hex;
    sum += b;
  }
  snprintf(hex, sizeof hex, "%02X", sum & 0xFF);
  text += hex;
  return WritePrivateProfileString(appname, keyname, text.c_str(), fn);
}
