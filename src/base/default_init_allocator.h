#pragma once
// An allocator whose vectors leave new elements uninitialised on resize, for
// the large per-sample buffers that are written in full right after they are
// sized: zero-filling them first would cost a whole extra pass over hundreds
// of megabytes.

#include <memory>
#include <utility>
#include <vector>

namespace quavrix {

template <class T>
class DefaultInitAllocator : public std::allocator<T> {
 public:
  using std::allocator<T>::allocator;
  template <class U>
  struct rebind {
    using other = DefaultInitAllocator<U>;
  };

  template <class U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    std::allocator_traits<std::allocator<T>>::construct(static_cast<std::allocator<T>&>(*this), p,
                                                        std::forward<Args>(args)...);
  }
};

// A vector whose resize does not initialise; assign and the other members behave as usual.
template <class T>
using BufferVector = std::vector<T, DefaultInitAllocator<T>>;

}  // namespace quavrix
