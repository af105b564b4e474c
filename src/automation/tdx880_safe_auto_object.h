// CTdx880SafeAutoObject: a creatable object (made by its class factory) with ITdx880Safe (base of
// the Package, Manager and Crypt objects).
#pragma once

#include <string>

#include "automation/tdx880_safe_interface.h"

namespace lyr::automation {

template <typename Interface>
class CTdx880SafeAutoObject : public CTdx880SafeObject<Interface> {
 public:
  // The initialization step, run by the class factory right after construction: creates the
  // companion. Derived classes create their own parts after calling it.
  virtual void Initialize() { this->CreateSafe(this->ProgId()); }

 protected:
  explicit CTdx880SafeAutoObject(std::u16string prog_id)
      : CTdx880SafeObject<Interface>(std::move(prog_id)) {}
};

}  // namespace lyr::automation
