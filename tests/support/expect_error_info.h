// The automation twin of ExpectRaises: a call's HRESULT and the error information it published
// (public COM headers only, so hosts that load the server through liblyrcom use it too).
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <source_location>
#include <string>
#include <string_view>

#include "lyr/com/com.h"

namespace lyr::test {

// The thread's error information, taken (GetErrorInfo clears the slot).
struct PublishedError {
  bool present = false;
  std::u16string description;
  std::u16string source;
};

inline std::u16string TakeBstr(BSTR text) {
  std::u16string value = text == nullptr ? u"" : std::u16string(text, ::SysStringLen(text));
  ::SysFreeString(text);
  return value;
}

inline PublishedError TakeErrorInfo() {
  PublishedError published;
  IErrorInfo* info = nullptr;
  if (::GetErrorInfo(0, &info) != S_OK || info == nullptr) {
    return published;
  }
  published.present = true;
  BSTR text = nullptr;
  published.description = info->GetDescription(&text) == S_OK ? TakeBstr(text) : u"";
  text = nullptr;
  published.source = info->GetSource(&text) == S_OK ? TakeBstr(text) : u"";
  info->Release();
  return published;
}

// The description of the thread's error information, taken ("(no error information)" if none).
inline std::u16string TakeErrorDescription() {
  PublishedError published = TakeErrorInfo();
  return published.present ? published.description : u"(no error information)";
}

// UTF-16 text shown in a failure message (ASCII as is, anything else as \uXXXX).
inline std::string Shown(std::u16string_view text) {
  std::string shown;
  for (const char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F) {
      shown.push_back(static_cast<char>(unit));
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(unit));
      shown += escaped;
    }
  }
  return shown;
}

inline std::string DescribeErrorInfo() {
  return Shown(TakeErrorDescription());
}

// Expects a call's result and the exact description of the error information it published.
inline void ExpectErrorInfo(HRESULT got, HRESULT expected, std::u16string_view description,
                            std::source_location where = std::source_location::current()) {
  const PublishedError published = TakeErrorInfo();
  if (got != expected) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << "returned 0x" << std::hex << static_cast<unsigned long>(got) << ", expected 0x"
        << static_cast<unsigned long>(expected) << std::dec;
  }
  if (!published.present) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << "published no error information; expected \"" << Shown(description) << "\"";
  } else if (published.description != description) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << "description \"" << Shown(published.description) << "\"\n expected \""
        << Shown(description) << "\"";
  }
}

}  // namespace lyr::test
