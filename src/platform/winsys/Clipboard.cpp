// The clipboard: registered formats, text on the general pasteboard, other
// formats on the application's own named pasteboard.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Swell.h"
#include "model/Pasteboard.h"

using winsys::Pasteboard;

namespace {

struct PendingClip {
  UINT fmt;
  HGLOBAL h;
};

std::vector<std::string> m_clip_fmts;
std::vector<UINT> m_clip_curfmts;
std::vector<PendingClip> m_clipsPending;
std::vector<HGLOBAL> m_clip_recs;

const char* kTextFormat = "SWELL__CF_TEXT";
const char* kAppPasteboard = "SWELL_APP";

// The pasteboard type a registered format stands for.
std::string typeOf(UINT fmt) {
  const std::string& name = m_clip_fmts[fmt - 1];
  return name == kTextFormat ? Pasteboard::kStringType : name;
}

bool isText(UINT fmt) { return fmt >= 1 && fmt <= m_clip_fmts.size() && m_clip_fmts[fmt - 1] == kTextFormat; }

void freePending() {
  for (auto& p : m_clipsPending) GlobalFree(p.h);
  m_clipsPending.clear();
}

}  // namespace

UINT RegisterClipboardFormat(const char* name) {
  if (!name) return 0;
  for (size_t i = 0; i < m_clip_fmts.size(); ++i)
    if (m_clip_fmts[i] == name) return UINT(i + 1);
  m_clip_fmts.push_back(name);
  return UINT(m_clip_fmts.size());
}

bool OpenClipboard(HWND) {
  freePending();
  RegisterClipboardFormat(kTextFormat);
  m_clip_curfmts.clear();
  for (const std::string& type : Pasteboard::named(kAppPasteboard).types()) {
    std::string name = type == Pasteboard::kStringType ? kTextFormat : type;
    for (size_t i = 0; i < m_clip_fmts.size(); ++i)
      if (m_clip_fmts[i] == name) {
        UINT id = UINT(i + 1);
        if (std::find(m_clip_curfmts.begin(), m_clip_curfmts.end(), id) == m_clip_curfmts.end())
          m_clip_curfmts.push_back(id);
      }
  }
  return true;
}

UINT EnumClipboardFormats(UINT prev) {
  if (!prev) return m_clip_curfmts.empty() ? 0 : m_clip_curfmts.front();
  auto it = std::find(m_clip_curfmts.begin(), m_clip_curfmts.end(), prev);
  if (it == m_clip_curfmts.end() || ++it == m_clip_curfmts.end()) return 0;
  return *it;
}

void EmptyClipboard() { freePending(); }

void SetClipboardData(UINT fmt, HGLOBAL h) { m_clipsPending.push_back({fmt, h}); }

void CloseClipboard() {
  for (HGLOBAL h : m_clip_recs) GlobalFree(h);
  m_clip_recs.clear();
  if (m_clipsPending.empty()) return;
  bool anyText = false;
  for (auto& p : m_clipsPending) anyText |= isText(p.fmt);
  Pasteboard& pb = anyText ? Pasteboard::general() : Pasteboard::named(kAppPasteboard);
  std::vector<std::string> types;
  for (auto& p : m_clipsPending)
    if (p.fmt >= 1 && p.fmt <= m_clip_fmts.size()) types.push_back(typeOf(p.fmt));
  pb.declareTypes(types);
  for (auto& p : m_clipsPending) {
    if (p.fmt < 1 || p.fmt > m_clip_fmts.size() || !p.h) continue;
    const char* data = static_cast<const char*>(GlobalLock(p.h));
    size_t size = size_t(GlobalSize(p.h));
    if (isText(p.fmt))
      pb.setData(Pasteboard::kStringType, std::string(data, strnlen(data, size)));
    else
      pb.setData(typeOf(p.fmt), std::string(data, size));
    GlobalUnlock(p.h);
  }
  freePending();
}

HGLOBAL GetClipboardData(UINT fmt) {
  if (fmt < 1 || fmt > m_clip_fmts.size()) return nullptr;
  std::string bytes;
  if (isText(fmt)) {
    Pasteboard& pb = Pasteboard::general();
    (void)pb.types();
    if (!pb.data(Pasteboard::kStringType, &bytes)) return nullptr;
    bytes.push_back(0);
  } else if (!Pasteboard::named(kAppPasteboard).data(typeOf(fmt), &bytes)) {
    return nullptr;
  }
  HGLOBAL h = GlobalAlloc(0, long(bytes.size()));
  if (!h) return nullptr;
  memcpy(h, bytes.data(), bytes.size());
  m_clip_recs.push_back(h);
  return h;
}

void SWELL_ResetClipboard() {
  freePending();
  for (HGLOBAL h : m_clip_recs) GlobalFree(h);
  m_clip_recs.clear();
  m_clip_fmts.clear();
  m_clip_curfmts.clear();
  Pasteboard::resetAll();
}
