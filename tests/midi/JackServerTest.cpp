// The tests' private JACK servers beside other runs on the machine: JACK's
// server names hold for the whole machine, whatever a run's temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "JackMachineWide.h"
#include "JackServer.h"

extern char** environ;

namespace {
namespace fs = std::filesystem;

// The name the process's JACK clients were pointed at by the last Start.
std::string ServerNamed() {
  const char* name = std::getenv("JACK_DEFAULT_SERVER");
  return name ? name : "";
}

// Whether a client opens on the server of that name.
bool TakesAClient(const std::string& server) {
  jack_status_t status{};
  const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
  jack_client_t* client = jack_client_open("server test", options, &status, server.c_str());
  if (client) jack_client_close(client);
  return client != nullptr;
}

// The temporary folder of another run, for as long as it lives.
class OtherTemporaryFolder {
 public:
  explicit OtherTemporaryFolder(const std::string& name)
      : mWas(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : ""),
        mFolder(fs::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
    fs::create_directories(mFolder);
    setenv("TMPDIR", mFolder.c_str(), 1);
  }
  ~OtherTemporaryFolder() {
    if (mWas.empty()) unsetenv("TMPDIR");
    else setenv("TMPDIR", mWas.c_str(), 1);
    std::error_code error;
    fs::remove_all(mFolder, error);
  }

 private:
  std::string mWas;
  fs::path mFolder;
};

// A server that is no test's, under a name of its choosing.
class ForeignServer {
 public:
  explicit ForeignServer(const std::string& name) {
    std::string args[] = {"jackd", "--no-realtime", "-n", name, "-d", "dummy"};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(), args[4].data(), args[5].data(),
                    nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&mPid, "jackd", &actions, nullptr, argv, environ) != 0) mPid = -1;
    posix_spawn_file_actions_destroy(&actions);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socketPath = JackMachineWidePath("jack_" + name + "_" + std::to_string(getuid()) + "_0");
    socketPath.copy(address.sun_path, sizeof address.sun_path - 1);
    for (int i = 0; mPid > 0 && !up && i < 500; ++i) {
      const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      up = connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
      close(probe);
      if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~ForeignServer() {
    if (mPid <= 0) return;
    kill(mPid, SIGTERM);
    waitpid(mPid, nullptr, 0);
  }
  bool up = false;

 private:
  pid_t mPid = -1;
};

// Two runs with temporary folders of their own (two checkouts, a benchmark
// beside the tests) start servers of different names, each its own.
TEST(JackServerTest, RunsWithDifferentTemporaryFoldersNameTheirServersApart) {
  JackServer first, second;
  std::string firstName, secondName;
  {
    const OtherTemporaryFolder run("jack-run-one");
    ASSERT_TRUE(first.Start()) << first.Error();
    firstName = ServerNamed();
  }
  {
    const OtherTemporaryFolder run("jack-run-two");
    ASSERT_TRUE(second.Start()) << second.Error();
    secondName = ServerNamed();
  }
  EXPECT_NE(firstName, secondName);
  EXPECT_TRUE(TakesAClient(firstName));
  EXPECT_TRUE(TakesAClient(secondName));
  second.Stop();
  EXPECT_TRUE(TakesAClient(firstName)) << "the second server's end took the first with it";
}

// A server that is no test's under the name a test server would take: the
// test server takes another name rather than leave its clients to that one.
TEST(JackServerTest, AServerOfAnotherProgramUnderATestServersNameIsPassedOver) {
  std::string taken;
  {
    JackServer before;
    ASSERT_TRUE(before.Start()) << before.Error();
    taken = ServerNamed();
  }
  const ForeignServer foreign(taken);
  ASSERT_TRUE(foreign.up) << "jackd -n " << taken << " did not start";
  JackServer server;
  ASSERT_TRUE(server.Start()) << server.Error();
  EXPECT_NE(ServerNamed(), taken);
  EXPECT_TRUE(TakesAClient(ServerNamed()));
}
}  // namespace
