// CTdx880PackageConfig: the settings a package container hands to each of its items and signature
// objects (description, working folder, staged files, user-storage flag, decompression budget).
#pragma once

#include <cstdint>
#include <string>

#include "crypt/platform/content_cipher.h"
#include "rtl/base_class.h"
#include "rtl/decompression_budget.h"

namespace lyr::xml {
class CXMLGprPackage;
}  // namespace lyr::xml

namespace lyr::package {

class PackageFiles;

class CTdx880PackageConfig final : public rtl::CBaseClass {
 public:
  CTdx880PackageConfig() = default;

  // The container's description (not owned; may be null while no package is open).
  [[nodiscard]] xml::CXMLGprPackage* Description() const noexcept { return description_; }
  void SetDescription(xml::CXMLGprPackage* description) noexcept { description_ = description; }

  // The package's ThreadTypeCode, read from the description. Fails with an assertion error when
  // no description is set.
  [[nodiscard]] const std::string& ThreadTypeCode() const;

  // Full path of the container's working folder, ending in "/" ("" when there is none).
  [[nodiscard]] const std::string& WorkingDirectory() const noexcept { return working_directory_; }
  void SetWorkingDirectory(std::string path) { working_directory_ = std::move(path); }

  // The container's staged files (package/package_file.h; not owned): while they are set, items
  // and signature objects read and write their files there instead of in the working folder.
  // Null for a configuration without a container.
  [[nodiscard]] PackageFiles* Files() const noexcept { return files_; }
  void SetFiles(PackageFiles* files) noexcept { files_ = files; }

  // Open keeps the archive's entries in memory up to this many bytes together and writes the rest
  // into the working folder.
  static constexpr uint64_t kDefaultMaxStagedSize = uint64_t{256} << 20;
  [[nodiscard]] uint64_t MaxStagedSize() const noexcept { return max_staged_size_; }
  void SetMaxStagedSize(uint64_t value) noexcept { max_staged_size_ = value; }

  // Handed unchanged to every cryptographic call of the items; true by default.
  [[nodiscard]] bool FlagUsageUserStorage() const noexcept { return flag_usage_user_storage_; }
  void SetFlagUsageUserStorage(bool value) noexcept { flag_usage_user_storage_ = value; }

  // The content encryption of the envelopes the items make: GOST 28147-89 by default; the
  // container sets it from LYR_TDX_ENVELOPE_CIPHER (a name of crypt::ContentCipherNames, such as
  // "kuznyechik-ctr-acpkm-omac") when it is made.
  static constexpr std::string_view kEnvelopeCipherVariable = "LYR_TDX_ENVELOPE_CIPHER";
  [[nodiscard]] crypt::ContentCipher EnvelopeCipher() const noexcept { return envelope_cipher_; }
  void SetEnvelopeCipher(crypt::ContentCipher value) noexcept { envelope_cipher_ = value; }
  // The cipher LYR_TDX_ENVELOPE_CIPHER names; GOST 28147-89 when it is unset, empty or names no
  // cipher (logged to the debug trace).
  static crypt::ContentCipher EnvelopeCipherFromEnvironment();

  // The decompression budget of the open package: the outer archive's entries and every
  // document's stored form inflated since Open or New count against it. The limit starts at
  // DecompressionBudget::kDefaultLimit (4 GiB); the container sets it from
  // LYR_TDX_MAX_PLAIN_SIZE when it is made.
  [[nodiscard]] rtl::DecompressionBudget& Budget() noexcept { return budget_; }
  [[nodiscard]] const rtl::DecompressionBudget& Budget() const noexcept { return budget_; }
  // The budget's limit in bytes of plain content per package.
  [[nodiscard]] uint64_t MaxPlainSize() const noexcept { return budget_.Limit(); }
  void SetMaxPlainSize(uint64_t value) noexcept { budget_.SetLimit(value); }

 private:
  xml::CXMLGprPackage* description_ = nullptr;
  std::string working_directory_;
  PackageFiles* files_ = nullptr;
  uint64_t max_staged_size_ = kDefaultMaxStagedSize;
  bool flag_usage_user_storage_ = true;
  crypt::ContentCipher envelope_cipher_ = crypt::ContentCipher::kGost28147;
  rtl::DecompressionBudget budget_;
};

}  // namespace lyr::package
