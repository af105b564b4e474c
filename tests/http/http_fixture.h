// Fixture of the HTTP tests: a sandbox without proxy variables unless a test sets them, and the
// message of a transport failure.
#pragma once

#include <cstdlib>
#include <string>

#include "rtl/text.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::test {

class HttpTest : public Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
      ::unsetenv(name);
    }
  }
};

inline std::string TransportError(const std::string& description, int code) {
  return rtl::Msg(u8"Не удалось соединиться с сервером: ") + description + rtl::Msg(u8" (код ") +
         std::to_string(code) + ")";
}

}  // namespace lyr::test
