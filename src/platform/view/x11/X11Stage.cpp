#include "X11Stage.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>

std::unique_ptr<X11Stage> X11Stage::Make(size_t pixels, bool touch) {
  std::unique_ptr<X11Stage> stage(new X11Stage);
  stage->mSize = pixels;
  const int id = shmget(IPC_PRIVATE, std::max<size_t>(pixels, 1) * sizeof(unsigned), IPC_CREAT | 0600);
  if (id >= 0) {
    void* at = shmat(id, nullptr, 0);
    shmctl(id, IPC_RMID, nullptr);
    if (at != reinterpret_cast<void*>(-1)) {
      stage->mSharedId = id;
      stage->mPixels = static_cast<unsigned*>(at);
    }
  }
  if (!stage->mPixels) {
    stage->mPlain = std::make_unique_for_overwrite<unsigned[]>(std::max<size_t>(pixels, 1));
    stage->mPixels = stage->mPlain.get();
  }
  if (touch) std::fill_n(stage->mPixels, pixels, 0u);
  return stage;
}

X11Stage::~X11Stage() {
  if (mSharedId >= 0) shmdt(mPixels);
}
