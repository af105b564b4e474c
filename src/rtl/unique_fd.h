// The descriptor owner under its former name, for code not yet moved to base/unique_fd.h.
#pragma once

#include "base/unique_fd.h"

namespace lyr::rtl {

using base::UniqueFd;

}  // namespace lyr::rtl
