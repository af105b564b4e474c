// The invoker table of every interface, instantiated from the slots the type library lists.
#include <span>

#include "automation/invoker.h"

namespace lyr::automation {
namespace {

#include "automation/invokers.inc"

}  // namespace

std::span<const Invoker> InvokersOf(std::size_t type_index) {
  return kInvokerTables[type_index];
}

}  // namespace lyr::automation
