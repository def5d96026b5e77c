// A private X server for one test: Xvfb on a display number it picks
// itself (so parallel tests never collide), with the XTest extension.
// DISPLAY points at it while it runs; it goes with the test process.
#pragma once

#include <sys/types.h>

#include <string>

class XvfbServer {
 public:
  XvfbServer() = default;
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // withSharedMemory false: the server offers no MIT-SHM, as a remote one.
  bool Start(int width = 1600, int height = 1000, bool withSharedMemory = true);
  void Stop();
  const std::string& Name() const { return mName; }
  const std::string& Error() const { return mError; }

 private:
  pid_t mPid = -1;
  std::string mName;
  std::string mError;
  std::string mSavedDisplay;
  bool mHadDisplay = false;
};
