// Fixture of the tool's certificate, fetch and envelope command tests: runs the real tool in a
// sandbox home and prepares stores and containers through the library, as another program would.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "crypt/support/test_pki.h"
#include "support/sandbox.h"

namespace lyr::tool::test {

struct ToolResult {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

class CryptToolTest : public lyr::test::Sandbox {
 protected:
  // Runs "tdx880 <arguments>" (a shell text: quote paths) and collects both outputs.
  ToolResult Tool(const std::string& arguments) {
    ToolResult result;
    const std::string err = PathOf("tool.err");
    result.status = lyr::test::RunCommand(
        std::string(LYR_TDX880_TOOL) + " " + arguments + " 2>'" + err + "'", &result.out);
    result.err = lyr::test::ReadAll(err);
    return result;
  }

 public:
  static std::string Quote(const std::filesystem::path& path) { return "'" + path.string() + "'"; }

  // The SHA-1 fingerprint openssl prints for a certificate file, as 40 upper-case hex digits.
  static std::string OpenSslThumbprint(const std::filesystem::path& certificate,
                                       const std::string& inform = "PEM") {
    std::string output;
    EXPECT_EQ(lyr::test::RunCommand("openssl x509 -noout -fingerprint -sha1 -inform " + inform +
                                        " -in " + Quote(certificate),
                                    &output),
              0);
    std::string hex;
    for (const char c : output.substr(output.find('=') + 1)) {
      if (std::isxdigit(static_cast<unsigned char>(c))) {
        hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
    }
    return hex;
  }

  static crypt::Certificate PkiCertificate(const std::filesystem::path& pem) {
    return crypt::Certificate::FromDer(lyr::test::PemFileToDer(pem));
  }

  // Adds certificate to a store of the current user (or the local machine), bound to container
  // when one is named.
  static void AddToStore(const std::string& store, crypt::Certificate certificate,
                         const std::string& container = {},
                         crypt::StoreLocation location = crypt::StoreLocation::kCurrentUser) {
    if (!container.empty()) {
      certificate.SetKeyProv(crypt::KeyProvInfo{container, "", 75, 1, 1});
    }
    crypt::CertStore::OpenSystem(location, store)
        .Add(certificate, crypt::AddDisposition::kReplaceExisting);
  }

  // A container of the current user holding the key of a PEM key file.
  static void MakeContainer(const std::string& name, const std::filesystem::path& key_pem) {
    crypt::KeyContainer::Create(
        crypt::StoreLocation::kCurrentUser, name,
        crypt::PrivateKey::FromPem(lyr::test::FileBytes(key_pem), std::nullopt));
  }
};

}  // namespace lyr::tool::test
