// CTdx880Manager: the Manager's logic (its TmpDir; the packages it derives come with the Package
// object).
#pragma once

#include <string>

#include "rtl/base_class.h"

namespace lyr::automation {

class CTdx880Manager final : public rtl::CBaseClass {
 public:
  // TmpDir := the environment variable "TMP" (empty when not set), read once.
  CTdx880Manager();

  // windows-1251 path, read and assigned as is.
  std::string TmpDir;
};

}  // namespace lyr::automation
