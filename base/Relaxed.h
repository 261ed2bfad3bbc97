#pragma once
// A field that one thread writes and others read while it changes: an atomic with relaxed order,
// used like the plain value it stands for.
#include <atomic>
#include <type_traits>

template <typename T>
class Relaxed {
 public:
  constexpr Relaxed(T v = T{}) noexcept : v_(v) {}
  Relaxed(const Relaxed& o) noexcept : v_(o.load()) {}
  Relaxed& operator=(const Relaxed& o) noexcept {
    store(o.load());
    return *this;
  }
  Relaxed& operator=(T v) noexcept {
    store(v);
    return *this;
  }
  operator T() const noexcept { return load(); }
  T load() const noexcept { return v_.load(std::memory_order_relaxed); }
  void store(T v) noexcept { v_.store(v, std::memory_order_relaxed); }

  // Read-modify-write for a field with a single writer; other threads only read it.
  T operator++(int) noexcept
    requires std::is_integral_v<T>
  {
    T old = load();
    store(static_cast<T>(old + 1));
    return old;
  }
  Relaxed& operator+=(T d) noexcept
    requires std::is_arithmetic_v<T>
  {
    store(static_cast<T>(load() + d));
    return *this;
  }

 private:
  std::atomic<T> v_;
};
