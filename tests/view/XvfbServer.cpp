#include "XvfbServer.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {
// Waits at most the bound for the process to end.
bool Reaped(pid_t pid, std::chrono::milliseconds bound) {
  const auto end = std::chrono::steady_clock::now() + bound;
  do {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < end);
  return false;
}
}  // namespace

bool XvfbServer::Start(int width, int height, bool withSharedMemory) {
  int fds[2];
  if (pipe(fds) != 0) {
    mError = "no pipe";
    return false;
  }
  const std::string fd = std::to_string(fds[1]);
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  std::vector<std::string> args = {"Xvfb", "-displayfd", fd, "-screen", "0", screen, "-nolisten", "tcp",
                                   "-noreset", "+extension", "XTEST"};
  if (!withSharedMemory) args.insert(args.end(), {"-extension", "MIT-SHM"});
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  if ((mPid = fork()) == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    close(fds[0]);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
    }
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd wait{fds[0], POLLIN, 0};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (mPid > 0 && number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < end) {
    if (poll(&wait, 1, 100) <= 0) continue;
    char c[16];
    const ssize_t n = read(fds[0], c, sizeof c);
    if (n <= 0) break;
    number.append(c, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (number.empty() || number.find('\n') == std::string::npos) {
    mError = "Xvfb did not start (install it: ./scripts/deps test)";
    Stop();
    return false;
  }
  mName = ":" + number.substr(0, number.find('\n'));
  const char* previous = std::getenv("DISPLAY");
  mHadDisplay = previous != nullptr;
  mSavedDisplay = previous ? previous : "";
  setenv("DISPLAY", mName.c_str(), 1);
  Display* probe = XOpenDisplay(mName.c_str());
  if (!probe) {
    mError = "Xvfb " + mName + " takes no connection";
    Stop();
    return false;
  }
  XCloseDisplay(probe);
  return true;
}

void XvfbServer::Stop() {
  if (mPid > 0) {
    kill(mPid, SIGTERM);
    if (!Reaped(mPid, std::chrono::seconds(5))) {
      kill(mPid, SIGKILL);
      Reaped(mPid, std::chrono::seconds(5));
    }
    mPid = -1;
  }
  if (!mName.empty()) {
    if (mHadDisplay)
      setenv("DISPLAY", mSavedDisplay.c_str(), 1);
    else
      unsetenv("DISPLAY");
    mName.clear();
  }
}
