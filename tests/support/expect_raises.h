// Checks that a body raises one of the system's errors with an exact message.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>

#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::test {

// The error of type E that body raises, or nothing when it returns. An error of the system that is
// not an E fails the test and gives nothing.
template <typename E = rtl::Exception, typename Body>
std::optional<E> Raised(Body&& body, std::source_location where = std::source_location::current()) {
  static_assert(std::is_base_of_v<rtl::Exception, E>);
  try {
    body();
  } catch (const rtl::Exception& error) {
    if (const E* wanted = dynamic_cast<const E*>(&error)) {
      return *wanted;
    }
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << "raised " << typeid(error).name() << " \"" << rtl::AnsiToUtf8String(error.Message())
        << "\", not the expected type";
  }
  return std::nullopt;
}

// The message (windows-1251) of the error that body raises, empty when it raises none.
template <typename E = rtl::Exception, typename Body>
std::string MessageOf(Body&& body, std::source_location where = std::source_location::current()) {
  const std::optional<E> error = Raised<E>(body, where);
  return error ? error->Message() : std::string();
}

// Expects body to raise an E whose message is exactly `message` (windows-1251 bytes).
template <typename E = rtl::Exception, typename Body>
void ExpectRaises(Body&& body, std::string_view message,
                  std::source_location where = std::source_location::current()) {
  const std::optional<E> error = Raised<E>(body, where);
  if (!error) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << "raised no error; expected \"" << rtl::AnsiToUtf8String(message) << "\"";
  } else if (error->Message() != message) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << "message \"" << rtl::AnsiToUtf8String(error->Message()) << "\"\n expected \""
        << rtl::AnsiToUtf8String(message) << "\"";
  }
}

// The same with the message written in UTF-8 in the source (the library's messages are made so).
template <typename E = rtl::Exception, typename Body>
void ExpectRaises(Body&& body, std::u8string_view message,
                  std::source_location where = std::source_location::current()) {
  ExpectRaises<E>(body, std::string_view(rtl::Msg(message)), where);
}

// Expects body to fail a program check of unit: "<message> (<unit>, line <n>)".
template <typename Body>
void ExpectProgramCheck(Body&& body, std::string_view message, std::string_view unit,
                        std::source_location where = std::source_location::current()) {
  const std::string got = MessageOf<rtl::EAssertionFailed>(body, where);
  if (!got.starts_with(std::string(message) + " (" + std::string(unit) + ", line ")) {
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
        << "program check \"" << got << "\"\n expected \"" << message << " (" << unit
        << ", line n)\"";
  }
}

}  // namespace lyr::test
