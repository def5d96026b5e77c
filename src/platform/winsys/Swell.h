// The window-system layer: Win32-style windows, messages, timers, posted
// messages and window utilities over the window model.
#pragma once

#include "BaseServices.h"
#include "SwellMessages.h"
#include "SwellTypes.h"

struct SWELL_DialogResourceIndex {
  int resid;
  const char* title;
  int windowTypeFlags;
  HWND (*createFunc)(HWND parent, int flags);
  int width, height;
  SWELL_DialogResourceIndex* next;
};

struct NMHDR {
  HWND hwndFrom;
  uintptr_t idFrom;
  int code;
};

struct NMLISTVIEW {
  NMHDR hdr;
  int iItem, iSubItem;
  UINT uNewState, uOldState, uChanged;
  POINT ptAction;
  LPARAM lParam;
};

struct NMTREEVIEW {
  NMHDR hdr;
  UINT action;
  void* itemOld[4];
  void* itemNew[4];
  POINT ptDrag;
};

struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  void* lppos;
};

struct MINMAXINFO {
  POINT ptReserved, ptMaxSize, ptMaxPosition, ptMinTrackSize, ptMaxTrackSize;
};

// Laid out as the platform delivers it; the argument is pointer-sized here.
struct GESTUREINFO {
  UINT cbSize;
  DWORD dwFlags;
  DWORD dwID;
  HWND hwndTarget;
  short x, y;
  DWORD dwInstanceID;
  DWORD dwSequenceID;
  uint64_t ullArguments;
  UINT cbExtraArgs;
};

// The drawing-context backend, as the layer paints through it. The layer
// starts with the memory drawing contexts: each window keeps its pixels in
// one, and a view paints into a context of its own size that is filled from
// the window's pixels when it opens and written back when it closes. Another
// backend can be installed in its place (a null member then does nothing).
struct SwellPaintBackend {
  HDC (*createContext)(HWND view) = nullptr;
  void (*deleteContext)(HDC) = nullptr;
  void (*fillRect)(HDC, const RECT*, HBRUSH) = nullptr;
  void (*fillDialogBackground)(HDC, const RECT*, int) = nullptr;
  // The text colour set on a context (0xRRGGBB), false when none was set.
  bool (*textColor)(HDC, int* rgb) = nullptr;
  // Save the drawing state, intersect the clip with a rectangle, restore the state.
  void (*pushClip)(HDC) = nullptr;
  void (*setClip)(HDC, const RECT*) = nullptr;
  void (*popClip)(HDC) = nullptr;
  // The picture of a bitmap drawing object (kind 4), null for anything else.
  void* (*imageOf)(HGDIOBJ) = nullptr;
  // The platform font of a font drawing object (kind 3), null for anything else.
  void* (*fontOf)(HGDIOBJ) = nullptr;
  // Text in a colour (0xRRGGBB) inside a rectangle, with the Win32 DrawText flags.
  void (*drawText)(HDC, const char* text, const RECT*, int color, int flags) = nullptr;
};
void* SWELL_GetGdiObjectImage(HGDIOBJ obj);
void SWELL_SetPaintBackend(const SwellPaintBackend& backend);
const SwellPaintBackend& SWELL_GetPaintBackend();
SwellPaintBackend SWELL_DefaultPaintBackend();
// The memory context holding what a window (or the window of a view) shows,
// its top row first; null before the window first painted.
HDC SWELL_GetWindowContext(HWND hwnd);

// Process-wide hooks of the view class.
extern HWND g_swell_only_timerhwnd;
extern bool g_swell_terminating;
extern void (*SWELL_DDrop_onDragEnter)(void* block, int x, int y);
extern void (*SWELL_DDrop_onDragOver)(int x, int y);
extern void (*SWELL_DDrop_onDragLeave)();
extern const char* (*SWELL_DDrop_getDroppedFileTargetPath)(const char* firstName);
extern bool SWELL_owned_windows_levelincrease;
extern HMENU g_swell_defaultmenu, g_swell_defaultmenumodal;

LRESULT SWELL_DefaultDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void SWELL_DoDialogColorUpdates(HWND hwnd, DialogProc proc, bool isUpdate);

// Keyboard and cursors. Events are the window model's; a null event means the current one.
int SWELL_MacKeyToWindowsKey(const void* event, int* flags);
int SWELL_MacKeyToWindowsKeyEx(const void* event, int* flags, int mode);
// The character the current keyboard layout gives a key code; 0 without layout services.
int charFromVcode(int keycode);
int SWELL_KeyToASCII(WPARAM wParam, LPARAM lParam, int* newFlags);
short GetAsyncKeyState(int vk);
// Control-click becomes a right click while emulation is on (the default).
void SWELL_EnableRightClickEmulate(BOOL enable);
BOOL IsRightClickEmulateEnabled();
struct HCURSOR__;
typedef HCURSOR__* HCURSOR;
HCURSOR SWELL_LoadCursor(int id);
// A new cursor the caller releases.
HCURSOR SWELL_LoadCursorFromFile(const char* path);
void SWELL_SetCursor(HCURSOR cursor);
HCURSOR SWELL_GetCursor();
HCURSOR SWELL_GetLastSetCursor();
int SWELL_ShowCursor(BOOL show);
bool SWELL_IsCursorVisible();
void GetCursorPos(POINT* p);
DWORD GetMessagePos();
bool SWELL_SetCursorPos(int x, int y);
// Forgets the cursor state and restores right-click emulation (as at program start).
void SWELL_ResetInputState();
void SWELL_SetMenuDestination(HMENU menu, HWND hwnd);

// Window core.
HWND GetDlgItem(HWND hwnd, int id);
BOOL GetDlgItemText(HWND hwnd, int id, char* buf, int len);
BOOL SetDlgItemText(HWND hwnd, int id, const char* text);
void SetDlgItemInt(HWND hwnd, int id, int value, bool isSigned);
int GetDlgItemInt(HWND hwnd, int id, bool* translated, bool isSigned);
LONG_PTR GetWindowLong(HWND hwnd, int index);
LONG_PTR SetWindowLong(HWND hwnd, int index, LONG_PTR value);
bool IsWindowVisible(HWND hwnd);
bool IsWindow(HWND hwnd);
bool IsChild(HWND parent, HWND child);
bool IsEquivalentTextView(HWND a, HWND b);
void EnableWindow(HWND hwnd, BOOL enable);
void SetFocus(HWND hwnd);
void SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND GetCapture();
void CenterWindow(HWND hwnd);
void SWELL_HideApp();
void ShowWindow(HWND hwnd, int cmd);
void DestroyWindow(HWND hwnd);
void SWELL_CloseWindow(HWND hwnd);
HWND GetWindow(HWND hwnd, int relation);
HWND SetParent(HWND hwnd, HWND newParent);
HWND SWELL_NavigateUpScrollClipViews(HWND hwnd);
bool GetWindowRect(HWND hwnd, RECT* r);
void GetWindowContentViewRect(HWND hwnd, RECT* r);
void GetClientRect(HWND hwnd, RECT* r);
void ClientToScreen(HWND hwnd, POINT* p);
void SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, int flags);
void SWELL_GetViewPort(RECT* out, const RECT* sourceRect, bool wantWorkArea);
void InvalidateRect(HWND hwnd, const RECT* r, BOOL erase);
void* SWELL_ModalWindowStart(HWND hwnd);
bool SWELL_ModalWindowRun(void* session, int* ret);
void SWELL_ModalWindowEnd(void* session);
bool SWELL_GetGestureInfo(LPARAM lParam, GESTUREINFO* out);

// Message dispatch.
LRESULT SendMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
HWND GetFocus();
HWND GetParent(HWND hwnd);
void ScreenToClient(HWND hwnd, POINT* p);

// Combo boxes, trackbars and buttons by item id.
int SWELL_CB_AddString(HWND hwnd, int id, const char* text);
int SWELL_CB_InsertString(HWND hwnd, int id, int pos, const char* text);
void SWELL_CB_DeleteString(HWND hwnd, int id, int idx);
int SWELL_CB_GetNumItems(HWND hwnd, int id);
int SWELL_CB_GetCurSel(HWND hwnd, int id);
void SWELL_CB_SetCurSel(HWND hwnd, int id, int idx);
bool SWELL_CB_GetItemText(HWND hwnd, int id, int idx, char* buf, int len);
void SWELL_CB_Empty(HWND hwnd, int id);
LONG_PTR SWELL_CB_GetItemData(HWND hwnd, int id, int idx);
void SWELL_CB_SetItemData(HWND hwnd, int id, int idx, LONG_PTR value);
int SWELL_CB_FindString(HWND hwnd, int id, int startAfter, const char* text, bool exact);

// Top-level windows.
HWND SWELL_CreateModelessFrameForWindow(HWND child, HWND owner, unsigned int styleMask);
// A modeless window (or, without a record, a plain top-level window) whose content view is reported.
HWND SWELL_CreateModelessWindow(const SWELL_DialogResourceIndex* rec, HWND parent, DialogProc proc, LPARAM param,
                                unsigned forceStyles);
// A modal dialog box window, built but not yet run; its content view is the handle.
HWND SWELL_CreateDialogBoxWindow(const SWELL_DialogResourceIndex* rec, HWND parent, DialogProc proc,
                                 LPARAM param);
void SWELL_SetModalRetVal(HWND hwnd, int value);
bool SWELL_GetModalRetVal(HWND hwnd, int* value);
int SWELL_GetWindowWantRaiseAmt(HWND hwnd);
void SWELL_SetWindowWantRaiseAmt(HWND hwnd, int amount);
int SWELL_SetWindowLevel(HWND hwnd, int level);

// Timers and posted messages.
typedef void (*TIMERPROC)(HWND, UINT, uintptr_t, DWORD);
uintptr_t SetTimer(HWND hwnd, uintptr_t timerid, UINT rate, TIMERPROC tProc);
BOOL KillTimer(HWND hwnd, uintptr_t timerid);
void SWELL_RunRunLoop(int ms);
void SWELL_RunRunLoopEx(int ms, HWND hwnd);
void SWELL_Internal_PostMessage_Init();
BOOL PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
BOOL SWELL_Internal_PostMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void SWELL_MessageQueue_Flush();
void SWELL_MessageQueue_Clear(HWND hwnd);
void SWELL_Internal_PMQ_ClearAllMessages(HWND hwnd);
// Queue state: records queued and spare records, for tests of the cap.
int SWELL_MessageQueue_Size();
int SWELL_MessageQueue_SpareCount();
// Forgets the queue and every timer (as at program start).
void SWELL_ResetTimersAndQueue();

// Window utilities.
HWND WindowFromPoint(POINT pt);
void UpdateWindow(HWND hwnd);
void SWELL_FlushWindow(HWND hwnd);
HWND SetCapture(HWND hwnd);
void ReleaseCapture();
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, PAINTSTRUCT* ps);
LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void SWELL_BroadcastMessage(UINT msg, WPARAM wParam, LPARAM lParam);
BOOL DragQueryPoint(HGLOBAL hDrop, POINT* pt);
UINT DragQueryFile(HGLOBAL hDrop, UINT idx, char* buf, UINT size);
void DragFinish(HGLOBAL hDrop);
UINT RegisterClipboardFormat(const char* name);
bool OpenClipboard(HWND hwnd);
UINT EnumClipboardFormats(UINT prev);
void EmptyClipboard();
void SetClipboardData(UINT fmt, HGLOBAL h);
void CloseClipboard();
HGLOBAL GetClipboardData(UINT fmt);
// Forgets the registered formats, the pending records and the pasteboards.
void SWELL_ResetClipboard();
void* GetProp(HWND hwnd, const char* name);
void* RemoveProp(HWND hwnd, const char* name);
BOOL SetProp(HWND hwnd, const char* name, void* value);
int EnumPropsEx(HWND hwnd, int (*proc)(HWND, const char*, void*, LPARAM), LPARAM lParam);
int GetSystemMetrics(int index);
BOOL ScrollWindow(HWND hwnd, int dx, int dy, const RECT* rect, const RECT* clip);
HWND FindWindowEx(HWND parent, HWND after, const char* className, const char* title);
