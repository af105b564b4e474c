// Small helpers shared by the crypto tests.
#pragma once

#include <cctype>
#include <filesystem>
#include <string>

#include "crypt/crypt_error.h"
#include "crypt/crypto_api20_exception.h"
#include "crypt/platform/certificate.h"
#include "rtl/errors.h"
#include "support/expect_raises.h"
#include "support/pki.h"

namespace lyr::crypt::test_util {

inline Certificate Load(const std::filesystem::path& pem) {
  return Certificate::FromDer(test::PemFileToDer(pem));
}

inline std::string Lower(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

// The code of the ECryptError that body raises, or 0.
template <typename Body>
uint32_t CodeOf(Body&& body) {
  try {
    body();
  } catch (const ECryptError& error) {
    return error.ErrorCode();
  }
  return 0;
}

// The coded failure of a verification: code -1 when body raises nothing, 0 for an error that is
// not a CCryptoAPI20Exception.
struct Coded {
  int code = -1;
  std::string message;
};

template <typename Body>
Coded CodedOf(Body&& body) {
  try {
    body();
  } catch (const CCryptoAPI20Exception& error) {
    return {error.Code(), error.Message()};
  } catch (const rtl::Exception& error) {
    return {0, error.Message()};
  }
  return {};
}

}  // namespace lyr::crypt::test_util
