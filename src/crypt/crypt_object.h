// CCryptObject: a wrapper of one platform handle, with hooks called when a handle is attached
// and a release that frees it.
#pragma once

namespace lyr::crypt {

// Handle is a pointer-like type whose default value is the empty handle.
template <typename Handle>
class CCryptObject {
 public:
  CCryptObject() = default;
  // Derived classes release in their own destructor (Release is virtual).
  virtual ~CCryptObject() = default;
  CCryptObject(const CCryptObject&) = delete;
  CCryptObject& operator=(const CCryptObject&) = delete;

  // Nothing when handle is the one held; otherwise releases the held one, takes handle and,
  // when it is not empty, calls OnAttach then OnAttached.
  void SetHandle(Handle handle) {
    if (handle == handle_) {
      return;
    }
    Release();
    handle_ = handle;
    if (handle_ != Handle{}) {
      OnAttach();
      OnAttached();
    }
  }
  [[nodiscard]] Handle GetHandle() const noexcept { return handle_; }

 protected:
  virtual void OnAttach() {}
  virtual void OnAttached() {}
  // Frees the handle.
  virtual void Release() { handle_ = Handle{}; }

  Handle handle_{};
};

}  // namespace lyr::crypt
