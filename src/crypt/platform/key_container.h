// Key containers on disk: one folder per container under LocationFolder(location)/containers,
// holding the private key (PKCS#8 PEM, "key.pem", 0600) and the container's certificate (DER,
// "certificate.cer"). The folder name is the container name with every byte outside
// [A-Za-z0-9_.-] (and a leading '.') written as "%XX", so any name maps to one safe folder.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/platform/certificate.h"
#include "crypt/platform/private_key.h"
#include "crypt/platform/store_location.h"

namespace lyr::crypt {

class KeyContainer final {
 public:
  // Run by Import with the container once its files are written aside, before it is moved into
  // place; what it raises abandons the import.
  using BeforeCommit = std::function<void(const KeyContainer&)>;

  // The names of the containers of a location, sorted by folder name; empty when there are none.
  static std::vector<std::string> Enumerate(StoreLocation location);
  static bool Exists(StoreLocation location, std::string_view name);
  // Creates a container with a fresh GOST R 34.10-2001 key pair. Raises ECryptError NTE_EXISTS
  // when it exists, NTE_BAD_KEYSET_PARAM for an empty name, and file errors.
  static KeyContainer Create(StoreLocation location, std::string_view name,
                             GostParamSet param_set = GostParamSet::kXA);
  // The same with a fresh key of any GOST kind and one of its parameter sets (empty: the
  // kind's default); NTE_BAD_KEYSET_PARAM also for a parameter set the kind does not have.
  static KeyContainer Create(StoreLocation location, std::string_view name, GostAlgorithm algorithm,
                             std::string_view param_set);
  // Creates a container holding an existing key (an import).
  static KeyContainer Create(StoreLocation location, std::string_view name, const PrivateKey& key);
  // Creates a container holding an existing GOST key and its certificate (an import). Raises
  // ECryptError NTE_BAD_KEY when the key is not a GOST R 34.10 key and NTE_BAD_PUBLIC_KEY when
  // the certificate is not the key's, before anything is written; otherwise as Create.
  // before_commit (when given) runs after the files are written and before the container appears
  // (the caller's binding of the certificate), so a process killed at any moment leaves either
  // the whole container or none: the files written so far lie in a locked staging folder
  // "<containers>/.new-<32 hexadecimal digits>" that the next container write of the location
  // sweeps, its key overwritten with zeros first. Every failure wipes and removes them as well.
  static KeyContainer Import(StoreLocation location, std::string_view name, const PrivateKey& key,
                             const Certificate& certificate,
                             const BeforeCommit& before_commit = {});
  // Opens an existing container; raises ECryptError NTE_BAD_KEYSET when there is none.
  static KeyContainer Open(StoreLocation location, std::string_view name);
  // Removes a container with its files; false when there was none.
  static bool Delete(StoreLocation location, std::string_view name);

  [[nodiscard]] const std::string& Name() const noexcept { return name_; }
  [[nodiscard]] StoreLocation Location() const noexcept { return location_; }
  [[nodiscard]] std::string Folder() const;

  // The private key. An encrypted key is opened with $LYR_TDX_KEY_PASSWORD. Raises ECryptError
  // NTE_NO_KEY when the container holds no key, SCARD_W_WRONG_CHV for a missing or wrong
  // password, NTE_BAD_KEY for an unreadable key.
  [[nodiscard]] PrivateKey GetPrivateKey() const;
  // The container's certificate, if one was put in.
  [[nodiscard]] std::optional<Certificate> GetCertificate() const;
  // Puts certificate into the container (atomically replacing any earlier one). Raises
  // ECryptError NTE_BAD_PUBLIC_KEY when its public key is not the container's key.
  void SetCertificate(const Certificate& certificate) const;

 private:
  KeyContainer(StoreLocation location, std::string name)
      : location_(location), name_(std::move(name)) {}
  // Writes the key (and the certificate, if any) into a new container.
  static KeyContainer Write(StoreLocation location, std::string_view name, const PrivateKey& key,
                            const Certificate* certificate, const BeforeCommit& before_commit);

  StoreLocation location_;
  std::string name_;
};

// The folder name of a container name and back (DecodeContainerName of any encoded name gives
// the name again).
std::string EncodeContainerName(std::string_view name);
std::string DecodeContainerName(std::string_view folder_name);

}  // namespace lyr::crypt
