// DecompressionBudget: the limit from the environment and the check with its message.
#include "rtl/decompression_budget.h"

#include <charconv>

#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/str_utils.h"
#include "rtl/trace.h"

namespace lyr::rtl {

uint64_t DecompressionBudget::LimitFromEnvironment() {
  const std::string text = GetEnvironmentValue(std::string(kLimitVariable));
  const std::string value = Trim(text);
  if (value.empty()) {
    return kDefaultLimit;
  }
  uint64_t limit = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), limit);
  if (error != std::errc() || end != value.data() + value.size()) {
    DebugLog("DecompressionBudget: %s is not a number of bytes: %s", std::string(kLimitVariable),
             text);
    return kDefaultLimit;
  }
  return limit;
}

void DecompressionBudget::Check(uint64_t size) const {
  if (size > Left()) {
    RaiseFmt(u8"Слишком большой объём документов в пакете: [%s]", name_);
  }
}

void DecompressionBudget::Take(uint64_t size) {
  Check(size);
  used_ += size;
}

}  // namespace lyr::rtl
