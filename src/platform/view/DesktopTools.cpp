#include "DesktopTools.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>

extern char** environ;

namespace {
constexpr int kWaitStepMs = 40;

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::stringstream folders(path);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
  }
  return false;
}

// "*.syx *.SYX" for "syx": choosers on Linux match case.
std::string Patterns(const std::string& extensions) {
  std::stringstream words(extensions);
  std::string word, out;
  while (words >> word) {
    std::string upper = word;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    out += (out.empty() ? "*." : " *.") + word;
    if (upper != word) out += " *." + upper;
  }
  return out;
}

std::string Joined(const std::string& directory, const std::string& name) {
  if (directory.empty()) return name;
  return directory.back() == '/' ? directory + name : directory + "/" + name;
}
}  // namespace

DialogTool FindDialogTool() {
  if (OnPath("zenity")) return DialogTool::kZenity;
  if (OnPath("kdialog")) return DialogTool::kKdialog;
  return DialogTool::kNone;
}

const char* DialogToolName(DialogTool tool) {
  return tool == DialogTool::kZenity ? "zenity" : tool == DialogTool::kKdialog ? "kdialog" : "";
}

std::vector<std::string> MessageBoxCommand(DialogTool tool, const std::string& text, const std::string& caption,
                                           int type) {
  if (tool == DialogTool::kZenity) {
    std::vector<std::string> argv = {"zenity", "--title=" + caption, "--text=" + text, "--no-markup"};
    switch (type) {
      case 3:
        argv.insert(argv.begin() + 1, "--question");
        argv.insert(argv.end(), {"--ok-label=Yes", "--cancel-label=No", "--extra-button=Cancel"});
        break;
      case 4:
        argv.insert(argv.begin() + 1, "--question");
        argv.insert(argv.end(), {"--ok-label=Yes", "--cancel-label=No"});
        break;
      case 1:
        argv.insert(argv.begin() + 1, "--question");
        argv.insert(argv.end(), {"--ok-label=OK", "--cancel-label=Cancel"});
        break;
      default:
        argv.insert(argv.begin() + 1, "--info");
        break;
    }
    return argv;
  }
  if (tool == DialogTool::kKdialog) {
    switch (type) {
      case 3: return {"kdialog", "--title", caption, "--yesnocancel", text};
      case 4: return {"kdialog", "--title", caption, "--yesno", text};
      case 1: return {"kdialog", "--title", caption, "--yes-label", "OK", "--no-label", "Cancel", "--yesno", text};
      default: return {"kdialog", "--title", caption, "--msgbox", text};
    }
  }
  return {};
}

int MessageBoxAnswer(DialogTool tool, int type, int exitCode, const std::string& output) {
  const bool choice = type == 1 || type == 3 || type == 4;
  if (exitCode == 0) return 1;
  if (!choice) return 0;
  if (tool == DialogTool::kZenity) {
    if (type == 3 && output.rfind("Cancel", 0) == 0) return 2;
    return exitCode == 1 ? 7 : 0;
  }
  if (exitCode == 1) return 7;
  if (exitCode == 2 && type == 3) return 2;
  return 0;
}

std::vector<std::string> FilePromptCommand(DialogTool tool, const ViewFilePrompt& prompt) {
  const std::string start = Joined(prompt.directory, prompt.fileName);
  const std::string patterns = Patterns(prompt.extensions);
  if (tool == DialogTool::kZenity) {
    std::vector<std::string> argv = {"zenity", "--file-selection", "--filename=" + start};
    if (prompt.save) argv.insert(argv.end(), {"--save", "--confirm-overwrite"});
    if (!patterns.empty()) argv.push_back("--file-filter=" + patterns);
    return argv;
  }
  if (tool == DialogTool::kKdialog) {
    std::vector<std::string> argv = {"kdialog", prompt.save ? "--getsavefilename" : "--getopenfilename", start};
    if (!patterns.empty()) argv.push_back(patterns);
    return argv;
  }
  return {};
}

std::string FilePromptAnswer(int exitCode, const std::string& output) {
  if (exitCode != 0) return {};
  std::string path = output;
  while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
  return path;
}

ChildResult RunChild(const std::vector<std::string>& args, const std::function<void()>& whileWaiting) {
  ChildResult result;
  if (args.empty()) return result;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  // The host's own descriptors stay with the host.
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    return result;
  }
  char buffer[4096];
  for (;;) {
    pollfd ready{pipeFds[0], POLLIN, 0};
    const int polled = poll(&ready, 1, kWaitStepMs);
    if (polled == 0 || (polled < 0 && errno == EINTR)) {
      if (whileWaiting) whileWaiting();
      continue;
    }
    const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
    if (n > 0) {
      result.output.append(buffer, static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  close(pipeFds[0]);
  int status = 0;
  pid_t waited;
  while ((waited = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
  }
  // A host that ignores SIGCHLD leaves no status to read: the answer is
  // unknown, which must not pass for the first button.
  if (waited != pid) return result;
  result.ran = WIFEXITED(status) && WEXITSTATUS(status) != 127;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool OpenWithDesktop(const std::string& target) {
  if (target.empty() || !OnPath("xdg-open")) return false;
  // The shell puts xdg-open in the background and ends at once, so nothing
  // waits for the browser and no child is left unreaped.
  const ChildResult shell =
      RunChild({"/bin/sh", "-c", "xdg-open \"$0\" >/dev/null 2>&1 </dev/null &", target});
  return shell.ran && shell.exitCode == 0;
}
