#include "JackServer.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Clients of one jackd2 server fail now and then to open while other
// servers start, stop or run on the same machine, so test servers run one at
// a time: a machine-wide lock, held for the server's life, queues them.
constexpr auto kTurnWait = std::chrono::seconds(240);
constexpr auto kReadyWait = std::chrono::seconds(10);
constexpr auto kStopWait = std::chrono::seconds(5);
constexpr int kLaunchAttempts = 3;

std::string LockPath(const std::string& what) {
  return (std::filesystem::temp_directory_path() / ("tarnivex-jack-" + what + ".lock")).string();
}

// An exclusive lock on the file that lives as long as the returned
// descriptor (or the process); -1 while another holds it, -2 when the file
// cannot be opened.
int TryLock(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return -2;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  close(fd);
  return -1;
}

int TakeTurn() {
  const auto deadline = Clock::now() + kTurnWait;
  int fd = -1;
  while ((fd = TryLock(LockPath("server"))) == -1 && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return fd;
}

std::string UniqueName() {
  static std::atomic<int> counter{0};
  return "tarnivex-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

void Quiet(const char*) {}
void ToStandardError(const char* message) { std::fprintf(stderr, "%s\n", message); }

bool Exited(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == pid;
}
}  // namespace

JackServer::~JackServer() { Stop(); }

bool JackServer::Start() {
  if (mPid > 0) return true;
  mError.clear();
  mTurnLock = TakeTurn();
  if (mTurnLock < 0) {
    mError = mTurnLock == -2 ? "cannot open " + LockPath("server") + ": " + std::strerror(errno)
                             : "another test's JACK server kept running for four minutes (" + LockPath("server") + ")";
    mTurnLock = -1;
    return false;
  }
  bool ready = false;
  for (int attempt = 0; attempt < kLaunchAttempts && !ready; ++attempt) ready = Launch() && WaitUntilReady();
  if (!ready) {
    Stop();
    return false;
  }
  setenv("JACK_DEFAULT_SERVER", mName.c_str(), 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  return true;
}

bool JackServer::Launch() {
  if (!mLogPath.empty()) std::filesystem::remove(mLogPath);
  mName = UniqueName();
  mLogPath = (std::filesystem::temp_directory_path() / (mName + ".log")).string();
  // Synchronous, with a long client timeout: the dummy driver has no
  // deadline to keep, so a client slowed down by a loaded machine (no
  // real-time priority here) is waited for instead of skipped, and nothing
  // it should have read is lost.
  std::vector<std::string> args = {"jackd", "--no-realtime", "--sync", "--timeout", "10000", "-n", mName,
                                   "-d", "dummy", "-r", "48000", "-p", "256"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // A pipe that closes on a successful exec carries the errno of a failed one.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) {
    mError = std::string("cannot run jackd: ") + std::strerror(errno);
    return false;
  }
  const pid_t parent = getpid();
  mPid = fork();
  if (mPid == 0) {
    // The server goes with the test process, even when that one crashes.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    const int log = open(mLogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
    }
    execvp(argv[0], argv.data());
    const int error = errno;
    [[maybe_unused]] const ssize_t written = write(report[1], &error, sizeof error);
    _exit(127);
  }
  close(report[1]);
  int error = 0;
  const bool failed = mPid < 0 ? (error = errno, true) : read(report[0], &error, sizeof error) == sizeof error;
  close(report[0]);
  if (failed) {
    if (mPid > 0) waitpid(mPid, nullptr, 0);
    mPid = -1;
    mError = std::string("cannot run jackd: ") + std::strerror(error) +
             (error == ENOENT ? " (install jackd2: ./scripts/deps test)" : "");
    return false;
  }
  return true;
}

bool JackServer::WaitUntilReady() {
  // Every probe before the server is up would say so on standard error.
  jack_set_error_function(Quiet);
  struct Restore {
    ~Restore() { jack_set_error_function(ToStandardError); }
  } restore;
  const auto deadline = Clock::now() + kReadyWait;
  while (Clock::now() < deadline) {
    if (Exited(mPid)) {
      mPid = -1;
      mError = "jackd -n " + mName + " exited at start:\n" + LogTail();
      return false;
    }
    jack_status_t status{};
    const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
    if (jack_client_t* probe = jack_client_open("ready probe", options, &status, mName.c_str())) {
      jack_client_close(probe);
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  mError = "jackd -n " + mName + " took no client within ten seconds:\n" + LogTail();
  kill(mPid, SIGKILL);
  waitpid(mPid, nullptr, 0);
  mPid = -1;
  return false;
}

void JackServer::Stop() {
  if (mPid > 0) {
    kill(mPid, SIGTERM);
    const auto deadline = Clock::now() + kStopWait;
    bool gone = false;
    while (!(gone = Exited(mPid)) && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!gone) {
      kill(mPid, SIGKILL);
      waitpid(mPid, nullptr, 0);
    }
    mPid = -1;
    unsetenv("JACK_DEFAULT_SERVER");
  }
  if (!mLogPath.empty()) std::filesystem::remove(mLogPath);
  mLogPath.clear();
  if (mTurnLock >= 0) close(mTurnLock);
  mTurnLock = -1;
}

std::string JackServer::LogTail() const {
  std::ifstream log(mLogPath);
  std::stringstream text;
  text << log.rdbuf();
  const std::string all = text.str();
  return all.size() > 2000 ? all.substr(all.size() - 2000) : all;
}
