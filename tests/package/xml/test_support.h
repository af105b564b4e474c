// Helpers of the package XML tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::xml::test {

// The message of the error operation raises, or "no error".
inline std::string Failure(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "no error";
}

// A UTF-8 source text as windows-1251.
inline std::string W(std::u8string_view text) {
  return rtl::Msg(text);
}

inline const std::string kDeclaration = R"(<?xml version="1.0" encoding="windows-1251"?>)";

}  // namespace lyr::xml::test
