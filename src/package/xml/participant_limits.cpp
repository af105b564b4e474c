// Checks of participant fields against their limits.
#include "package/xml/participant_limits.h"

#include "rtl/value_check_tool.h"

namespace lyr::xml {

void CheckField(std::string_view value, const FieldLimit& limit) {
  if (limit.minimum == limit.maximum) {
    rtl::CValueCheckTool::CheckLength(value, limit.name, limit.maximum);
  } else {
    rtl::CValueCheckTool::CheckLengthInRange(value, limit.minimum, limit.name, limit.maximum);
  }
}

void CheckOptionalField(std::string_view value, const FieldLimit& limit) {
  if (!value.empty()) {
    CheckField(value, limit);
  }
}

}  // namespace lyr::xml
