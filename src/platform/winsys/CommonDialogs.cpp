#include "CommonDialogs.h"

#include <cstdlib>
#include <cstring>

#include "Dialogs.h"
#include "Internal.h"
#include "Menus.h"
#include "model/Application.h"
#include "model/Panels.h"

using winsys::App;

namespace {

const char* BFSF_Templ_dlgid = nullptr;
DLGPROC BFSF_Templ_dlgproc = nullptr;
SWELL_DialogResourceIndex* BFSF_Templ_reshead = nullptr;

// The accessory dialog of the template, used once.
HWND takeTemplate(winsys::SavePanel* panel) {
  panel->setAccessoryView(nullptr);
  if (!BFSF_Templ_dlgid || !BFSF_Templ_dlgproc) return nullptr;
  HWND dlg = SWELL_CreateDialog(BFSF_Templ_reshead, BFSF_Templ_dlgid, panel, BFSF_Templ_dlgproc, 0);
  BFSF_Templ_dlgid = nullptr;
  BFSF_Templ_dlgproc = nullptr;
  return dlg;
}

void startFolderAndName(const char* initialdir, const char* initialfile, std::string* dir, std::string* name) {
  if (initialfile && *initialfile) {
    const char* slash = strrchr(initialfile, '/');
    if (slash) {
      *dir = slash == initialfile ? std::string("/") : std::string(initialfile, size_t(slash - initialfile));
      *name = slash + 1;
    } else {
      *name = initialfile;
    }
  }
  if (dir->empty() && initialdir && *initialdir) *dir = initialdir;
}

// Runs a panel with a copy of the default modal-window menu as the application's menu.
int runWithModalMenu(winsys::SavePanel* panel, const std::string& dir, const std::string& name) {
  HMENU copy = nullptr;
  if (HMENU m = SWELL_GetDefaultModalWindowMenu()) {
    copy = SWELL_DuplicateMenu(m);
    SWELL_SetCurrentMenu(copy);
  }
  int r = panel->runModalForDirectory(dir, name);
  if (copy) {
    SWELL_SetCurrentMenu(GetMenu(GetFocus()));
    DestroyMenu(copy);
  }
  return r;
}

void finish(winsys::SavePanel* panel, HWND accessory) {
  if (accessory) SendMessage(accessory, WM_DESTROY, 0, 0);
  panel->setAccessoryView(nullptr);
  panel->close();
}

}  // namespace

void BrowseFile_SetTemplate(const char* dlgid, DLGPROC dlgproc, SWELL_DialogResourceIndex* reshead) {
  BFSF_Templ_dlgid = dlgid;
  BFSF_Templ_dlgproc = dlgproc;
  BFSF_Templ_reshead = reshead;
}

std::vector<std::string> extensionsFromList(const char* extlist) {
  std::vector<std::string> out;
  out.reserve(30);
  const char* p = extlist;
  while (p && *p) {
    p += strlen(p) + 1;  // the description
    if (!*p) break;
    const char* patterns = p;
    p += strlen(p) + 1;
    for (const char* q = patterns; *q;) {
      const char* end = strchr(q, ';');
      if (!end) end = q + strlen(q);
      const char* dot = static_cast<const char*>(memchr(q, '.', size_t(end - q)));
      if (dot) {
        std::string ext(dot + 1, std::min<size_t>(size_t(end - dot - 1), 31));
        if (!ext.empty() && ext[0] != '*') out.push_back(ext);
      }
      q = *end ? end + 1 : end;
    }
  }
  return out;
}

bool BrowseForSaveFile(const char* text, const char* initialdir, const char* initialfile, const char* extlist,
                       char* fn, int fnsize) {
  auto* panel = new winsys::SavePanel;
  panel->setTitle(text ? text : "");
  HWND accessory = takeTemplate(panel);
  panel->allowedFileTypes = extensionsFromList(extlist);
  std::string dir, name;
  startFolderAndName(initialdir, initialfile, &dir, &name);
  int r = runWithModalMenu(panel, dir, name);
  std::string path = r == 1 && !panel->filenames.empty() ? panel->filenames[0] : "";
  finish(panel, accessory);
  if (r != 1) return false;
  char buf[2048];
  SWELL_CFStringToCString(path, buf, sizeof buf);
  if (buf[0] && fn && fnsize >= 1) lstrcpyn(fn, buf, fnsize);
  return true;
}

char* BrowseForFiles(const char* text, const char* initialdir, const char* initialfile, bool allowmul,
                     const char* extlist) {
  auto* panel = new winsys::OpenPanel;
  panel->setTitle(text ? text : "");
  panel->allowsMultipleSelection = allowmul;
  panel->canChooseFiles = true;
  panel->canChooseDirectories = false;
  panel->resolvesAliases = true;
  panel->allowedFileTypes = extensionsFromList(extlist);
  HWND accessory = takeTemplate(panel);
  std::string dir, name;
  startFolderAndName(initialdir, initialfile, &dir, &name);
  int r = runWithModalMenu(panel, dir, name);
  std::vector<std::string> files = r == 1 ? panel->filenames : std::vector<std::string>{};
  finish(panel, accessory);
  if (files.empty()) return nullptr;
  std::string out;
  if (files.size() == 1 || !allowmul) {
    out = files[0];
    out.append(2, '\0');
  } else {
    out.push_back('\0');
    for (auto& f : files) {
      out += f;
      out.push_back('\0');
    }
    out.push_back('\0');
  }
  char* buf = static_cast<char*>(malloc(out.size()));
  if (buf) memcpy(buf, out.data(), out.size());
  return buf;
}

bool BrowseForDirectory(const char* text, const char* initialdir, char* fn, int fnsize) {
  auto* panel = new winsys::OpenPanel;
  panel->setTitle(text ? text : "");
  panel->allowsMultipleSelection = false;
  panel->canChooseFiles = false;
  panel->canChooseDirectories = true;
  panel->canCreateDirectories = true;
  panel->resolvesAliases = true;
  HWND accessory = takeTemplate(panel);
  int r = runWithModalMenu(panel, initialdir && *initialdir ? initialdir : "", "");
  std::vector<std::string> files = r == 1 ? panel->filenames : std::vector<std::string>{};
  finish(panel, accessory);
  if (files.empty() || !fn || fnsize < 1) return false;
  SWELL_CFStringToCString(files[0], fn, fnsize);
  fn[fnsize - 1] = 0;
  return true;
}

int MessageBox(HWND, const char* text, const char* caption, int type) {
  winsys::Alert a;
  a.title = caption ? caption : "";
  a.message = text ? text : "";
  // The button codes by the index of the button pressed: default, alternate, other.
  std::vector<int> codes;
  switch (type) {
    case MB_OK: a.buttons = {"OK"}, codes = {IDOK}; break;
    case MB_OKCANCEL: a.buttons = {"OK", "Cancel"}, codes = {IDOK, IDCANCEL}; break;
    case MB_YESNOCANCEL: a.buttons = {"Yes", "Cancel", "No"}, codes = {IDYES, IDCANCEL, IDNO}; break;
    case MB_YESNO: a.buttons = {"Yes", "No"}, codes = {IDYES, IDNO}; break;
    case MB_RETRYCANCEL: a.buttons = {"Retry", "Cancel"}, codes = {IDRETRY, IDCANCEL}; break;
    default: return 0;
  }
  int pressed = App().runAlert(a);
  return pressed >= 0 && pressed < int(codes.size()) ? codes[size_t(pressed)] : codes[0];
}
