// Fixture of the HTTP tests: a sandbox whose proxy environment is empty unless a test sets it,
// and helpers for expected errors.
#pragma once

#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/sandbox.h"

namespace lyr::test {

class HttpTest : public Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    for (const char* name : kProxyVariables) {
      if (const char* value = std::getenv(name)) {
        saved_[name] = value;
      }
      ::unsetenv(name);
    }
  }
  void TearDown() override {
    for (const char* name : kProxyVariables) {
      ::unsetenv(name);
    }
    for (const auto& [name, value] : saved_) {
      ::setenv(name.c_str(), value.c_str(), 1);
    }
    Sandbox::TearDown();
  }

  static constexpr const char* kProxyVariables[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                                    "HTTPS_PROXY", "all_proxy",  "ALL_PROXY",
                                                    "no_proxy",    "NO_PROXY"};

 private:
  std::map<std::string, std::string> saved_;
};

// The message of the library error that action raises, or "<no error>".
inline std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "<no error>";
}

// The message of a transport failure with the given description and code.
inline std::string TransportError(const std::string& description, int code) {
  return rtl::Msg(u8"Не удалось соединиться с сервером: ") + description + rtl::Msg(u8" (код ") +
         std::to_string(code) + ")";
}

}  // namespace lyr::test
