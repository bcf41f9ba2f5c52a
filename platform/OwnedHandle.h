#pragma once
// Move-only owners of platform handles: each handle is released in exactly one
// place, and a copy that would release it twice does not compile. Here, below
// every library, so that the network layer and the window framework share it.
#include "platform/WinApi.h"

template <typename Traits>
class TOwnedHandle {
public:
  using Type = typename Traits::Type;

  TOwnedHandle() = default;
  explicit TOwnedHandle(Type handle) : FHandle(handle) {}
  ~TOwnedHandle() { Reset(); }
  TOwnedHandle(const TOwnedHandle&) = delete;
  TOwnedHandle& operator=(const TOwnedHandle&) = delete;
  TOwnedHandle(TOwnedHandle&& other) noexcept : FHandle(other.Release()) {}
  TOwnedHandle& operator=(TOwnedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Type Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != Type{}; }
  Type Release() {
    Type h = FHandle;
    FHandle = Type{};
    return h;
  }
  void Reset(Type handle = Type{}) {
    Type old = FHandle;
    FHandle = handle;
    if (old != Type{} && old != handle) Traits::Free(old);
  }
  // For functions that return a handle through an out-parameter.
  Type* Put() {
    Reset();
    return &FHandle;
  }

private:
  Type FHandle{};
};

namespace handle_traits {
struct Kernel { using Type = HANDLE; static void Free(HANDLE h) { CloseHandle(h); } };
}  // namespace handle_traits

using TKernelHandle = TOwnedHandle<handle_traits::Kernel>;
