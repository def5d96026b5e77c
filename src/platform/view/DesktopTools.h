// The desktop's own programs, run as child processes: zenity or kdialog for
// message boxes and file choosers, xdg-open for addresses and folders. No
// GUI toolkit comes into the host's process.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ViewRecords.h"

enum class DialogTool { kNone, kZenity, kKdialog };

// The first of zenity and kdialog found on PATH.
DialogTool FindDialogTool();
const char* DialogToolName(DialogTool tool);

// The command line of a message box of the graphics context's types: 3 Yes,
// No, Cancel; 4 Yes, No; 1 OK, Cancel; others OK alone.
std::vector<std::string> MessageBoxCommand(DialogTool tool, const std::string& text, const std::string& caption,
                                           int type);
// The answer code for how the tool ended: 1 the first button, 7 the second,
// 2 the third (Cancel of type 3), 0 closed.
int MessageBoxAnswer(DialogTool tool, int type, int exitCode, const std::string& output);

std::vector<std::string> FilePromptCommand(DialogTool tool, const ViewFilePrompt& prompt);
// The chosen path from what the tool printed; empty when cancelled.
std::string FilePromptAnswer(int exitCode, const std::string& output);

struct ChildResult {
  bool ran = false;
  int exitCode = -1;
  std::string output;  // what it wrote to standard output
};
// Runs a program and waits for it, reading its standard output; while it
// runs, whileWaiting is called every few tens of milliseconds.
ChildResult RunChild(const std::vector<std::string>& argv, const std::function<void()>& whileWaiting = {});

// Hands an address or a path to xdg-open without waiting for it.
bool OpenWithDesktop(const std::string& target);
