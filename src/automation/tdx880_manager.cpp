// The Manager's logic.
#include "automation/tdx880_manager.h"

#include <cstdlib>

#include "rtl/text.h"

namespace lyr::automation {

CTdx880Manager::CTdx880Manager() {
  // The environment is UTF-8 on this platform; the library's strings are windows-1251.
  if (const char* tmp = std::getenv("TMP"); tmp != nullptr) {
    TmpDir = rtl::Utf8ToAnsi(std::string_view(tmp));
  }
}

}  // namespace lyr::automation
