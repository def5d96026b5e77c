#include "X11Dialogs.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "DesktopTools.h"
#include "Fill.h"
#include "Shapes.h"
#include "ViewText.h"
#include "X11Painter.h"
#include "XErrorTrap.h"

const char* const kDialogToolHint =
    "The editor shows its dialogs with zenity or kdialog; install one of them (for example: apt install zenity).";

namespace {
constexpr int kBoxWidth = 420;
constexpr int kPad = 14;
constexpr int kButtonW = 80, kButtonH = 24, kButtonGap = 10;
constexpr LICE_pixel kFace = LICE_RGBA(0xEE, 0xEE, 0xEC, 255);
constexpr LICE_pixel kInk = LICE_RGBA(0x10, 0x10, 0x10, 255);
constexpr LICE_pixel kFrame = LICE_RGBA(0x60, 0x60, 0x60, 255);
constexpr LICE_pixel kButtonFace = LICE_RGBA(0xFF, 0xFF, 0xFF, 255);

struct BoxGeometry {
  int w, h, buttonsTop, buttonsLeft;
};
}  // namespace

std::vector<std::string> WrapText(const ViewText& text, const std::string& message, int width) {
  std::vector<std::string> lines;
  std::stringstream paragraphs(message);
  std::string paragraph;
  while (std::getline(paragraphs, paragraph)) {
    std::stringstream words(paragraph);
    std::string word, line;
    while (words >> word) {
      const std::string candidate = line.empty() ? word : line + " " + word;
      if (!line.empty() && text.Width(candidate) > width) {
        lines.push_back(line);
        line = word;
      } else {
        line = candidate;
      }
    }
    lines.push_back(line);
  }
  return lines;
}

std::vector<DrawnBoxButton> MessageBoxButtons(int type) {
  switch (type) {
    case 3: return {{"Yes", 1}, {"No", 7}, {"Cancel", 2}};
    case 4: return {{"Yes", 1}, {"No", 7}};
    case 1: return {{"OK", 1}, {"Cancel", 7}};
    default: return {{"OK", 1}};
  }
}

int RunDrawnBox(Display* display, Window editor, X11Painter& painter, const ViewText& text,
                const std::string& caption, const std::string& message, const std::vector<DrawnBoxButton>& buttons) {
  const int lineHeight = std::max(16, text.LineHeight());
  std::vector<std::string> lines = WrapText(text, message, kBoxWidth - kPad * 2);
  if (!caption.empty()) lines.insert(lines.begin(), {caption, ""});
  BoxGeometry g{};
  g.w = kBoxWidth;
  g.buttonsTop = kPad + static_cast<int>(lines.size()) * lineHeight + kPad;
  g.h = g.buttonsTop + kButtonH + kPad;
  const int buttonsWidth = static_cast<int>(buttons.size()) * (kButtonW + kButtonGap) - kButtonGap;
  g.buttonsLeft = g.w - kPad - buttonsWidth;

  Window root = DefaultRootWindow(display), child = 0;
  XWindowAttributes editorAttributes{};
  int x = 0, y = 0;
  {
    XErrorTrap trap(display);
    XGetWindowAttributes(display, editor, &editorAttributes);
    XTranslateCoordinates(display, editor, root, (editorAttributes.width - g.w) / 2,
                          (editorAttributes.height - g.h) / 2, &x, &y, &child);
    if (!trap.Sync()) return 0;
  }
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask;
  attributes.background_pixmap = None;
  Window box = XCreateWindow(display, root, std::max(0, x), std::max(0, y), g.w, g.h, 0, CopyFromParent,
                             InputOutput, CopyFromParent, CWOverrideRedirect | CWEventMask | CWBackPixmap,
                             &attributes);
  GC gc = XCreateGC(display, box, 0, nullptr);
  XMapRaised(display, box);
  LICE_MemBitmap bitmap(g.w, g.h);
  auto paint = [&] {
    LICE_FillRect(&bitmap, 0, 0, g.w, g.h, kFace, 1.0f, 0);
    LICE_DrawRect(&bitmap, 0, 0, g.w - 1, g.h - 1, kFrame, 1.0f, 0);
    for (size_t i = 0; i < lines.size(); ++i)
      text.Draw(&bitmap, kPad, kPad + static_cast<int>(i) * lineHeight + text.Ascent(), lines[i], kInk);
    for (size_t i = 0; i < buttons.size(); ++i) {
      const int bx = g.buttonsLeft + static_cast<int>(i) * (kButtonW + kButtonGap);
      LICE_FillRect(&bitmap, bx, g.buttonsTop, kButtonW, kButtonH, kButtonFace, 1.0f, 0);
      LICE_DrawRect(&bitmap, bx, g.buttonsTop, kButtonW - 1, kButtonH - 1, kFrame, 1.0f, 0);
      const int lw = text.Width(buttons[i].label);
      text.Draw(&bitmap, bx + (kButtonW - lw) / 2, g.buttonsTop + (kButtonH + text.Ascent()) / 2 - 2,
                buttons[i].label, kInk);
    }
    painter.Put(box, gc, bitmap.getBits(), bitmap.getRowSpan(), g.w, g.h, {0, 0, g.w, g.h});
    XFlush(display);
  };
  // The keyboard grab goes out with the map, before anything is painted.
  XGrabKeyboard(display, box, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  bool grabbed = false;
  for (int attempt = 0; attempt < 50 && !grabbed; ++attempt) {
    grabbed = XGrabPointer(display, box, False, ButtonPressMask | ButtonReleaseMask, GrabModeAsync, GrabModeAsync,
                           None, None, CurrentTime) == GrabSuccess;
    if (!grabbed) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  paint();

  std::vector<XEvent> others;
  int answer = -1;
  while (answer < 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.xany.window != box) {
      others.push_back(event);
      continue;
    }
    if (event.type == Expose && event.xexpose.count == 0) paint();
    if (event.type == ButtonRelease && event.xbutton.y >= g.buttonsTop && event.xbutton.y < g.buttonsTop + kButtonH) {
      const int offset = event.xbutton.x - g.buttonsLeft;
      const int index = offset >= 0 ? offset / (kButtonW + kButtonGap) : -1;
      if (index >= 0 && index < static_cast<int>(buttons.size()) && offset % (kButtonW + kButtonGap) < kButtonW)
        answer = buttons[index].answer;
    }
    if (event.type == KeyPress) {
      const KeySym keysym = XLookupKeysym(&event.xkey, 0);
      if (keysym == XK_Escape) answer = 0;
      if (keysym == XK_Return || keysym == XK_KP_Enter) answer = buttons.empty() ? 0 : buttons[0].answer;
    }
  }
  XUngrabPointer(display, CurrentTime);
  XUngrabKeyboard(display, CurrentTime);
  XFreeGC(display, gc);
  XDestroyWindow(display, box);
  XFlush(display);
  for (auto it = others.rbegin(); it != others.rend(); ++it) XPutBackEvent(display, &*it);
  return answer;
}

int ShowMessageBox(Display* display, Window editor, X11Painter& painter, const ViewText& text,
                   const std::string& message, const std::string& caption, int type,
                   const std::function<void()>& whileWaiting) {
  const DialogTool tool = FindDialogTool();
  if (tool != DialogTool::kNone) {
    const ChildResult result = RunChild(MessageBoxCommand(tool, message, caption, type), whileWaiting);
    if (result.ran) return MessageBoxAnswer(tool, type, result.exitCode, result.output);
  }
  return RunDrawnBox(display, editor, painter, text, caption, message + "\n\n" + kDialogToolHint,
                     MessageBoxButtons(type));
}

bool ShowFilePrompt(Display* display, Window editor, X11Painter& painter, const ViewText& text,
                    const ViewFilePrompt& prompt, std::string* chosen, const std::function<void()>& whileWaiting) {
  const DialogTool tool = FindDialogTool();
  if (tool != DialogTool::kNone) {
    const ChildResult result = RunChild(FilePromptCommand(tool, prompt), whileWaiting);
    if (result.ran) {
      *chosen = FilePromptAnswer(result.exitCode, result.output);
      return !chosen->empty();
    }
  }
  RunDrawnBox(display, editor, painter, text, prompt.save ? "Save File" : "Open File", kDialogToolHint,
              MessageBoxButtons(0));
  chosen->clear();
  return false;
}
