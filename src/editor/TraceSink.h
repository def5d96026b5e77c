// Where the trace's writer puts its bytes: standard output, whatever it is
// at the moment. A pipe gets a description of the writer's own that never
// blocks (the host's own stays as it is), and the writer keeps room in the
// pipe's last page for one last line: the kernel adds a short write to the
// page it fits in, full pipe or not, so the line that tells what a close
// left out goes in even when nobody reads.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

class TraceSink {
 public:
  using Clock = std::chrono::steady_clock;
  // When a write gives up, if it is to: asked again while it waits.
  using Deadline = std::function<std::optional<Clock::time_point>()>;

  // A pipe takes a write of this size whole.
  static constexpr size_t kPage = 4096;
  // The room kept in a pipe's last page: the longest line that tells a loss.
  static constexpr size_t kLastLineRoom = 128;
  // The most a write carries.
  static constexpr size_t kMostBytes = kPage - kLastLineRoom;

  TraceSink() = default;
  ~TraceSink();
  TraceSink(const TraceSink&) = delete;
  TraceSink& operator=(const TraceSink&) = delete;

  // How many of text's first bytes go in the next write, lead bytes going
  // ahead of them: whole lines where it can, and in a pipe a size that keeps
  // the last page's room (or, when none does now, a size that will once the
  // pipe has been read empty). Never 0 for text that is not empty.
  size_t portion(std::string_view text, size_t lead);

  // Writes all of bytes unless the deadline passes or the output fails;
  // how many it did not write. With keepRoom, a write to a pipe waits until
  // it leaves the last page's room; without, it may fill it.
  size_t write(const char* bytes, size_t size, const Deadline& deadline, bool keepRoom);

 private:
  // Follows standard output to what it is now.
  void refresh();
  // Whether size bytes written now leave the room, the pipe being empty or not.
  bool keepsRoom(size_t size, bool empty) const;
  bool pipeEmpty() const;
  int fd() const;

  bool mPipe = false;
  dev_t mDevice = 0;
  ino_t mInode = 0;
  int mOwn = -1;  // the pipe's non-blocking description, or -1: standard output's
  // The bytes in the pipe's last page, at most; unknown until the pipe is
  // seen empty (someone else may have written there).
  std::optional<size_t> mTail;
};
