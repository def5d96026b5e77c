#include "Menus.h"

#include <cctype>
#include <cstring>

#include "Internal.h"
#include "model/Application.h"

using winsys::App;
using winsys::View;

SWELL_MenuResourceIndex* SWELL_curmodule_menuresource_head = nullptr;

namespace {

Swell_vTarnivex_menu* menuOf(HMENU m) { return dynamic_cast<Swell_vTarnivex_menu*>(m); }

// The receiver of a context menu's command.
class Swell_vTarnivex_trackpopupmenurecv : public View {
 public:
  explicit Swell_vTarnivex_trackpopupmenurecv(HWND wnd) : m_wnd(wnd) {}
  bool answersCommand() const override { return true; }
  void onSwellCommand(View* sender) override {
    if (sender && sender->tag()) m_cmd = sender->tag();
  }
  bool answersMenuNeedsUpdate() const override { return true; }
  void menuNeedsUpdate(HMENU submenu) override {
    if (m_wnd) SendMessage(m_wnd, WM_INITMENUPOPUP, WPARAM(submenu), 0);
    SWELL_SetMenuDestination(submenu, this);
  }
  int isCommand() const { return m_cmd; }

 private:
  HWND m_wnd;
  int m_cmd = 0;
};

// The item a call addresses, by position (no descent) or by command id (searched through submenus).
SwellMenuItem* addressed(HMENU menu, int idx, bool byPos, HMENU* owner = nullptr) {
  auto* m = menuOf(menu);
  if (!m) return nullptr;
  if (byPos) {
    if (owner) *owner = m;
    return m->itemAt(idx);
  }
  return swell::findItemDeep(m, idx, owner);
}

bool byPosition(int flag) { return (flag & MF_BYPOSITION) != 0; }

}  // namespace

SwellMenuItem::~SwellMenuItem() {
  if (submenu) submenu->release();
  if (represented) represented->release();
}

void SwellMenuItem::setSubmenu(HMENU menu) {
  if (submenu) submenu->release();
  submenu = menu;
}

void SwellMenuItem::setRepresented(LONG_PTR value, bool has) {
  if (represented) represented->release();
  represented = has ? new Swell_vTarnivex_sdh(value) : nullptr;
}

Swell_vTarnivex_menu::~Swell_vTarnivex_menu() {
  for (SwellMenuItem* i : items) i->release();
}

int Swell_vTarnivex_menu::indexOfItemWithTag(int tag) const {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i]->m_tag == tag) return int(i);
  return -1;
}

void Swell_vTarnivex_menu::insertItem(SwellMenuItem* item, int idx) {
  if (idx < 0 || idx > count()) idx = count();
  items.insert(items.begin() + idx, item);
}

void Swell_vTarnivex_menu::removeItemAtIndex(int idx) {
  if (idx < 0 || idx >= count()) return;
  items[size_t(idx)]->release();
  items.erase(items.begin() + idx);
}

Swell_vTarnivex_menu* Swell_vTarnivex_menu::copy() const {
  auto* m = new Swell_vTarnivex_menu;
  m->title = title;
  m->autoenablesItems = autoenablesItems;
  for (SwellMenuItem* src : items) {
    auto* it = new SwellMenuItem;
    it->title = src->title;
    it->m_tag = src->m_tag;
    it->checked = src->checked;
    it->enabled = src->enabled;
    it->separator = src->separator;
    it->image = src->image;
    it->keyChar = src->keyChar;
    it->keyMask = src->keyMask;
    it->target = src->target;
    it->hasAction = src->hasAction;
    if (src->represented) it->setRepresented(src->represented->getValue(), true);
    if (auto* sub = menuOf(src->submenu)) it->submenu = sub->copy();
    m->items.push_back(it);
  }
  return m;
}

namespace swell {

std::string menuTitle(const char* text) {
  std::string out;
  if (!text) return out;
  for (const char* p = text; *p && *p != '\t' && out.size() < 1023; ++p) {
    if (*p == '&') {
      if (!*++p || *p == '\t') break;
    }
    out += *p;
  }
  return out;
}

SwellMenuItem* findItemDeep(HMENU menu, int id, HMENU* owner) {
  auto* m = menuOf(menu);
  if (!m) return nullptr;
  int i = m->indexOfItemWithTag(id);
  if (i >= 0) {
    if (owner) *owner = m;
    return m->items[size_t(i)];
  }
  for (SwellMenuItem* it : m->items)
    if (it->submenu)
      if (SwellMenuItem* r = findItemDeep(it->submenu, id, owner)) return r;
  return nullptr;
}

namespace {
bool pathTo(Swell_vTarnivex_menu* m, SwellMenuItem* target, std::vector<HMENU>* path) {
  for (SwellMenuItem* it : m->items) {
    if (it == target) return true;
    if (auto* sub = menuOf(it->submenu)) {
      path->push_back(sub);
      if (pathTo(sub, target, path)) return true;
      path->pop_back();
    }
  }
  return false;
}
}  // namespace

void popUpContextMenu(HMENU menu, View*) {
  auto* m = menuOf(menu);
  if (!m || !App().contextMenuChooser) return;
  auto* item = dynamic_cast<SwellMenuItem*>(App().contextMenuChooser(menu));
  std::vector<HMENU> path;
  if (!item || !pathTo(m, item, &path)) return;
  // The submenus on the way open in turn; their delegates hear it first.
  for (HMENU sub : path)
    if (auto* d = asView(sub->destination); d && d->answersMenuNeedsUpdate()) d->menuNeedsUpdate(sub);
  if (item->separator || !item->enabled || item->submenu || !item->hasAction || !item->target) return;
  if (item->target->answersCommand()) item->target->onSwellCommand(item);
}

}  // namespace swell

HMENU CreatePopupMenu() {
  auto* m = new Swell_vTarnivex_menu;
  m->autoenablesItems = false;
  return m;
}

HMENU CreatePopupMenuEx(const char* title) {
  HMENU m = CreatePopupMenu();
  if (title) menuOf(m)->title = swell::menuTitle(title);
  return m;
}

void DestroyMenu(HMENU menu) {
  if (!menu) return;
  SWELL_SetMenuDestination(menu, nullptr);
  menu->release();
}

HMENU SWELL_DuplicateMenu(HMENU menu) {
  auto* m = menuOf(menu);
  return m ? m->copy() : nullptr;
}

int GetMenuItemCount(HMENU menu) {
  auto* m = menuOf(menu);
  return m ? m->count() : 0;
}

HMENU GetSubMenu(HMENU menu, int pos) {
  auto* m = menuOf(menu);
  SwellMenuItem* it = m ? m->itemAt(pos) : nullptr;
  return it ? it->submenu : nullptr;
}

int GetMenuItemID(HMENU menu, int pos) {
  auto* m = menuOf(menu);
  SwellMenuItem* it = m ? m->itemAt(pos) : nullptr;
  if (!it) return 0;
  return it->submenu ? -1 : it->m_tag;
}

int AddMenuItem(HMENU menu, int pos, const char* name, int tag) {
  auto* m = menuOf(menu);
  if (!m) return -1;
  auto* it = new SwellMenuItem;
  it->title = name ? name : "";
  it->m_tag = tag;
  m->insertItem(it, pos);
  return 0;
}

void SWELL_Menu_AddMenuItem(HMENU menu, const char* name, int id, unsigned flags) {
  MENUITEMINFO mi{};
  mi.cbSize = sizeof mi;
  mi.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
  mi.fType = name ? MFT_STRING : MFT_SEPARATOR;
  mi.fState = flags ? unsigned(MFS_GRAYED) : 0u;
  mi.wID = UINT(id);
  mi.dwTypeData = const_cast<char*>(name);
  InsertMenuItem(menu, GetMenuItemCount(menu), 1, &mi);
}

void SWELL_InsertMenu(HMENU menu, int pos, unsigned flag, UINT_PTR id, const char* text) {
  MENUITEMINFO mi{};
  mi.cbSize = sizeof mi;
  mi.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
  mi.fType = 0;
  mi.fState = flag & ~MF_BYPOSITION;
  mi.dwTypeData = const_cast<char*>(text);
  if (flag & MF_POPUP) {
    mi.fMask |= MIIM_SUBMENU;
    mi.hSubMenu = reinterpret_cast<HMENU>(id);
    mi.fState &= ~(MF_POPUP | MF_BYPOSITION);
  } else {
    mi.wID = UINT(id);
  }
  if (flag & MF_SEPARATOR) {
    mi.fMask = MIIM_TYPE;
    mi.fType = MFT_SEPARATOR;
    mi.fState &= ~0xC00u;
  }
  if (flag & MF_BITMAP) {
    mi.fType = MFT_BITMAP;
    mi.fState &= ~MF_BITMAP;
  }
  InsertMenuItem(menu, pos, (flag & MF_BYPOSITION) != 0, &mi);
}

bool SetMenuItemText(HMENU menu, int idx, int flag, const char* text) {
  SwellMenuItem* it = addressed(menu, idx, byPosition(flag));
  if (!it) return false;
  it->title = swell::menuTitle(text ? text : "");
  if (auto* sub = menuOf(it->submenu)) sub->title = it->title;
  return true;
}

bool EnableMenuItem(HMENU menu, int idx, int flag) {
  SwellMenuItem* it = addressed(menu, idx, byPosition(flag));
  if (!it) return false;
  it->enabled = !(flag & 1);
  return true;
}

bool CheckMenuItem(HMENU menu, int idx, int flag) {
  SwellMenuItem* it = addressed(menu, idx, byPosition(flag));
  if (!it) return false;
  it->checked = (flag & MF_CHECKED) != 0;
  return true;
}

bool DeleteMenu(HMENU menu, int idx, int flag) {
  HMENU owner = nullptr;
  SwellMenuItem* it = addressed(menu, idx, byPosition(flag), &owner);
  auto* m = menuOf(owner);
  if (!it || !m) return false;
  if (it->submenu) {
    SWELL_SetMenuDestination(it->submenu, nullptr);
    it->setSubmenu(nullptr);
  }
  for (int i = 0; i < m->count(); ++i)
    if (m->items[size_t(i)] == it) m->removeItemAtIndex(i);
  return true;
}

bool SetMenuItemModifier(HMENU menu, int idx, int flag, int code, unsigned flags) {
  SwellMenuItem* it = addressed(menu, idx, byPosition(flag));
  if (!it) return false;
  bool virt = flags & 1;
  int ch = 0;
  bool letter = false;
  int c = code & 127;
  bool alnum = (code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9');
  if (alnum || (!virt && strchr("!\"',./?[\\]|", c) && c)) {
    letter = code >= 'A' && code <= 'Z';
    ch = (flags & 4) ? c : tolower(c);
  } else if (virt && code >= 112 && code <= 123) {
    ch = 0xF704 + code - 112;
  } else if (virt) {
    switch (code) {
      case 8: ch = 0x0008; break;
      case 33: ch = 0xF72C; break;
      case 34: ch = 0xF72D; break;
      case 35: ch = 0xF72B; break;
      case 36: ch = 0xF729; break;
      case 37: ch = 0xF702; break;
      case 38: ch = 0xF700; break;
      case 39: ch = 0xF703; break;
      case 40: ch = 0xF701; break;
      case 45: ch = 0xF727; break;
      case 46: ch = 0x007F; break;
      case 109: ch = 0x002D; break;
      default: break;
    }
  }
  unsigned mask = 0;
  if (flags & 8) mask |= winsys::kCommandKeyMask;
  if (flags & 16) mask |= winsys::kAlternateKeyMask;
  if (flags & 32) mask |= winsys::kControlKeyMask;
  if ((flags & 4) && !letter) mask |= winsys::kShiftKeyMask;
  it->keyChar = ch;
  it->keyMask = mask;
  return true;
}

void InsertMenuItem(HMENU menu, int pos, BOOL byPos, MENUITEMINFO* info) {
  auto* m = menuOf(menu);
  if (!m || !info) return;
  if (!byPos) pos = m->indexOfItemWithTag(pos);
  if (pos < 0 || pos > m->count()) pos = m->count();
  bool wasEmpty = m->items.empty();
  auto* it = new SwellMenuItem;
  if (info->fType == MFT_BITMAP) {
    if (void* img = SWELL_GetGdiObjectImage(reinterpret_cast<HGDIOBJ>(info->dwTypeData))) it->image = img;
  } else if (info->fType == MFT_STRING) {
    it->title = info->dwTypeData ? swell::menuTitle(info->dwTypeData) : "(null)";
  } else {
    it->separator = true;
  }
  if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu) {
    if (auto* sub = menuOf(info->hSubMenu); sub && info->fType == MFT_STRING) sub->title = it->title;
    it->setSubmenu(info->hSubMenu);  // the menu owns it from now on
  }
  if (wasEmpty) m->autoenablesItems = false;
  it->enabled = true;
  if (info->fMask & MIIM_STATE) {
    if (info->fState & 3) it->enabled = false;
    if (info->fState & MFS_CHECKED) it->checked = true;
  }
  it->setRepresented(LONG_PTR(info->dwItemData), (info->fMask & MIIM_DATA) != 0);
  if (info->fMask & MIIM_ID) it->m_tag = int(info->wID);
  m->insertItem(it, pos);
  // Items added after a destination was set reach the same window as the first item.
  SwellMenuItem* first = m->items.front();
  if (first != it) {
    if (first->hasAction) it->hasAction = true;
    if (first->target) it->target = first->target;
  }
}

BOOL SetMenuItemInfo(HMENU menu, int idx, BOOL byPos, MENUITEMINFO* info) {
  SwellMenuItem* it = addressed(menu, idx, byPos);
  if (!it || !info) return 0;
  if ((info->fMask & MIIM_SUBMENU) && info->hSubMenu) it->setSubmenu(info->hSubMenu);
  if ((info->fMask & MIIM_TYPE) && info->fType == MFT_STRING && info->dwTypeData) {
    it->title = swell::menuTitle(info->dwTypeData);
    if (auto* sub = menuOf(it->submenu)) sub->title = it->title;
  }
  if (info->fMask & MIIM_STATE) {
    it->checked = (info->fState & MFS_CHECKED) != 0;
    it->enabled = !(info->fState & 3);
  }
  if (info->fMask & MIIM_ID) it->m_tag = int(info->wID);
  if (info->fMask & MIIM_DATA) it->setRepresented(LONG_PTR(info->dwItemData), true);
  return 1;
}

BOOL GetMenuItemInfo(HMENU menu, int idx, BOOL byPos, MENUITEMINFO* info) {
  SwellMenuItem* it = addressed(menu, idx, byPos);
  if (!it || !info) return 0;
  if (info->fMask & MIIM_TYPE) {
    info->fType = it->separator ? MFT_SEPARATOR : MFT_STRING;
    if (!it->separator && info->dwTypeData && info->cch) SWELL_CFStringToCString(it->title, info->dwTypeData, info->cch);
  }
  if (info->fMask & MIIM_DATA) info->dwItemData = it->represented ? uintptr_t(it->represented->getValue()) : 0;
  if (info->fMask & MIIM_STATE) info->fState = (it->checked ? unsigned(MFS_CHECKED) : 0u) | (it->enabled ? 0u : unsigned(MFS_GRAYED));
  if (info->fMask & MIIM_ID) info->wID = UINT(it->m_tag);
  if ((info->fMask & MIIM_SUBMENU) && it->submenu) info->hSubMenu = it->submenu;
  return 1;
}

HMENU SWELL_LoadMenu(SWELL_MenuResourceIndex* head, const char* resid) {
  for (SWELL_MenuResourceIndex* r = head; r; r = r->next)
    if (r->resid == resid) {
      HMENU m = CreatePopupMenu();
      if (r->createFunc) r->createFunc(m);
      return m;
    }
  return nullptr;
}

int SWELL_GenerateMenuFromList(HMENU menu, const void* list, int count) {
  auto* e = static_cast<const SWELL_MenuGen_Entry*>(list);
  int i = 0;
  while (count > 0) {
    const SWELL_MenuGen_Entry& en = e[i];
    if (en.name && !strcmp(en.name, "EN%%%^:")) return i + 1;
    MENUITEMINFO mi{};
    mi.cbSize = sizeof mi;
    if (!en.name) {
      mi.fMask = MIIM_TYPE;
      mi.fType = MFT_SEPARATOR;
      InsertMenuItem(menu, GetMenuItemCount(menu), 1, &mi);
    } else if (!strncmp(en.name, "/.BO^O:", 7)) {
      HMENU sub = CreatePopupMenuEx(en.name + 7);
      int used = SWELL_GenerateMenuFromList(sub, e + i + 1, count - 1);
      mi.fMask = MIIM_STATE | MIIM_TYPE | MIIM_SUBMENU;
      mi.fType = MFT_STRING;
      mi.dwTypeData = const_cast<char*>(en.name + 7);
      mi.hSubMenu = sub;
      InsertMenuItem(menu, GetMenuItemCount(menu), 1, &mi);
      i += used;
      count -= used;
    } else {
      mi.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
      mi.fType = MFT_STRING;
      mi.dwTypeData = const_cast<char*>(en.name);
      mi.wID = UINT(en.idx & 0xFFFF);
      mi.fState = en.idx >= 0x10000 ? unsigned(MFS_GRAYED) : 0u;
      InsertMenuItem(menu, GetMenuItemCount(menu), 1, &mi);
    }
    ++i;
    --count;
  }
  return i;
}

void SWELL_SetMenuDestination(HMENU menu, HWND hwnd) {
  auto* m = menuOf(menu);
  if (!menu) return;
  View* v = swell::asView(hwnd);
  if (hwnd && !(v && v->answersCommand())) return;
  menu->destination = hwnd;
  if (!m) return;
  for (SwellMenuItem* it : m->items) {
    if (it->submenu) SWELL_SetMenuDestination(it->submenu, hwnd);
    if (it->m_tag) {
      it->target = v;
      if (v) it->hasAction = true;
    }
  }
}

int TrackPopupMenu(HMENU menu, int flags, int x, int y, int, HWND hwnd, const RECT*) {
  if (!menu) return 0;
  View* view = swell::viewOf(hwnd);
  if (!view && App().mainWindow()) view = App().mainWindow()->contentView();
  if (!view) return 0;
  winsys::Event ev;
  ev.type = winsys::EventType::kAppDefined;
  ev.window = view->window();
  winsys::Pointf p{double(x), double(y)};
  if (ev.window) p = ev.window->convertScreenToBase(p);
  ev.locationInWindow = {p.x, p.y - 4};
  auto* recv = new Swell_vTarnivex_trackpopupmenurecv((flags & TPM_NONOTIFY) ? nullptr : hwnd);
  SWELL_SetMenuDestination(menu, recv);
  if (!(flags & TPM_NONOTIFY) && hwnd) {
    SendMessage(hwnd, WM_INITMENUPOPUP, WPARAM(menu), 0);
    SWELL_SetMenuDestination(menu, recv);
  }
  swell::popUpContextMenu(menu, view);
  int cmd = recv->isCommand();
  SWELL_SetMenuDestination(menu, nullptr);
  recv->release();
  if (cmd < 1) return 0;
  if (flags & TPM_RETURNCMD) return cmd;
  if (!hwnd) return 1;
  SendMessage(hwnd, WM_COMMAND, WPARAM(cmd), 0);
  return 1;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
  if (!hwnd || g_swell_terminating || App().isTerminating()) return 0;
  auto* target = dynamic_cast<Swell_vTarnivex_hwnd*>(swell::viewOf(hwnd));
  if (!target) return 0;
  target->swellSetMenu(menu);
  winsys::Window* w = swell::asWindow(hwnd);
  if (!w && swell::isContentView(target)) w = target->window();
  if (w && w->isKeyWindow() && App().mainMenu() != menu) {
    App().setMainMenu(menu);
    if (menu) SendMessage(hwnd, WM_INITMENUPOPUP, WPARAM(menu), 0);
  }
  return 1;
}

HMENU GetMenu(HWND hwnd) {
  auto* v = dynamic_cast<Swell_vTarnivex_hwnd*>(swell::viewOf(hwnd));
  return v ? v->swellGetMenu() : nullptr;
}

void DrawMenuBar(HWND) {}

HMENU SWELL_GetCurrentMenu() { return App().mainMenu(); }

void SWELL_SetCurrentMenu(HMENU menu) {
  if (menuOf(menu) && !g_swell_terminating && !App().isTerminating()) App().setMainMenu(menu);
}
