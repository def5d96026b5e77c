// File and folder choosers over the save and open panels, and message boxes.
#pragma once

#include <string>
#include <vector>

#include "Swell.h"

enum : int {
  MB_OK = 0, MB_OKCANCEL = 1, MB_YESNOCANCEL = 3, MB_YESNO = 4, MB_RETRYCANCEL = 5,
  IDOK = 1, IDRETRY = 4, IDYES = 6, IDNO = 7,
};

void BrowseFile_SetTemplate(const char* dlgid, DLGPROC dlgproc, SWELL_DialogResourceIndex* reshead);
// The extensions a Win32 filter list allows.
std::vector<std::string> extensionsFromList(const char* extlist);
bool BrowseForSaveFile(const char* text, const char* initialdir, const char* initialfile, const char* extlist,
                       char* fn, int fnsize);
// A malloc'd list the caller frees: one path and two NULs, or NUL, the paths each with a NUL, and a NUL.
char* BrowseForFiles(const char* text, const char* initialdir, const char* initialfile, bool allowmul,
                     const char* extlist);
bool BrowseForDirectory(const char* text, const char* initialdir, char* fn, int fnsize);
int MessageBox(HWND hwnd, const char* text, const char* caption, int type);
