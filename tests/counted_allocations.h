#pragma once

// Counts every allocation of the test program, on any thread. Include in one file of a
// test program only: it replaces the global operator new.

#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> allocations{0};

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"  // false once these are inlined
void* operator new(std::size_t size) {
  ++allocations;
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
// The no-throw form too (std::stable_sort takes its buffer with it), so that no block
// comes from the library's operator new and goes back through std::free.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
