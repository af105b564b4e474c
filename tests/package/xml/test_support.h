// Helpers of the package XML tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::xml::test {

using lyr::test::ExpectRaises;
using lyr::test::MessageOf;

// A UTF-8 source text as windows-1251.
inline std::string W(std::u8string_view text) {
  return rtl::Msg(text);
}

inline const std::string kDeclaration = R"(<?xml version="1.0" encoding="windows-1251"?>)";

// The file checked by xmllint, re-encoded by it as UTF-8.
inline std::string XmllintUtf8(const std::string& path) {
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand("xmllint --encode UTF-8 '" + path + "' 2>&1", &output), 0)
      << output;
  return output;
}

}  // namespace lyr::xml::test
