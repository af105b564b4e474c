// A provider context: what a CryptoAPI provider handle stands for in this library. It names the
// provider (the GOST engine, type 75), the key set (current user or local machine) and, unless it
// is a verification context, one key container. It holds the GOST engine started while it lives.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/store_location.h"

namespace lyr::crypt {

// Acquire flags, with their CryptoAPI values.
namespace acquire {
inline constexpr uint32_t kVerifyContext = 0xF0000000;  // CRYPT_VERIFYCONTEXT
inline constexpr uint32_t kNewKeyset = 0x08;            // CRYPT_NEWKEYSET
inline constexpr uint32_t kMachineKeyset = 0x20;        // CRYPT_MACHINE_KEYSET
inline constexpr uint32_t kSilent = 0x40;               // CRYPT_SILENT
}  // namespace acquire

inline constexpr uint32_t kGostProviderType = 75;
inline constexpr std::string_view kGostProviderName =
    "Crypto-Pro GOST R 34.10-2001 Cryptographic Service Provider";

class ProviderContext final {
 public:
  // Acquires a context. provider_name empty = the type's default provider. Raises ECryptError:
  // NTE_PROV_TYPE_NOT_DEF for a type other than 75, NTE_KEYSET_NOT_DEF for another provider
  // name, the engine's start-up errors, NTE_BAD_KEYSET_PARAM when a verification context names a
  // container or another context names none, NTE_EXISTS when a new key set exists, NTE_BAD_KEYSET
  // when the container does not exist.
  static std::shared_ptr<const ProviderContext> Acquire(std::optional<std::string_view> container,
                                                        std::string_view provider_name,
                                                        uint32_t provider_type, uint32_t flags);

  [[nodiscard]] const std::string& ProviderName() const noexcept { return provider_name_; }
  [[nodiscard]] uint32_t ProviderType() const noexcept { return provider_type_; }
  [[nodiscard]] const std::optional<std::string>& Container() const noexcept { return container_; }
  // Local machine when acquired with CRYPT_MACHINE_KEYSET, else current user.
  [[nodiscard]] StoreLocation KeyLocation() const noexcept { return location_; }

 private:
  ProviderContext() = default;

  CryptoRuntime runtime_;
  std::string provider_name_;
  uint32_t provider_type_ = kGostProviderType;
  std::optional<std::string> container_;
  StoreLocation location_ = StoreLocation::kCurrentUser;
};

// What CryptoAPI passes around as a provider handle: a context, or none.
using ProviderHandle = const ProviderContext*;

}  // namespace lyr::crypt
