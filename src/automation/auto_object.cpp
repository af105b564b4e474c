// Interface chains of the automation objects.
#include "automation/auto_object.h"

namespace lyr::automation {

bool InterfaceInChain(std::size_t type_index, REFIID iid) noexcept {
  const TypeLibrary& library = LyrTdxPackage880Library();
  for (int16_t at = static_cast<int16_t>(type_index); at >= 0;
       at = library.types[static_cast<std::size_t>(at)].parent) {
    if (library.types[static_cast<std::size_t>(at)].guid == iid) {
      return true;
    }
  }
  return false;
}

}  // namespace lyr::automation
