// The "MY" store as the HTTPS client's certificate source.
#include "crypt/my_client_certificate.h"

#include <string>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/key_container.h"
#include "rtl/hex.h"

namespace lyr::crypt {
namespace {

constexpr size_t kSha1Size = 20;
constexpr uint32_t kMachineKeySet = 0x20;  // CRYPT_MACHINE_KEYSET in the key-provider flags

}  // namespace

std::optional<http::ClientCertificate> FindMyClientCertificate(std::string_view sha1) {
  if (sha1.size() != kSha1Size) {
    return std::nullopt;
  }
  const CertStore my = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
  const std::optional<Certificate> found = my.FindByThumbprint(rtl::BytesToHexPlain(sha1));
  if (!found) {
    return std::nullopt;
  }
  if (!found->KeyProv() || found->KeyProv()->container_name.empty()) {
    RaiseCryptError(code::kCryptENoKeyProperty, found->Thumbprint());
  }
  const KeyProvInfo& binding = *found->KeyProv();
  const StoreLocation location =
      (binding.flags & kMachineKeySet) != 0 ? StoreLocation::kLocalMachine : my.Location();
  const PrivateKey key = KeyContainer::Open(location, binding.container_name).GetPrivateKey();
  if (!key.Matches(*found)) {
    RaiseCryptError(code::kNteBadPublicKey, binding.container_name);
  }
  http::ClientCertificate result{found->Der(), key.ToPkcs8Pem()};
  return result;
}

http::ClientCertificateSource MyClientCertificateSource() {
  return [](const std::string& sha1) { return FindMyClientCertificate(sha1); };
}

}  // namespace lyr::crypt
