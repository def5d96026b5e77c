// Menus, keyboard and cursors, common dialogs and message boxes, and the window extras.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "CommonDialogs.h"
#include "Cursors.h"
#include "Menus.h"
#include "WindowExtras.h"
#include "WindowFixture.h"
#include "model/Panels.h"

namespace {

using winsys::App;
using winsys::Event;

using Menus = WindowTest;

HMENU sample() {
  static const SWELL_MenuGen_Entry list[] = {
      {"&File\tCtrl+F", 100}, {nullptr, 0}, {"/.BO^O:Edit", 0}, {"Undo", 200}, {"/.BO^O:Deep", 0},
      {"Deeper", 300},        {"EN%%%^:", 0}, {"EN%%%^:", 0},   {"Gray", 0x10000 | 400}};
  HMENU m = CreatePopupMenu();
  EXPECT_EQ(SWELL_GenerateMenuFromList(m, list, 9), 9);
  return m;
}

TEST_F(Menus, TitlesGeneratedListsAndDeepSearch) {
  struct {
    const char* in;
    std::string want;
  } titles[] = {{"&Open\tCtrl+O", "Open"}, {"Save && &Quit", "Save & Quit"}, {"plain", "plain"}};
  for (auto& t : titles) EXPECT_EQ(swell::menuTitle(t.in), t.want);
  HMENU m = sample();
  ASSERT_EQ(GetMenuItemCount(m), 4);
  EXPECT_EQ(GetMenuItemID(m, 0), 100);
  EXPECT_EQ(GetMenuItemID(m, 2), -1) << "a submenu";
  MENUITEMINFO mi{};
  char buf[32];
  mi.fMask = MIIM_TYPE | MIIM_STATE;
  mi.dwTypeData = buf;
  mi.cch = sizeof buf;
  ASSERT_TRUE(GetMenuItemInfo(m, 0, 1, &mi));
  EXPECT_STREQ(buf, "File");
  ASSERT_TRUE(GetMenuItemInfo(m, 1, 1, &mi));
  EXPECT_EQ(mi.fType, unsigned(MFT_SEPARATOR));
  ASSERT_TRUE(GetMenuItemInfo(m, 400, 0, &mi));
  EXPECT_EQ(mi.fState, unsigned(MFS_GRAYED));
  EXPECT_TRUE(CheckMenuItem(m, 300, MF_CHECKED)) << "two submenus deep";
  EXPECT_FALSE(CheckMenuItem(m, 300, MF_CHECKED | MF_BYPOSITION));
  mi.fMask = MIIM_STATE;
  GetMenuItemInfo(GetSubMenu(GetSubMenu(m, 2), 1), 0, 1, &mi);
  EXPECT_EQ(mi.fState, unsigned(MFS_CHECKED));
  static const SWELL_MenuGen_Entry open[] = {{"/.BO^O:Sub", 0}, {"A", 1}, {"B", 2}};
  HMENU n = CreatePopupMenu();
  EXPECT_EQ(SWELL_GenerateMenuFromList(n, open, 3), 3);
  EXPECT_EQ(GetMenuItemCount(n), 1) << "the submenu without end took the rest";
  EXPECT_EQ(GetMenuItemCount(GetSubMenu(n, 0)), 2);
  DestroyMenu(m);
  DestroyMenu(n);
}

TEST_F(Menus, KeyEquivalents) {
  HMENU m = CreatePopupMenu();
  SWELL_Menu_AddMenuItem(m, "a", 1, 0);
  auto* item = static_cast<Swell_vTarnivex_menu*>(m)->itemAt(0);
  struct {
    int code;
    unsigned flags;
    int key;
    unsigned mask;
  } cases[] = {{'S', 1 | 4 | 8, 'S', winsys::kCommandKeyMask},
               {'S', 1 | 8, 's', winsys::kCommandKeyMask},
               {112, 1, 0xF704, 0},
               {46, 1 | 4, 0x7F, winsys::kShiftKeyMask},
               {'/', 16, '/', winsys::kAlternateKeyMask},
               {200, 1, 0, 0}};
  for (auto& c : cases) {
    EXPECT_TRUE(SetMenuItemModifier(m, 1, 0, c.code, c.flags));
    EXPECT_EQ(item->keyChar, c.key) << c.code;
    EXPECT_EQ(item->keyMask, c.mask) << c.code;
  }
  DestroyMenu(m);
}

TEST_F(Menus, PopupTrackingAndDestinations) {
  HWND top = topLevel();
  HMENU m = sample();
  SWELL_SetMenuDestination(m, top);
  SWELL_Menu_AddMenuItem(m, "Late", 500, 0);
  auto* late = static_cast<SwellMenuItem*>(swell::findItemDeep(m, 500, nullptr));
  EXPECT_EQ(late->target, swell::asView(top)) << "takes the first item's target";
  App().contextMenuChooser = [&](HMENU menu) -> HWND__* { return swell::findItemDeep(menu, 300, nullptr); };
  rec.log.clear();
  EXPECT_EQ(TrackPopupMenu(m, TPM_RETURNCMD, 10, 10, 0, top, nullptr), 300);
  EXPECT_TRUE(rec.of(WM_COMMAND).empty());
  EXPECT_EQ(rec.of(WM_INITMENUPOPUP).size(), 3u) << "the menu, then each submenu opened on the way";
  rec.log.clear();
  EXPECT_EQ(TrackPopupMenu(m, TPM_NONOTIFY, 10, 10, 0, top, nullptr), 1);
  EXPECT_TRUE(rec.of(WM_INITMENUPOPUP).empty());
  ASSERT_EQ(rec.of(WM_COMMAND).size(), 1u);
  EXPECT_EQ(rec.of(WM_COMMAND)[0].wParam, 300u);
  App().contextMenuChooser = [](HMENU) -> HWND__* { return nullptr; };
  EXPECT_EQ(TrackPopupMenu(m, TPM_RETURNCMD, 0, 0, 0, top, nullptr), 0);
  DestroyMenu(m);
}

TEST_F(Menus, KeysTranslate) {
  struct {
    int keyCode;
    const char* chars;
    unsigned mods;
    int want, flags;
  } cases[] = {
      {76, "\x03", 0, 0x800D, 1},
      {36, "\r", 0, 13, 1},
      {48, "\x19", winsys::kShiftKeyMask, 9, 1 | 4},
      {43, "<", winsys::kShiftKeyMask, '<', 0},
      {0, "a", winsys::kControlKeyMask, 'A', 1},
      {122, "", 0, 112, 1},
      {10, "", 0, 10 + 1024, 1},
  };
  for (auto& c : cases) {
    Event e;
    e.type = winsys::EventType::kKeyDown;
    e.keyCode = c.keyCode;
    e.characters = c.chars;
    e.modifierFlags = c.mods;
    int flags = -1;
    EXPECT_EQ(SWELL_MacKeyToWindowsKeyEx(&e, &flags, 1), c.want) << c.keyCode;
    EXPECT_EQ(flags, c.flags) << c.keyCode;
  }
  int nf = 9;
  EXPECT_EQ(SWELL_KeyToASCII('2', 5, &nf), '@');
  EXPECT_EQ(nf, 0);
  EXPECT_EQ(SWELL_KeyToASCII('2', 4, &nf), 0);
  App().setModifierFlags(winsys::kControlKeyMask | winsys::kShiftKeyMask);
  EXPECT_EQ(GetAsyncKeyState(91), 0) << "Control is the right button while emulation is on";
  EXPECT_EQ(GetAsyncKeyState(16), short(0x8000));
  SWELL_EnableRightClickEmulate(false);
  EXPECT_EQ(GetAsyncKeyState(91), short(0x8000));
}

TEST_F(Menus, CursorVisibilityAndRelativeMoves) {
  App().setMouseLocation({100, 200});
  EXPECT_EQ(SWELL_ShowCursor(false), -1);
  EXPECT_EQ(SWELL_ShowCursor(false), -2);
  Event move;
  move.deltaX = 5;
  move.deltaY = 3;
  HWND top = topLevel();
  swellProcessMouseEvent(WM_MOUSEMOVE, top, move);
  POINT p;
  GetCursorPos(&p);
  EXPECT_EQ(p.x, 105);
  EXPECT_EQ(p.y, 197) << "y grows upward";
  EXPECT_EQ(SWELL_ShowCursor(true), -1);
  EXPECT_FALSE(SWELL_IsCursorVisible());
  EXPECT_EQ(SWELL_ShowCursor(true), 0);
  EXPECT_EQ(App().mouseLocation().x, 105);
  EXPECT_EQ(App().mouseLocation().y, 197);
  EXPECT_EQ(SWELL_LoadCursor(-1003), nullptr);
  HCURSOR move4 = SWELL_LoadCursor(-1002);
  ASSERT_TRUE(move4 && move4->image);
  EXPECT_EQ(move4->image->greyAlpha[2 * (7 * 16 + 0)], 0xFF) << "row 8 starts white";
  EXPECT_EQ(move4->image->greyAlpha[2 * (8 * 16 + 1)], 0x00) << "row 9 repeats row 8: black";
  EXPECT_EQ(SWELL_LoadCursor(-1002), move4);
}

std::string tempDir() {
  char tmpl[] = "/tmp/winsysXXXXXX";
  return mkdtemp(tmpl);
}

void writeFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

TEST_F(Menus, CursorFilesGoThroughAPrivateIconFile) {
  std::string dir = tempDir();
  setenv("TEMP", dir.c_str(), 1);
  // A cursor file: header (type 2, one image), a 32x32 entry with hot spot (3, 4), and its data.
  std::string cur("\0\0\2\0\1\0", 6);
  cur += std::string("\x20\x20\0\0\3\0\4\0\x04\0\0\0\x16\0\0\0", 16) + "DATA";
  writeFile(dir + "/arrow.cur", cur);
  HCURSOR c = SWELL_LoadCursorFromFile((dir + "/arrow.cur").c_str());
  ASSERT_TRUE(c);
  EXPECT_EQ(c->image->width, 32);
  EXPECT_EQ(c->hotSpot.x, 3);
  EXPECT_EQ(c->hotSpot.y, 4);
  std::string ico = cur;
  ico[2] = 1;
  writeFile(dir + "/icon.cur", ico);
  HCURSOR plain = SWELL_LoadCursorFromFile((dir + "/icon.cur").c_str());
  ASSERT_TRUE(plain) << "an icon file is no cursor file, but it is an image";
  EXPECT_EQ(plain->hotSpot.x, 0);
  auto named = std::make_shared<winsys::Image>();
  winsys::setNamedImage("handcursor", named);
  HCURSOR fallback = SWELL_LoadCursorFromFile("handcursor");
  ASSERT_TRUE(fallback) << "a resource name without a cursor file falls back to the named image";
  EXPECT_EQ(fallback->image, named);
  winsys::setNamedImage("handcursor", nullptr);
  for (HCURSOR made : {c, plain, fallback}) made->release();
  int left = 0;
  for (auto& e : std::filesystem::directory_iterator(dir)) left += e.path().filename().string().rfind("swellcur", 0) == 0;
  EXPECT_EQ(left, 0) << "the temporary icon file is deleted";
  unsetenv("TEMP");
  std::filesystem::remove_all(dir);
}

TEST_F(Menus, ChoosersAndMessageBoxes) {
  const char filters[] = "Banks\0*.syx;*.tvx\0All\0*.*\0";
  EXPECT_EQ(extensionsFromList(filters), (std::vector<std::string>{"syx", "tvx"}));
  std::vector<std::string> answer;
  std::string startDir, startName;
  App().panelResponder = [&](winsys::SavePanel& p) {
    startDir = p.directory;
    startName = p.nameFieldValue;
    p.filenames = answer;
    return answer.empty() ? 0 : 1;
  };
  char fn[64] = "untouched";
  EXPECT_FALSE(BrowseForSaveFile("Save", "/home", "/a/b/name.syx", filters, fn, sizeof fn));
  EXPECT_STREQ(fn, "untouched");
  EXPECT_EQ(startDir, "/a/b");
  EXPECT_EQ(startName, "name.syx");
  answer = {"/x/out.syx"};
  EXPECT_TRUE(BrowseForSaveFile("Save", "/home", "/root.syx", filters, fn, sizeof fn));
  EXPECT_EQ(startDir, "/");
  EXPECT_STREQ(fn, "/x/out.syx");
  answer = {"/p/1", "/p/2"};
  char* list = BrowseForFiles("Open", "/home", "", true, filters);
  ASSERT_TRUE(list);
  EXPECT_EQ(std::string(list, 12), std::string("\0/p/1\0/p/2\0\0", 12));
  EXPECT_EQ(startDir, "/home");
  free(list);
  int pressed = 2;
  std::vector<std::string> buttons;
  App().alertResponder = [&](const winsys::Alert& a) {
    buttons = a.buttons;
    return pressed;
  };
  EXPECT_EQ(MessageBox(nullptr, "Sure?", "Q", MB_YESNOCANCEL), IDNO);
  EXPECT_EQ(buttons, (std::vector<std::string>{"Yes", "Cancel", "No"}));
  pressed = 1;
  EXPECT_EQ(MessageBox(nullptr, nullptr, "Q", MB_RETRYCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBox(nullptr, "x", "Q", 2), 0) << "no panel for other types";
}

std::string gWritten;
void writePromise(const char* dest) {
  gWritten = dest;
  writeFile(dest, "bank");
}

TEST_F(Menus, PromisedFilesKeepBothWithoutOverwriting) {
  std::string dir = tempDir();
  HWND top = topLevel();
  writeFile(dir + "/Bank7.syx", "old");
  App().alertResponder = [](const winsys::Alert& a) { return a.title == "Copy" ? 0 : 1; };
  std::vector<std::string> names;
  SWELL_InitiateDragDrop(top, nullptr, "/src/Bank7.syx", writePromise);
  EXPECT_EQ(SWELL_LastDragStart().types, std::vector<std::string>{"syx"});
  ASSERT_TRUE(SWELL_DoDragDrop(dir.c_str(), &names));
  EXPECT_EQ(names, std::vector<std::string>{"Bank008.syx"});
  EXPECT_FALSE(SWELL_DoDragDrop(dir.c_str(), &names)) << "the pending source is gone";
  for (int i = 9; i <= 999; ++i) {
    char n[32];
    snprintf(n, sizeof n, "/Bank%03d.syx", i);
    writeFile(dir + n, "x");
  }
  gWritten.clear();
  SWELL_InitiateDragDrop(top, nullptr, "/src/Bank7.syx", writePromise);
  EXPECT_FALSE(SWELL_DoDragDrop(dir.c_str(), &names));
  EXPECT_TRUE(gWritten.empty()) << "no free name: nothing written";
  std::ifstream old(dir + "/Bank7.syx");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");
  std::filesystem::remove_all(dir);
}

BOOL countChild(HWND, LPARAM lp) {
  ++*reinterpret_cast<int*>(lp);
  return 1;
}

TEST_F(Menus, WindowExtras) {
  HWND top = topLevel();
  HWND a = child(top, 0, 0, 10, 10);
  child(a, 0, 0, 5, 5);
  int n = 0;
  EXPECT_TRUE(EnumChildWindows(top, countChild, LPARAM(&n)));
  EXPECT_EQ(n, 2);
  n = 0;
  EXPECT_TRUE(EnumChildWindows(GetWindow(a, GW_CHILD), countChild, LPARAM(&n)));
  EXPECT_EQ(n, 0);
  SWELL_SetViewGL(top, true);
  auto* gl = static_cast<Swell_vTarnivex_hwnd*>(swell::asView(top))->m_glctx;
  SWELL_SetViewGL(top, true);
  EXPECT_EQ(static_cast<Swell_vTarnivex_hwnd*>(swell::asView(top))->m_glctx, gl) << "one context";
  EXPECT_TRUE(SWELL_SetGLContextToView(top));
  EXPECT_TRUE(gl->current);
  SWELL_SetViewGL(top, false);
  EXPECT_FALSE(SWELL_GetViewGL(top));
  EXPECT_FALSE(SWELL_SetGLContextToView(top));
  struct {
    const char *file, *params;
    std::string op, target, app;
  } shells[] = {{"notepad", "/doc.txt", "openFileWithApplication", "/doc.txt", "TextEdit.app"},
                {"HTTP://x.org", nullptr, "openURL", "HTTP://x.org", ""},
                {"explorer.exe", "/folder", "openFile", "/folder", ""},
                {"Tool.app", "explorer.exe", "launchApplication", "Tool.app", ""}};
  for (auto& s : shells) {
    App().workspaceCalls.clear();
    EXPECT_EQ(ShellExecute(top, "open", s.file, s.params, nullptr, 0), 1);
    ASSERT_EQ(App().workspaceCalls.size(), 1u);
    EXPECT_EQ(App().workspaceCalls[0].op, s.op);
    EXPECT_EQ(App().workspaceCalls[0].target, s.target);
    EXPECT_EQ(App().workspaceCalls[0].application, s.app);
  }
  App().setSystemVersion(0x1050);
  EXPECT_FALSE(SWELL_SetAppAutoHideMenuAndDock(1));
  App().setSystemVersion(0x1060);
  EXPECT_TRUE(SWELL_SetAppAutoHideMenuAndDock(2));
  EXPECT_EQ(App().presentationOptions, 6u);
}

}  // namespace

namespace {

TEST_F(Menus, ForeignWindowFollowsItsHostView) {
  HWND top = topLevel(200, 100);
  RECT r{10, 10, 60, 40};
  void* foreign = nullptr;
  auto* host = dynamic_cast<Swell_vTarnivex_hwndcarbonhost*>(SWELL_CreateCarbonWindowView(top, &foreign, &r, false));
  ASSERT_TRUE(host && foreign);
  EXPECT_EQ(SWELL_GetWindowFromCarbonWindowView(host), foreign);
  SWELL_RunRunLoop(20);
  EXPECT_EQ(host->m_cwnd->parentWindow(), swell::asView(top)->window()) << "attached by the timer";
  EXPECT_EQ(host->m_carbonBounds.right - host->m_carbonBounds.left, 50);
  EXPECT_EQ(host->m_carbonBounds.bottom - host->m_carbonBounds.top, 30);
  EXPECT_TRUE(host->carbonKeyEvent(1, 0, 0, "a", 0));
  EXPECT_FALSE(host->carbonKeyEvent(1, 0, 0, "a", fourCC("etxt"))) << "a text control keeps its keys";
  SWELL_CarbonWndHost_SetWantAllKeys(static_cast<HWND>(host), true);
  EXPECT_FALSE(host->carbonKeyEvent(1, 0, 0, "a", 0));
  EXPECT_EQ(host->carbonWindowEvent(7), 3);
  swell::asView(top)->setHidden(true);
  SWELL_RunRunLoop(20);
  EXPECT_EQ(host->m_cwnd->parentWindow(), nullptr) << "detached while hidden";
  EXPECT_FALSE(host->m_cwnd->isVisible());
  DestroyWindow(host);
  EXPECT_EQ(host->m_cwnd, nullptr);
}

}  // namespace

namespace {

TEST_F(Menus, DefaultButtonWindowMenuAndNonClientClicks) {
  HWND top = topLevel(200, 100);
  SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
  HWND ok = SWELL_MakeButton(1, "OK", 10006, 5, 5, 40, 14, 0);
  EXPECT_EQ(SWELL_GetDefaultButtonID(top, true), 10006);
  EnableWindow(ok, 0);
  EXPECT_EQ(SWELL_GetDefaultButtonID(top, true), 0) << "disabled";
  EXPECT_EQ(SWELL_GetDefaultButtonID(top, false), 10006);
  SetFocus(top);
  HMENU m = sample();
  rec.log.clear();
  EXPECT_TRUE(SetMenu(top, m));
  EXPECT_EQ(GetMenu(top), m);
  EXPECT_EQ(SWELL_GetCurrentMenu(), m) << "the key window's menu is the application's";
  EXPECT_EQ(rec.of(WM_INITMENUPOPUP).size(), 1u);
  DestroyMenu(m);
  Event click;
  click.type = winsys::EventType::kLeftMouseDown;
  click.window = swell::asView(top)->window();
  click.locationInWindow = {100, 50};
  EXPECT_FALSE(SWELL_HandleMouseEvent(click)) << "client area: the platform handles it";
  rec.answers[WM_NCHITTEST] = 2;
  rec.log.clear();
  EXPECT_TRUE(SWELL_HandleMouseEvent(click));
  EXPECT_EQ(rec.of(WM_LBUTTONDOWN - 0x160).size(), 1u) << "a non-client press";
}

}  // namespace
