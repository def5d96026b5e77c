// Dialogs built from resource records: the control walk, modal dialog
// boxes, modeless and child dialogs, and their ending.
#pragma once

#include "Swell.h"

// One control of a dialog's control array: the first word names its kind
// (or is the text of a control of a named class) and decides how the other
// eight are read.
struct SWELL_DialogControlEntry {
  const char* tag;
  intptr_t p1;
  const char* p2;
  intptr_t id;
  int x, y, w, h;
  int style;
};

extern SWELL_DialogResourceIndex* SWELL_curmodule_dialogresource_head;

void SWELL_GenerateDialogFromList(const void* entries, int count);
int SWELL_DialogBox(SWELL_DialogResourceIndex* head, const char* resid, HWND parent, DialogProc dlgproc,
                    LPARAM param);
HWND SWELL_CreateDialog(SWELL_DialogResourceIndex* head, const char* resid, HWND parent, DialogProc dlgproc,
                        LPARAM param);
void EndDialog(HWND hwnd, int result);
HMENU SWELL_GetDefaultWindowMenu();
void SWELL_SetDefaultWindowMenu(HMENU menu);
HMENU SWELL_GetDefaultModalWindowMenu();
void SWELL_SetDefaultModalWindowMenu(HMENU menu);

// Buttons and trackbars by item id.
void CheckDlgButton(HWND hwnd, int id, int check);
int IsDlgButtonChecked(HWND hwnd, int id);
int SWELL_TB_GetPos(HWND hwnd, int id);
void SWELL_TB_SetPos(HWND hwnd, int id, int pos);
void SWELL_TB_SetRange(HWND hwnd, int id, int low, int high);
void SWELL_TB_SetTic(HWND hwnd, int id, int pos);
