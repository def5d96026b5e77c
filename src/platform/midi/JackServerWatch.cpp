#include "JackServerWatch.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace {
// Where libjack (jackd2 on Linux) puts the server's and the clients' sockets,
// and how it names them: jack_NAME_UID_0, or jack_NAME_0 for a server open
// to every user.
constexpr const char* kSocketDir = "/dev/shm";

std::string SocketPath(std::string name) {
  for (char& c : name)
    if (c == '/' || c == '\\') c = '_';
  std::string path = std::string(kSocketDir) + "/jack_" + name + "_";
  if (!std::getenv("JACK_PROMISCUOUS_SERVER")) path += std::to_string(getuid()) + "_";
  return path + "0";
}

// The process's socket descriptors by their inode.
std::map<std::string, int> OwnSockets() {
  std::map<std::string, int> sockets;
  DIR* folder = opendir("/proc/self/fd");
  if (!folder) return sockets;
  while (const dirent* entry = readdir(folder)) {
    char target[64];
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    const ssize_t size = readlink(link.c_str(), target, sizeof target - 1);
    if (size <= 0) continue;
    target[size] = '\0';
    constexpr std::string_view kSocket = "socket:[";
    if (std::strncmp(target, kSocket.data(), kSocket.size()) != 0 || target[size - 1] != ']') continue;
    sockets[std::string(target + kSocket.size(), target + size - 1)] = std::atoi(entry->d_name);
  }
  closedir(folder);
  return sockets;
}
}  // namespace

namespace jackwatch {
namespace {
std::mutex gProbedMutex;
std::string gProbedName;
}  // namespace

void ProbeServerNamed(const std::string& name) {
  std::lock_guard<std::mutex> lock(gProbedMutex);
  gProbedName = name;
}

// Read from the kernel's table, never by connecting: jackd takes each
// connection as a client's and, while a host's client opens beside it, can
// read that client's requests out of frame.
bool ServerListening() {
  const char* server = std::getenv("JACK_DEFAULT_SERVER");
  std::string name = server && *server ? server : "default";
  {
    std::lock_guard<std::mutex> lock(gProbedMutex);
    if (!gProbedName.empty()) name = gProbedName;
  }
  const std::string path = SocketPath(name);
  std::ifstream table("/proc/net/unix");
  std::string line;
  std::getline(table, line);  // the heading
  constexpr unsigned long kAcceptsConnections = 0x10000;
  while (std::getline(table, line)) {
    // Num RefCount Protocol Flags Type St Inode Path
    unsigned long flags = 0;
    int pathAt = 0;
    if (std::sscanf(line.c_str(), "%*s %*s %*s %lx %*s %*s %*s %n", &flags, &pathAt) != 1 || pathAt <= 0) continue;
    if ((flags & kAcceptsConnections) && std::string_view(line).substr(static_cast<size_t>(pathAt)) == path) return true;
  }
  return false;
}

Clients ProcessClients(const std::string& ownName) {
  Clients clients;
  const std::map<std::string, int> own = OwnSockets();
  if (own.empty()) return clients;
  const std::string ownPath = ownName.empty() ? std::string() : SocketPath(ownName);
  std::ifstream table("/proc/net/unix");
  std::string line;
  std::getline(table, line);  // the heading
  const std::string prefix = std::string(kSocketDir) + "/jack_";
  int ownFd = -1;
  std::string ownInode;
  while (std::getline(table, line)) {
    // Num RefCount Protocol Flags Type St Inode Path (a client's name may
    // hold spaces): a client's notification socket carries the path the
    // client listened on.
    char inode[32] = {};
    int pathAt = 0;
    if (std::sscanf(line.c_str(), "%*s %*s %*s %*s %*s %*s %31s %n", inode, &pathAt) != 1 || pathAt <= 0) continue;
    const std::string_view path = std::string_view(line).substr(static_cast<size_t>(pathAt));
    if (!path.starts_with(prefix)) continue;
    const auto found = own.find(inode);
    if (found == own.end()) continue;
    // The server connected to the client: the socket's peer is its process.
    ucred peer{};
    socklen_t size = sizeof peer;
    const pid_t server = getsockopt(found->second, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 ? peer.pid : 0;
    if (!ownPath.empty() && path == ownPath) {
      ownFd = found->second;
      ownInode = inode;
      clients.serverOf[inode] = server;
      continue;
    }
    pollfd hungUp{found->second, POLLRDHUP, 0};
    const bool gone = poll(&hungUp, 1, 0) > 0 && (hungUp.revents & (POLLHUP | POLLRDHUP));
    (gone ? clients.hungUp : clients.live).insert(inode);
    if (!gone) clients.serverOf[inode] = server;
  }
  // Looked at last: live, it tells that no server had gone before the
  // others were looked at, so none of them was closed for a loss.
  pollfd hungUp{ownFd, POLLRDHUP, 0};
  if (ownFd >= 0 && !(poll(&hungUp, 1, 0) > 0 && (hungUp.revents & (POLLHUP | POLLRDHUP)))) clients.own = ownInode;
  return clients;
}

AfterLoss LookAfterLoss(const Noted& noted, const Clients& now) {
  // A server that stops tells its clients before it hangs up on them: until
  // this client's socket is closed, the old server is still there.
  const bool oldServerGone = noted.own.empty() || (!now.live.contains(noted.own) && !now.hungUp.contains(noted.own));
  // A killed server's sockets close one by one: a client still connected to
  // it has not even been hung up on yet. One on another server asks nothing.
  const auto onOldServer = [&](const std::string& client) {
    const auto server = now.serverOf.find(client);
    const pid_t pid = server == now.serverOf.end() ? 0 : server->second;
    return pid == 0 || noted.server == 0 || pid == noted.server;
  };
  // Away: told and closed, so not yet open again. One still on the old
  // server or hung up but not yet told goes too: it counts as away for what
  // a menu's open leaves to come back, though it bars an open by itself.
  size_t stillOnOld = 0, away = noted.wentEarlier, going = 0, back = 0;
  for (const std::string& client : noted.others) {
    if (now.live.contains(client)) {
      const bool old = onOldServer(client);
      stillOnOld += old;
      going += old;
    } else if (now.hungUp.contains(client)) {
      ++going;
    } else {
      ++away;
    }
  }
  for (const std::string& client : now.live) back += !noted.others.contains(client) && client != noted.own;
  AfterLoss verdict;
  verdict.mayOpen = oldServerGone && stillOnOld == 0 && now.hungUp.empty() && back >= away;
  verdict.stillAway = away + going > back ? away + going - back : 0;
  return verdict;
}

bool NoticePending() { return !ProcessClients().hungUp.empty(); }

}  // namespace jackwatch
