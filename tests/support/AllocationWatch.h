#pragma once
#include <cstddef>

// Watches operator new, which the test program replaces: while a watch lives,
// blocks above its limit are refused with std::bad_alloc, as a machine short of
// memory would refuse them, and the largest block asked for is kept. So a test
// can show that a number read from a file does not decide how much is allocated.
class AllocationWatch {
 public:
  explicit AllocationWatch(std::size_t limit);
  ~AllocationWatch();
  AllocationWatch(const AllocationWatch&) = delete;
  AllocationWatch& operator=(const AllocationWatch&) = delete;

  std::size_t Largest() const;
};
