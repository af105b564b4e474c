// CZeroString.
#include "crypt/zero_string.h"

#include <cstring>

#include "rtl/errors.h"

namespace lyr::crypt {

void CZeroString::Open(const char* text) {
  Close();
  if (text == nullptr) {
    rtl::RaiseFmt(u8"Parameter %1:s of %0:s is invalid", "CZeroString.Open", "pszObjId = NULL");
  }
  const size_t length = std::strlen(text);
  text_ = std::make_unique<char[]>(length + 1);
  std::memcpy(text_.get(), text, length + 1);
  present_ = true;
}

void CZeroString::Close() noexcept {
  if (present_) {
    text_.reset();
    present_ = false;
  }
}

}  // namespace lyr::crypt
