#pragma once
// A fixed number of same-sized blocks handed out again and again: effects spawned after a
// battle's first minutes are never allocated, and a full pool answers null (the request
// is dropped). Blocks live for the program.
#include <cstddef>
#include <new>
#include <vector>

template <size_t Size, int Count>
class FixedBlockPool {
 public:
  void* Take() {
    if (freeBlocks_.capacity() < size_t(Count)) freeBlocks_.reserve(size_t(Count));
    void* p = nullptr;
    if (!freeBlocks_.empty()) {
      p = freeBlocks_.back();
      freeBlocks_.pop_back();
    } else if (made_ < Count) {
      p = ::operator new(Size, std::nothrow);
      if (p) ++made_;
    }
    if (p) ++live_;
    return p;
  }
  void Give(void* p) {
    if (!p) return;
    --live_;
    freeBlocks_.push_back(p);
  }
  int Live() const { return live_; }

 private:
  std::vector<void*> freeBlocks_;
  int made_ = 0;
  int live_ = 0;
};

// Class-level operator new and delete drawing from one program-long pool.
#define ZT_FIXED_POOL_ALLOCATION(Class, Count)                           \
  static FixedBlockPool<sizeof(Class), Count>& BlockPool() {             \
    static auto* pool = new FixedBlockPool<sizeof(Class), Count>();      \
    return *pool;                                                        \
  }                                                                      \
  void* Class::operator new(std::size_t size) noexcept {                 \
    return size <= sizeof(Class) ? BlockPool().Take() : nullptr;         \
  }                                                                      \
  void Class::operator delete(void* p) noexcept { BlockPool().Give(p); } \
  int Class::LiveCount() { return BlockPool().Live(); }
