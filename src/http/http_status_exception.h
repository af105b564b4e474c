// CHttpStatusException: the error of a response whose status is not 200 when the status is
// checked.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/errors.h"

namespace lyr::http {

class CHttpStatusException final : public rtl::Exception {
 public:
  // The message is the status text the server sent (for example "Not Found").
  CHttpStatusException(int32_t status_code, std::string status_text)
      : Exception(std::move(status_text)), status_code_(status_code) {}

  // The numeric HTTP status.
  [[nodiscard]] int32_t StatusCode() const noexcept { return status_code_; }

 private:
  int32_t status_code_;
};

}  // namespace lyr::http
