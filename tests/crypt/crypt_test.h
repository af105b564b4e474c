// Small helpers shared by the crypto tests, with the support headers they all use.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "crypt/crypto_api20_exception.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/crypt_error.h"
#include "rtl/errors.h"
#include "support/expect_raises.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::crypt::test_util {

inline uint32_t ModeOf(const std::filesystem::path& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 0777;
}

// The thumbprints of a system store.
inline std::set<std::string> ThumbprintsOf(const std::string& store,
                                           StoreLocation location = StoreLocation::kCurrentUser) {
  std::set<std::string> result;
  for (const Certificate& certificate : CertStore::OpenSystem(location, store).Certificates()) {
    result.insert(certificate.Thumbprint());
  }
  return result;
}

// A detached signature of content by openssl cms -sign with the test PKI's user key, made in
// folder; extra options appended.
inline std::string OpenSslSignature(const std::filesystem::path& folder, const std::string& content,
                                    const std::string& extra = {}) {
  std::ofstream(folder / "osl-content.bin", std::ios::binary) << content;
  EXPECT_EQ(test::RunOpenSsl("cms -sign -binary -md md_gost94 -outform DER -in '" +
                             (folder / "osl-content.bin").string() +
                             "' -signer user.pem -inkey user.key -out '" +
                             (folder / "osl.p7s").string() + "' " + extra),
            0);
  return test::ReadAll(folder / "osl.p7s");
}

// The code of the ECryptError that body raises, or 0.
template <typename Body>
uint32_t CodeOf(Body&& body) {
  const std::optional<ECryptError> error = test::Raised<ECryptError>(body);
  return error ? error->ErrorCode() : 0;
}

// The coded failure of a verification: code -1 when body raises nothing, 0 for an error that is
// not a CCryptoAPI20Exception.
struct Coded {
  int code = -1;
  std::string message;
  uint32_t last_error = 0;
  std::string last_error_text;
};

template <typename Body>
Coded CodedOf(Body&& body) {
  try {
    body();
  } catch (const CCryptoAPI20Exception& error) {
    return {error.Code(), error.Message(), error.LastError(), error.LastErrorText()};
  } catch (const rtl::Exception& error) {
    return {0, error.Message(), 0, {}};
  }
  return {};
}

}  // namespace lyr::crypt::test_util
