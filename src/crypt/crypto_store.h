// CCryptoStore: one opened certificate store (a system store of the provider's key set, a memory
// store or the store of a PKCS#7 blob) for the crypto classes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "crypt/platform/cert_store.h"
#include "crypt/zero_string.h"
#include "rtl/str_array.h"

namespace lyr::crypt {

class CCryptoProvider;

// Store provider kinds, with CryptoAPI's CERT_STORE_PROV_* values.
namespace store_provider {
inline constexpr uint32_t kMemory = 2;    // CERT_STORE_PROV_MEMORY (parameter unused)
inline constexpr uint32_t kPkcs7 = 5;     // CERT_STORE_PROV_PKCS7 (parameter: the DER)
inline constexpr uint32_t kSystemW = 10;  // CERT_STORE_PROV_SYSTEM_W (parameter: the name)
}  // namespace store_provider

class CCryptoStore final {
 public:
  CCryptoStore();
  // Closes; a failing close is traced, never raised.
  ~CCryptoStore();
  CCryptoStore(const CCryptoStore&) = delete;
  CCryptoStore& operator=(const CCryptoStore&) = delete;

  // The provider whose key set chooses the location of system stores (not owned; may be null).
  void SetProvider(CCryptoProvider* provider) noexcept { provider_ = provider; }
  [[nodiscard]] CCryptoProvider* Provider() const noexcept { return provider_; }

  // Closes any open store, then opens one: kSystemW the system store named by parameter at the
  // current user's location, or the local machine's when the provider's machine-key-set flag is
  // on; kMemory an empty memory store; kPkcs7 the certificates of the PKCS#7 blob parameter.
  // Failures (another kind, a name that is no store name, bytes that are no PKCS#7) raise the OS
  // error of the crypto last error.
  void Open(uint32_t store_provider_kind, std::string_view parameter);
  // Closes the store when open.
  void Close();
  [[nodiscard]] bool Opened() const noexcept { return store_.has_value(); }
  // The open store; nullptr while closed.
  [[nodiscard]] CertStore* Handle() noexcept { return store_ ? &*store_ : nullptr; }

 private:
  std::optional<CertStore> store_;
  CCryptoProvider* provider_ = nullptr;
  CZeroString name_;
  rtl::CStrArray objects_;
};

}  // namespace lyr::crypt
