#include "tests/support/AllocationWatch.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace {

const std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();
std::atomic<std::size_t> limit{kNoLimit};
std::atomic<std::size_t> largest{0};

}  // namespace

AllocationWatch::AllocationWatch(std::size_t bytes) {
  largest = 0;
  limit = bytes;
}

AllocationWatch::~AllocationWatch() { limit = kNoLimit; }

std::size_t AllocationWatch::Largest() const { return largest.load(); }

void* operator new(std::size_t size) {
  std::size_t seen = largest.load();
  while (size > seen && !largest.compare_exchange_weak(seen, size)) {
  }
  if (size > limit.load()) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
