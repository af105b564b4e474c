// CCryptoProvider: one provider context of the GOST provider (type 75), with or without a key
// container, and the enumeration of the provider's key containers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crypt/provider_context.h"
#include "crypt/zero_string.h"

namespace lyr::crypt {

class CCryptoProvider final {
 public:
  CCryptoProvider() = default;
  // Closes; never throws (a failing close is traced).
  ~CCryptoProvider();
  CCryptoProvider(const CCryptoProvider&) = delete;
  CCryptoProvider& operator=(const CCryptoProvider&) = delete;

  // Takes effect only while closed.
  void SetMachineKeySet(bool flag);
  [[nodiscard]] bool MachineKeySet() const noexcept { return machine_key_set_; }
  void SetSilent(bool flag) { silent_ = flag; }
  // The provider name asked for (empty = the type's default provider).
  void SetProviderName(std::string name) { provider_name_ = std::move(name); }

  // Acquires a context (closing a held one first): a verification context when container is
  // null, else the container's, created when new_key_set. Failure raises
  // "CCryptoProvider.AcquireContext" LF CR and the platform's text of the error; tolerate has no
  // effect.
  void AcquireContext(uint32_t provider_type, const char* container, bool tolerate,
                      bool new_key_set);
  void AcquireVerifyContext(uint32_t provider_type, bool tolerate);
  // The provider handle (null while closed).
  [[nodiscard]] ProviderHandle Handle() const noexcept { return handle_.get(); }
  [[nodiscard]] bool Opened() const noexcept { return opened_; }
  [[nodiscard]] uint32_t AcquireFlags() const noexcept { return flags_; }
  [[nodiscard]] uint32_t ProviderType() const noexcept { return provider_type_; }
  // Replaces list with the names of the provider's key containers (of the machine key set when
  // that flag is set).
  void EnumerateContainers(std::vector<std::string>& list, uint32_t provider_type);
  void Close();

 private:
  std::shared_ptr<const ProviderContext> handle_;
  CZeroString container_;
  uint32_t flags_ = 0;
  bool silent_ = false;
  bool machine_key_set_ = false;
  bool opened_ = false;
  uint32_t encoding_ = 0x00010001;  // X509_ASN_ENCODING | PKCS_7_ASN_ENCODING
  uint32_t provider_type_ = 0;
  std::string provider_name_;
};

}  // namespace lyr::crypt
