// Cursors: stock and built-in cursors, cursors from Windows cursor files,
// showing and hiding with relative mouse mode, and the cursor position.
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "Cursors.h"
#include "Internal.h"
#include "Utilities.h"
#include "model/Application.h"
#include "model/Image.h"

using winsys::App;
using winsys::Image;

SWELL_CursorResourceIndex* SWELL_curmodule_cursorresource_head = nullptr;

void SWELL_ResetKeyboardState();

namespace {

HCURSOR m_last_setcursor = nullptr;
HCURSOR gCurrent = nullptr;
int m_curvis_cnt = 0;
bool g_swell_mouse_relmode = false;
POINT g_swell_mouse_relmode_curpos = {0, 0};

// Stock and built-in cursors live for the process.
HCURSOR stock(const std::string& name) {
  static std::map<std::string, HCURSOR__> cursors;
  HCURSOR c = &cursors[name];
  c->stockName = name;
  return c;
}

// 16 x 16 grey-and-alpha pictures: '.' clear, 'x' black, 'o' white, 'h' half-opaque white.
const char* const kMoveRows[8] = {"......hooh......", ".....hoxxoh.....", ".....oxxxxo.....", "....hxxxxxxh....",
                                  "...h..oxxo..h...", ".hox..oxxo..xoh.", "hoxxoooxxoooxxoh", "oxxxxxxxxxxxxxxo"};
const char* const kDiagRows[16] = {"oooooo..........", "ohhhoh..........", "ohxoh...........", "ohoxoh..........",
                                   "oohoxoh.........", "oh.hoxoh........", "....hoxoh.......", ".....hoxoh......",
                                   "......hoxoh.....", ".......hoxoh....", "........hoxoh.ho", ".........hoxohoo",
                                   "..........hoxoho", "...........hoxho", "..........hohhho", "..........oooooo"};

HCURSOR MakeCursorFromData(const char* const* rows, bool mirror, const std::string& name) {
  HCURSOR c = stock(name);
  if (c->image) return c;
  auto img = std::make_shared<Image>();
  img->width = img->height = 16;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      char ch = rows[y][mirror ? 15 - x : x];
      int v = ch == 'x' ? 0x0F : ch == 'o' ? 0xFF : ch == 'h' ? 0xF8 : 0x00;
      img->greyAlpha.push_back(uint8_t((v >> 4) * 17));
      img->greyAlpha.push_back(uint8_t((v & 15) * 17));
    }
  c->image = img;
  c->hotSpot = {8, 8};
  return c;
}

HCURSOR moveCursor() {
  const char* rows[16];
  for (int i = 0; i < 8; ++i) rows[i] = rows[15 - i] = kMoveRows[i];
  return MakeCursorFromData(rows, false, "built-in move");
}

unsigned le16(const unsigned char* p) { return unsigned(p[0]) | unsigned(p[1]) << 8; }

// A Windows cursor file as an icon file written to a private temporary file, then read and deleted.
std::shared_ptr<Image> imageFromCursorFile(const std::string& path, POINT* hotspot) {
  FILE* in = fopen(path.c_str(), "rb");
  if (!in) return nullptr;
  unsigned char hdr[6], entry[16];
  std::shared_ptr<Image> img;
  if (fread(hdr, 1, 6, in) == 6 && le16(hdr) == 0 && le16(hdr + 2) == 2 && le16(hdr + 4) == 1 &&
      fread(entry, 1, 16, in) == 16 && entry[3] == 0) {
    POINT hs{int(le16(entry + 4)), int(le16(entry + 6))};
    const char* temp = getenv("TEMP");
    char name[512];
    // Created exclusively under an unpredictable name, so no other user can plant a file or link there.
    snprintf(name, sizeof name, "%.200s/swellcur%x%xXXXXXX.ico", temp && *temp ? temp : "/tmp",
             unsigned(GetTickCount()), unsigned(getpid()));
    int fd = mkstemps(name, 4);
    if (fd >= 0) {
      hdr[2] = 1;
      entry[4] = 1;
      entry[5] = 0;
      entry[6] = entry[7] = 0;
      bool ok = write(fd, hdr, 6) == 6 && write(fd, entry, 16) == 16;
      char buf[4096];
      size_t n;
      while (ok && (n = fread(buf, 1, sizeof buf, in)) > 0) ok = write(fd, buf, n) == ssize_t(n);
      close(fd);
      if (ok) img = winsys::loadImageFile(name);
      unlink(name);
      if (img && hotspot) *hotspot = hs;
    }
  }
  fclose(in);
  return img;
}

}  // namespace

std::shared_ptr<Image> swell_imageFromCursorString(const char* name, POINT* hotspot) {
  if (!name) return nullptr;
  std::string n = name;
  bool resource = !strchr(name, '/') && n.size() < 1024;
  bool curPath = n.size() >= 5 && !strcasecmp(name + n.size() - 4, ".cur");
  if (!resource && !curPath) return winsys::loadImageFile(n);
  std::string file = n;
  if (resource) {
    char module[2048] = {};
    GetModuleFileName(nullptr, module, sizeof module);
    file = std::string(module) + "/Contents/Resources/" + n + ".cur";
  }
  if (auto img = imageFromCursorFile(file, hotspot)) return img;
  return resource ? winsys::imageNamed(n) : winsys::loadImageFile(n);
}

HCURSOR SWELL_LoadCursor(int id) {
  switch (id) {
    case -999: return stock("arrow");
    case -1000: return stock("resize left-right");
    case -1001: return stock("resize up-down");
    case -1002: return moveCursor();
    case -1003: return nullptr;
    case -1004: return stock("resize up");
    case -1005: return stock("I-beam");
    case -1006: return MakeCursorFromData(kDiagRows, false, "built-in diagonal top left");
    case -1007: return MakeCursorFromData(kDiagRows, true, "built-in diagonal top right");
    case 32649: return stock("open hand");
    default: break;
  }
  for (SWELL_CursorResourceIndex* r = SWELL_curmodule_cursorresource_head; r; r = r->next) {
    if (r->id != id) continue;
    if (r->cachedCursor) return r->cachedCursor;
    if (auto img = swell_imageFromCursorString(r->resname, &r->hotspot)) {
      r->cachedCursor = new HCURSOR__;
      r->cachedCursor->image = img;
      r->cachedCursor->hotSpot = {double(r->hotspot.x), double(r->hotspot.y)};
      return r->cachedCursor;
    }
  }
  return nullptr;
}

HCURSOR SWELL_LoadCursorFromFile(const char* path) {
  POINT hs{0, 0};
  auto img = swell_imageFromCursorString(path, &hs);
  if (!img) return nullptr;
  auto* c = new HCURSOR__;
  c->image = img;
  c->hotSpot = {double(hs.x), double(hs.y)};
  return c;
}

void SWELL_SetCursor(HCURSOR cursor) {
  if (cursor) {
    gCurrent = cursor;
    m_last_setcursor = cursor;
    if (cursor == stock("arrow"))
      App().setArrowCursor();
    else
      App().setOtherCursor();
  } else {
    gCurrent = stock("arrow");
    m_last_setcursor = nullptr;
    App().setArrowCursor();
  }
}

HCURSOR SWELL_GetCursor() { return gCurrent ? gCurrent : stock("arrow"); }
HCURSOR SWELL_GetLastSetCursor() { return m_last_setcursor; }

namespace {
double mainDisplayHeight() {
  const auto& s = App().screens();
  return s.empty() ? 0 : s.front().frame.height;
}
}  // namespace

int SWELL_ShowCursor(BOOL show) {
  m_curvis_cnt += show ? 1 : -1;
  if (!show && m_curvis_cnt == -1) {
    if (!g_swell_mouse_relmode) GetCursorPos(&g_swell_mouse_relmode_curpos);
    g_swell_mouse_relmode = true;  // hidden and decoupled from the mouse
  } else if (show && m_curvis_cnt == 0) {
    g_swell_mouse_relmode = false;
    // The system measures y down from the top of the main display; the model keeps it upward.
    double sysY = mainDisplayHeight() - g_swell_mouse_relmode_curpos.y;
    App().setMouseLocation({double(g_swell_mouse_relmode_curpos.x), mainDisplayHeight() - sysY});
  }
  return m_curvis_cnt;
}

bool SWELL_IsCursorVisible() { return m_curvis_cnt >= 0; }

void GetCursorPos(POINT* p) {
  if (!p) return;
  if (g_swell_mouse_relmode) {
    *p = g_swell_mouse_relmode_curpos;
    return;
  }
  winsys::Pointf m = App().mouseLocation();
  *p = {int(std::floor(m.x)), int(std::ceil(m.y))};
}

DWORD GetMessagePos() {
  POINT p;
  GetCursorPos(&p);
  return DWORD(p.y * 65536 + (p.x & 0xFFFF));
}

bool SWELL_SetCursorPos(int x, int y) {
  if (g_swell_mouse_relmode) {
    g_swell_mouse_relmode_curpos = {x, y};
    return true;
  }
  App().setMouseLocation({double(x), double(y)});
  return true;
}

POINT swellProcessMouseEvent(UINT msg, HWND view, const winsys::Event& e) {
  if (g_swell_mouse_relmode) {
    if (msg == WM_MOUSEMOVE) {
      g_swell_mouse_relmode_curpos.x += int(e.deltaX);
      g_swell_mouse_relmode_curpos.y -= int(e.deltaY);
    }
    POINT p = g_swell_mouse_relmode_curpos;
    ScreenToClient(view, &p);
    return p;
  }
  winsys::View* v = swell::viewOf(view);
  winsys::Pointf q = v ? v->convertPointFromBase(e.locationInWindow) : e.locationInWindow;
  return {int(std::floor(q.x)), int(std::floor(q.y))};
}

void SWELL_ResetInputState() {
  SWELL_ResetKeyboardState();
  m_last_setcursor = nullptr;
  gCurrent = nullptr;
  m_curvis_cnt = 0;
  g_swell_mouse_relmode = false;
  g_swell_mouse_relmode_curpos = {0, 0};
}
