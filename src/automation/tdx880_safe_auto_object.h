// CTdx880SafeAutoObject: a creatable object (made by its class factory) with ITdx880Safe (base of
// the Package, Manager and Crypt objects).
#pragma once

#include <string>

#include "automation/auto_object.h"
#include "automation/tdx880_safe_interface.h"

namespace lyr::automation {

template <typename Interface>
class CTdx880SafeAutoObject : public CAutomationObject<Interface>, public CTdx880SafeInterface {
 public:
  // The initialization step, run by the class factory right after construction: creates the
  // companion. Derived classes create their own parts after calling it.
  virtual void Initialize() { CreateSafe(this->ProgId()); }

 protected:
  explicit CTdx880SafeAutoObject(std::u16string prog_id)
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
