// The ITdx880Safe implementation shared by both safe bases (SafeMode and LastError over the
// object's CTdx880Safe companion), the guard calls their members use, and CTdx880SafeObject, what
// the two bases have in common.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include "automation/auto_object.h"
#include "automation/tdx880_safe.h"

namespace lyr::automation {

class CTdx880SafeInterface : public CDualInterface<ITdx880Safe> {
 public:
  HRESULT STDMETHODCALLTYPE get_SafeMode(VARIANT_BOOL* Value) override {
    if (Value == nullptr) {
      return E_POINTER;
    }
    *Value = Safe().SafeMode ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_SafeMode(VARIANT_BOOL Value) override {
    Safe().SafeMode = Value != 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_LastError(ITdx880Error** Value) override {
    if (Value == nullptr) {
      return E_POINTER;
    }
    *Value = Safe().LastError();
    return S_OK;
  }

  // The companion; it exists from construction (or the initialization step) to destruction.
  [[nodiscard]] CTdx880Safe& Safe() const noexcept { return *safe_; }
  [[nodiscard]] bool SafeMode() const noexcept { return safe_->SafeMode; }
  // Sets SafeMode on a child object through its ITdx880Safe, as a host would.
  static void PassSafeMode(bool safe_mode, IUnknown* child);

 protected:
  // The source of this object's errors.
  [[nodiscard]] virtual ErrorSource SafeSource() const noexcept = 0;

  // The guards of this object's members (see tdx880_safe.h). Objects live in the apartment of
  // the thread that made them and are not synchronised: a call from another thread runs nothing
  // and fails with RPC_E_WRONG_THREAD and error information (LastError untouched), as a call on
  // an unmarshalled pointer does, instead of racing the owner over the engine.
  template <typename Result, typename Body>
  HRESULT Guard(Result* result, Body&& body) noexcept {
    return OnOwnerThread() ? Guarded(Safe(), SafeSource(), result, std::forward<Body>(body))
                           : WrongThread();
  }
  template <typename Body>
  HRESULT GuardVoid(Body&& body) noexcept {
    return OnOwnerThread() ? GuardedVoid(Safe(), SafeSource(), std::forward<Body>(body))
                           : WrongThread();
  }
  template <typename Body>
  HRESULT Unguard(Body&& body) noexcept {
    return OnOwnerThread() ? Unguarded(SafeSource(), std::forward<Body>(body)) : WrongThread();
  }
  template <typename Result, typename Body>
  HRESULT UnguardGet(Result* result, Body&& body) noexcept {
    return OnOwnerThread() ? UnguardedGet(SafeSource(), result, std::forward<Body>(body))
                           : WrongThread();
  }
  // The body of a member this version of the server does not have yet: raises "Метод %s не
  // реализован в этой версии библиотеки", which the member's guard reports as any other error.
  [[noreturn]] static void RaiseNotImplemented(std::string_view member);

  void CreateSafe(const std::u16string& prog_id) { safe_ = std::make_unique<CTdx880Safe>(prog_id); }

 private:
  [[nodiscard]] bool OnOwnerThread() const noexcept { return std::this_thread::get_id() == owner_; }
  // RPC_E_WRONG_THREAD with error information naming this object's source.
  [[nodiscard]] HRESULT WrongThread() const noexcept;

  std::unique_ptr<CTdx880Safe> safe_;
  const std::thread::id owner_ = std::this_thread::get_id();  // the thread that made the object
};

// An automation object with ITdx880Safe beside its dispatch interface Interface, its errors named
// after its own source. The two safe bases differ only in when they create the companion.
template <typename Interface>
class CTdx880SafeObject : public CAutomationObject<Interface>, public CTdx880SafeInterface {
 protected:
  explicit CTdx880SafeObject(std::u16string prog_id)
      : CAutomationObject<Interface>(std::move(prog_id)) {}

  void* FindInterface(REFIID iid) noexcept override {
    if (iid == IID_ITdx880Safe) {
      return static_cast<ITdx880Safe*>(this);
    }
    return CAutomationObject<Interface>::FindInterface(iid);
  }

  ErrorSource SafeSource() const noexcept override { return this->Source(); }
};

}  // namespace lyr::automation
