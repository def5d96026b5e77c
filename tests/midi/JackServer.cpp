#include "JackServer.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
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
#include <iterator>
#include <thread>
#include <vector>

#include "JackMachineWide.h"

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds, std::chrono::seconds;

// Asks done() every step until it says yes or the bound has passed.
template <class Done>
bool WaitFor(Done done, Clock::duration bound, milliseconds step = milliseconds(20)) {
  for (const auto deadline = Clock::now() + bound; !done(); std::this_thread::sleep_for(step))
    if (Clock::now() >= deadline) return false;
  return true;
}

// Test servers run side by side (their clients open and close one at a time,
// JackClientLock.cpp), but jackd2 takes no more than eight servers on a
// machine: a test's server holds one of a few machine-wide turns for its life,
// and is named by it. The turns are taken where the names live, so that runs
// with different temporary folders (two checkouts, a benchmark beside the
// tests) never start two servers of one name. (Earlier test servers took
// their turns in the temporary folder under names "tarnivex-test-N": these
// names are new, so that such a run beside this one holds none of them.)
constexpr int kTurns = 4;

std::string TurnName(int turn) { return "tarnivex-jack-" + std::to_string(turn); }

// A locked file, or -1; shared or exclusive, waiting or not.
int LockFile(const std::string& path, int how) {
  const int file = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
  if (file >= 0 && flock(file, how) == 0) return file;
  if (file >= 0) close(file);
  return -1;
}

// A free turn's locked file, or -1 when every turn is taken. Looks from first
// on, so that a turn whose name something else holds is passed over.
int TakeTurn(int first, int* taken) {
  for (int step = 0; step < kTurns; ++step) {
    const int turn = (first + step) % kTurns;
    if (const int file = LockFile(JackMachineWidePath(TurnName(turn) + ".lock"), LOCK_EX | LOCK_NB); file >= 0) {
      *taken = turn;
      return file;
    }
  }
  return -1;
}

bool Exited(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == pid; }

// Whether the server of that name takes connections on its socket, where
// jackd2 puts it on Linux.
bool SocketListening(const std::string& name) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s",
                JackMachineWidePath("jack_" + name + "_" + std::to_string(getuid()) + "_0").c_str());
  const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool listening = probe >= 0 && connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (probe >= 0) close(probe);
  return listening;
}

// Asks the process to end, and makes it after a bound.
void End(pid_t pid) {
  kill(pid, SIGTERM);
  if (WaitFor([&] { return Exited(pid); }, seconds(5), milliseconds(10))) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}
}  // namespace

bool JackServer::Start() {
  if (mPid > 0) return true;
  mError.clear();
  const auto deadline = Clock::now() + seconds(240);
  const bool restart = mTurnLock >= 0;  // under the name it had
  if (mRegistryLock < 0) mRegistryLock = LockFile(JackMachineWidePath(kJackRegistryLock), LOCK_SH);
  int firstTurn = 0;
  for (int failures = 0; failures < 3;) {
    if (mTurnLock < 0 &&
        !WaitFor([&] { return (mTurnLock = TakeTurn(firstTurn, &mTurn)) >= 0; }, deadline - Clock::now())) {
      mError = "no turn for a JACK server came free within four minutes (" +
               JackMachineWidePath(TurnName(0) + ".lock") + " and on)";
      break;
    }
    const Outcome outcome = Launch();
    if (outcome == Outcome::kUp) {
      // Set once: the plug-in's threads read it while a server comes back.
      if (const char* set = std::getenv("JACK_DEFAULT_SERVER"); !set || mName != set)
        setenv("JACK_DEFAULT_SERVER", mName.c_str(), 1);
      setenv("JACK_NO_START_SERVER", "1", 1);
      return true;
    }
    if (outcome == Outcome::kFailed) ++failures;
    if (Clock::now() >= deadline) break;
    // A server that is not a test's of this kind holds the name, or every
    // slot of JACK's registry: this run waits its turn rather than failing,
    // and a new server looks at the next name. (A test that crashed gives up
    // its turn at once, while its server takes a moment to end.)
    if (outcome == Outcome::kBusy && !restart) {
      close(mTurnLock);
      mTurnLock = -1;
      firstTurn = mTurn + 1;
    }
    std::this_thread::sleep_for(seconds(1));
  }
  Stop();
  return false;
}

// One try: runs jackd and probes until it takes a client and runs cycles.
JackServer::Outcome JackServer::Launch() {
  // Named by its turn: jackd takes back the registry entry of a server of
  // the same name that died without giving it up (killed, or its test
  // crashed), where one of a new name would leave that slot taken for good.
  mName = TurnName(mTurn);
  // A server of the name that is not of a test of ours: this run's clients
  // would find it, not the server it starts.
  if (SocketListening(mName)) {
    mError = "another JACK server runs under the name " + mName;
    return Outcome::kBusy;
  }
  mLogPath = (std::filesystem::temp_directory_path() / (mName + ".log")).string();
  // Synchronous: the dummy driver has no deadline to keep, so a client
  // slowed down by a loaded machine (no real-time priority here) is waited
  // for instead of skipped, and nothing it should have read is lost. The
  // driver waits ten client timeouts for a cycle's end, while jackd
  // refuses a new client when it has seen no cycle for five seconds: a
  // cycle that never ends (jackd can run one for a client it has just
  // deactivated, see JackMidiClient.cpp) must be given up well within
  // those five seconds, and four still outlast any slowness from load.
  std::vector<std::string> args = {"jackd", "--no-realtime", "--sync", "--timeout", "400", "-n", mName,
                                   "-d", "dummy", "-r", "48000", "-p", std::to_string(periodFrames)};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  if ((mPid = fork()) == 0) {
    // The server goes with the test process, even when that one crashes.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    if (const int log = open(mLogPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); log >= 0) {
      dup2(log, STDOUT_FILENO);
      dup2(log, STDERR_FILENO);
    }
    execvp(argv[0], argv.data());
    static const char kNotRun[] = "cannot run jackd (install jackd2: ./scripts/deps test)\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kNotRun, sizeof kNotRun - 1);
    _exit(127);
  }
  // Every probe before the server is up would say so on standard error.
  jack_set_error_function([](const char*) {});
  bool exited = mPid < 0;
  const bool ready = !exited && WaitFor([&] {
    if ((exited = Exited(mPid))) return true;
    if (probeBySocket) return SocketListening(mName);
    jack_status_t status{};
    const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
    jack_client_t* probe = jack_client_open("ready probe", options, &status, mName.c_str());
    if (!probe) return false;
    // Up means running cycles: the driver has started.
    const bool cycling = jack_activate(probe) == 0 &&
                         WaitFor([&] { return jack_last_frame_time(probe) > 0; }, seconds(2), milliseconds(2));
    jack_client_close(probe);
    return cycling;
  }, seconds(10));
  jack_set_error_function([](const char* message) { std::fprintf(stderr, "%s\n", message); });
  // The probe may have met a server of the name that began meanwhile, while
  // this one found the name taken and is ending.
  if (ready && !exited) exited = Exited(mPid);
  if (ready && !exited) return Outcome::kUp;
  std::ifstream file(mLogPath);
  const std::string log{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  mError = "jackd -n " + mName + (exited ? " exited at start:\n" : " took no client within ten seconds:\n") +
           log.substr(log.size() > 2000 ? log.size() - 2000 : 0);
  if (!exited) End(mPid);
  mPid = -1;
  std::filesystem::remove(mLogPath);
  // "`name' server already active", or "Too many servers already active".
  return exited && log.find("already active") != std::string::npos ? Outcome::kBusy : Outcome::kFailed;
}

void JackServer::Stop(bool keepName) {
  if (keepName) {
    if (mPid > 0 && !Exited(mPid)) End(mPid);
    mPid = -1;
    return;
  }
  if (mPid > 0) {
    // A server that went on its own, or a failed test: its log tells why.
    const bool died = Exited(mPid);
    if (died || (failed && failed())) {
      std::ifstream file(mLogPath);
      const std::string log{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
      std::fprintf(stderr, "jackd -n %s%s; its log ends:\n%s\n", mName.c_str(), died ? " had exited" : "",
                   log.substr(log.size() > 4000 ? log.size() - 4000 : 0).c_str());
    }
    if (!died) End(mPid);
    mPid = -1;
    unsetenv("JACK_DEFAULT_SERVER");
  }
  if (!mLogPath.empty()) std::filesystem::remove(mLogPath);
  mLogPath.clear();
  if (mTurnLock >= 0) close(mTurnLock);
  mTurnLock = -1;
  if (mRegistryLock >= 0) close(mRegistryLock);
  mRegistryLock = -1;
}

void JackServer::Suspend(bool stopped) {
  if (mPid > 0) kill(mPid, stopped ? SIGSTOP : SIGCONT);
}
