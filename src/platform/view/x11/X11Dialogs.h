// Message boxes and file prompts of the X11 view: the desktop's zenity or
// kdialog when one is installed, otherwise a box the editor draws itself
// that says what to install.
#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <string>
#include <vector>

#include "ViewRecords.h"

class X11Painter;
class ViewText;

extern const char* const kDialogToolHint;

// whileWaiting keeps the editor painted while a desktop dialog is up.
int ShowMessageBox(Display* display, Window editor, X11Painter& painter, const ViewText& text,
                   const std::string& message, const std::string& caption, int type,
                   const std::function<void()>& whileWaiting);
bool ShowFilePrompt(Display* display, Window editor, X11Painter& painter, const ViewText& text,
                    const ViewFilePrompt& prompt, std::string* chosen, const std::function<void()>& whileWaiting);

// The drawn box: its lines and buttons, run modally over the editor. Returns
// the answer of the button taken, 0 when dismissed with Escape.
struct DrawnBoxButton {
  std::string label;
  int answer;
};
std::vector<DrawnBoxButton> MessageBoxButtons(int type);
int RunDrawnBox(Display* display, Window editor, X11Painter& painter, const ViewText& text,
                const std::string& caption, const std::string& message, const std::vector<DrawnBoxButton>& buttons);

// The message broken into lines no wider than width.
std::vector<std::string> WrapText(const ViewText& text, const std::string& message, int width);
