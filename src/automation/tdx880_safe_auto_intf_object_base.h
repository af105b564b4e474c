// CTdx880SafeAutoIntfObjectBase: a non-creatable object with ITdx880Safe (base of the Key, File,
// Signature, subject and special-document objects).
#pragma once

#include <string>

#include "automation/tdx880_safe_interface.h"

namespace lyr::automation {

template <typename Interface>
class CTdx880SafeAutoIntfObjectBase : public CTdx880SafeObject<Interface> {
 protected:
  // prog_id: the creatable class the object belongs to (the source of its errors). Creates the
  // companion (SafeMode false, an empty error object).
  explicit CTdx880SafeAutoIntfObjectBase(std::u16string prog_id)
      : CTdx880SafeObject<Interface>(std::move(prog_id)) {
    this->CreateSafe(this->ProgId());
  }
};

}  // namespace lyr::automation
