#pragma once
// SPDX-License-Identifier: GPL-3.0-or-later
// Memory for the recording's big per-sample buffers. A long recording needs
// gigabytes; buffers from a quarter of a megabyte on are mapped fresh, so they
// come zero-filled from the system and each page is touched once, by its
// first write, instead of once more by a clearing pass.

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace quavrix {

// At least `bytes` of zero-filled memory, or nullptr when there is none. Fresh
// mappings come zeroed from the system, so the zeros cost no page touches.
void* allocateLargeBuffer(std::size_t bytes);
// Gives back what allocateLargeBuffer returned for the same `bytes`.
void releaseLargeBuffer(void* memory, std::size_t bytes);

// Bytes this process may still allocate without running the machine out of
// memory: the memory the system reports available, within the limits set on
// the process (its control group, its address-space and data limits).
// UINT64_MAX where the system does not tell.
std::uint64_t availableMemoryBytes();

// A vector allocator over allocateLargeBuffer whose resize does not write
// the new elements: a buffer's first resize reads as zeros without touching
// a page, and a buffer written in full right after it is sized is touched
// once. Elements uncovered again after a shrink keep what they held.
template <class T>
class LargeBufferAllocator {
 public:
  using value_type = T;

  LargeBufferAllocator() = default;
  template <class U>
  LargeBufferAllocator(const LargeBufferAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    void* memory = allocateLargeBuffer(n * sizeof(T));
    if (!memory) throw std::bad_alloc();
    return static_cast<T*>(memory);
  }
  void deallocate(T* memory, std::size_t n) noexcept { releaseLargeBuffer(memory, n * sizeof(T)); }

  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <class U>
  bool operator==(const LargeBufferAllocator<U>&) const noexcept {
    return true;
  }
};

template <class T>
using LargeBuffer = std::vector<T, LargeBufferAllocator<T>>;

}  // namespace quavrix
