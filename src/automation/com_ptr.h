// ComPtr: owns one reference of a COM interface pointer.
#pragma once

#include <utility>

#include "lyr/com/com.h"

namespace lyr::automation {

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes over a reference the caller owns.
  explicit ComPtr(T* owned) noexcept : pointer_(owned) {}
  ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) {
    if (pointer_ != nullptr) {
      pointer_->AddRef();
    }
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // A new reference to an interface the caller only borrows.
  static ComPtr Share(T* borrowed) noexcept {
    if (borrowed != nullptr) {
      borrowed->AddRef();
    }
    return ComPtr(borrowed);
  }

  void Reset() noexcept {
    if (pointer_ != nullptr) {
      std::exchange(pointer_, nullptr)->Release();
    }
  }
  // Gives the reference to the caller.
  [[nodiscard]] T* Detach() noexcept { return std::exchange(pointer_, nullptr); }
  // For out parameters: releases what is held and returns the slot.
  [[nodiscard]] T** Receive() noexcept {
    Reset();
    return &pointer_;
  }
  [[nodiscard]] void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

  [[nodiscard]] T* Get() const noexcept { return pointer_; }
  T* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }

 private:
  T* pointer_ = nullptr;
};

}  // namespace lyr::automation
