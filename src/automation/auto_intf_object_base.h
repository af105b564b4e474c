// CAutoIntfObjectBase: base of every automation object that is not creatable (handed out by the
// members of other objects).
#pragma once

#include <string>
#include <utility>

#include "automation/auto_object.h"

namespace lyr::automation {

template <typename Interface>
class CAutoIntfObjectBase : public CAutomationObject<Interface> {
 public:
  // True once IDispatch is bound to the type information of the class's dispatch interface.
  [[nodiscard]] bool Initialized() const noexcept { return initialized_; }

 protected:
  // prog_id: the creatable class the object belongs to (the source of its errors).
  explicit CAutoIntfObjectBase(std::u16string prog_id)
      : CAutomationObject<Interface>(std::move(prog_id)) {
    // The binding is the type library table's entry for the dispatch interface, fixed at compile
    // time by InterfaceTraits.
    initialized_ = LyrTdxPackage880Library().types[CDualInterface<Interface>::kTypeIndex].guid ==
                   InterfaceTraits<Interface>::Iid();
  }

 private:
  bool initialized_ = false;
};

}  // namespace lyr::automation
