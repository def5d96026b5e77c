// Key events to virtual keys and key flags, the key and button state, and
// right-click emulation.
#include <cctype>

#include "Internal.h"
#include "model/Application.h"
#include "model/Event.h"

namespace {

bool s_rightclickemulate = true;

// Platform key codes 51 to 126 that name a virtual key.
int virtualKeyFor(int code) {
  switch (code) {
    case 51: return 8;
    case 65: return 110;
    case 67: return 106;
    case 69: return 107;
    case 71: return 144;
    case 75: return 111;
    case 76: return 0x800D;
    case 78: return 109;
    case 81: return 108;
    case 82: return 96;
    case 83: return 97;
    case 84: return 98;
    case 85: return 99;
    case 86: return 100;
    case 87: return 101;
    case 88: return 102;
    case 89: return 103;
    case 91: return 104;
    case 92: return 105;
    case 122: return 112;
    case 120: return 113;
    case 99: return 114;
    case 118: return 115;
    case 96: return 116;
    case 97: return 117;
    case 98: return 118;
    case 100: return 119;
    case 101: return 120;
    case 109: return 121;
    case 103: return 122;
    case 111: return 123;
    case 105: return 44;
    case 114: return 45;
    case 115: return 36;
    case 116: return 33;
    case 117: return 46;
    case 119: return 35;
    case 121: return 34;
    case 123: return 37;
    case 124: return 39;
    case 125: return 40;
    case 126: return 38;
    default: return 0;
  }
}

// The first character of a UTF-8 text.
int firstChar(const std::string& s) {
  if (s.empty()) return 0;
  auto b = [&](size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0u; };
  unsigned c = b(0);
  if (c < 0x80) return int(c);
  if ((c & 0xE0) == 0xC0) return int(((c & 0x1F) << 6) | (b(1) & 0x3F));
  if ((c & 0xF0) == 0xE0) return int(((c & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F));
  return int(((c & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F));
}

}  // namespace

int SWELL_MacKeyToWindowsKeyEx(const void* event, int* flags, int mode) {
  auto* e = static_cast<const winsys::Event*>(event);
  if (!e) e = winsys::App().currentEvent();
  if (!e) return 0;
  int f = 0;
  unsigned m = e->modifierFlags;
  if (m & winsys::kShiftKeyMask) f |= 4;
  if (m & winsys::kCommandKeyMask) f |= 8;
  if (m & winsys::kAlternateKeyMask) f |= 16;
  if ((m & winsys::kControlKeyMask) && !s_rightclickemulate) f |= 32;
  int code = 0;
  if (int vk = e->keyCode >= 51 && e->keyCode <= 126 ? virtualKeyFor(e->keyCode) : 0) {
    code = vk;
    f |= 1;
  } else {
    const std::string& ignoring = e->charactersIgnoringModifiers.empty() ? e->characters : e->charactersIgnoringModifiers;
    const std::string& text = mode == 1 && !e->characters.empty() ? e->characters : ignoring;
    int c = firstChar(text);
    if (c) {
      if (c >= 'a' && c <= 'z') c += 'A' - 'a';
      if ((f & 4) && c == 25) c = 9;
      if ((c < 128 && isalnum(c)) || c == 9 || c == 10 || c == 13 || c == 27 || c == 32) {
        f |= 1;
      } else {
        f &= ~4;
      }
      code = c;
    } else if (int lc = mode == 1 ? charFromVcode(e->keyCode) : 0) {
      code = lc;
      f &= ~4;
    } else {
      code = e->keyCode + 1024;
      f |= 1;
    }
  }
  if (flags) *flags = f;
  return code;
}

int SWELL_MacKeyToWindowsKey(const void* event, int* flags) {
  return event ? SWELL_MacKeyToWindowsKeyEx(event, flags, 0) : 0;
}

// Linux has no keyboard-layout service for this layer to ask: the answer is
// the one given when the layout services are missing.
int charFromVcode(int) { return 0; }

int SWELL_KeyToASCII(WPARAM wParam, LPARAM lParam, int* newFlags) {
  static const char shifted[] = ")!@#$%^&*(";
  if (wParam >= '0' && wParam <= '9' && lParam == 5) {
    if (newFlags) *newFlags = 0;
    return shifted[wParam - '0'];
  }
  return 0;
}

short GetAsyncKeyState(int vk) {
  const winsys::Event* e = winsys::App().currentEvent();
  unsigned buttons = e ? e->buttonState : 0;
  unsigned mods = winsys::App().modifierFlags();
  bool down = false;
  switch (vk) {
    case 1: down = buttons & 1; break;
    case 2: down = buttons & 2; break;
    case 4: down = buttons & 4; break;
    case 16: down = mods & winsys::kShiftKeyMask; break;
    case 17: down = mods & winsys::kCommandKeyMask; break;
    case 18: down = mods & winsys::kAlternateKeyMask; break;
    case 91: down = !s_rightclickemulate && (mods & winsys::kControlKeyMask); break;
    default: break;
  }
  return down ? short(0x8000) : 0;
}

void SWELL_EnableRightClickEmulate(BOOL enable) { s_rightclickemulate = enable != 0; }
BOOL IsRightClickEmulateEnabled() { return s_rightclickemulate; }

void SWELL_ResetKeyboardState() { s_rightclickemulate = true; }
