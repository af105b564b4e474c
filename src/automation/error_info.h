// COM error information: the thread's error object that a failing member publishes.
#pragma once

#include <string>
#include <string_view>

#include "lyr/com/com.h"

namespace lyr::automation {

// Where an error comes from: the ProgID of the creatable class the object belongs to and the
// interface whose member failed.
struct ErrorSource {
  std::u16string_view prog_id;
  const IID* iid = nullptr;
};

// Sets the thread's error object: description = message (windows-1251, converted to UTF-16),
// source = the ProgID, GUID = the interface. Never throws; a failure leaves the slot cleared.
void PublishErrorInfo(const ErrorSource& source, std::string_view message) noexcept;

// The message of the exception being handled (inside a catch block): the library error's message,
// or the text of any other exception.
std::string CurrentExceptionMessage(int32_t* code) noexcept;

}  // namespace lyr::automation
