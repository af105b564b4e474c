// CTdx880SafeAutoIntfObjectBase: a non-creatable object with ITdx880Safe (base of the Key, File,
// Signature, subject and special-document objects).
#pragma once

#include <string>

#include "automation/auto_intf_object_base.h"
#include "automation/tdx880_safe_interface.h"

namespace lyr::automation {

template <typename Interface>
class CTdx880SafeAutoIntfObjectBase : public CAutoIntfObjectBase<Interface>,
                                      public CTdx880SafeInterface {
 protected:
  // Creates the companion (SafeMode false, an empty error object).
  explicit CTdx880SafeAutoIntfObjectBase(std::u16string prog_id)
      : CAutoIntfObjectBase<Interface>(std::move(prog_id)) {
    CreateSafe(this->ProgId());
  }

  void* FindInterface(REFIID iid) noexcept override {
    if (iid == IID_ITdx880Safe) {
      return static_cast<ITdx880Safe*>(this);
    }
    return CAutoIntfObjectBase<Interface>::FindInterface(iid);
  }

  ErrorSource SafeSource() const noexcept override { return this->Source(); }
};

}  // namespace lyr::automation
