// Helpers of the package XML tests.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/expect_raises.h"

namespace lyr::xml::test {

using lyr::test::ExpectRaises;
using lyr::test::MessageOf;

// A UTF-8 source text as windows-1251.
inline std::string W(std::u8string_view text) {
  return rtl::Msg(text);
}

inline const std::string kDeclaration = R"(<?xml version="1.0" encoding="windows-1251"?>)";

}  // namespace lyr::xml::test
