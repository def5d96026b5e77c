// Objects that live as long as their pool, made in blocks rather than one
// allocation each: an instance makes thousands of parameters and actions at
// start-up, and a heap block per object costs time and a header each. An
// object's address never changes; all are destroyed with the pool.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

template <class T>
class BlockPool {
 public:
  explicit BlockPool(size_t blockSize = 128) : mBlockSize(blockSize ? blockSize : 1) {}
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;

  // Room for count more objects without a further block once the current
  // one is used up: the next block holds at least count.
  void reserve(size_t count) {
    if (room() < count) mNextBlock = count;
  }

  // A default-constructed object of the pool.
  T* make() {
    if (room() == 0) {
      const size_t size = mNextBlock > mBlockSize ? mNextBlock : mBlockSize;
      mBlocks.push_back({std::make_unique<T[]>(size), size});
      mUsed = 0;
      mNextBlock = 0;
    }
    ++mCount;
    return &mBlocks.back().objects[mUsed++];
  }

  size_t size() const { return mCount; }

  // Calls f(object) for every object, in the order they were made.
  template <class F>
  void forEach(F f) {
    for (size_t b = 0; b < mBlocks.size(); ++b) {
      const size_t used = b + 1 == mBlocks.size() ? mUsed : mBlocks[b].size;
      for (size_t i = 0; i < used; ++i) f(mBlocks[b].objects[i]);
    }
  }

 private:
  struct Block {
    std::unique_ptr<T[]> objects;
    size_t size;
  };
  size_t room() const { return mBlocks.empty() ? 0 : mBlocks.back().size - mUsed; }

  size_t mBlockSize;
  size_t mNextBlock = 0;
  size_t mUsed = 0;  // in the last block
  size_t mCount = 0;
  std::vector<Block> mBlocks;
};
