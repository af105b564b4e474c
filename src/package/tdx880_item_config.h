// CTdx880ItemConfig: what an item or a signature object knows of its package: the package
// configuration and its own description entry.
#pragma once

#include "package/tdx880_package_config.h"
#include "rtl/base_class.h"

namespace lyr::rtl {
class CXMLClass;
}  // namespace lyr::rtl

namespace lyr::package {

// Both references are borrowed: the container owns the package configuration and the description
// that owns the entry. The container makes a fresh item configuration for each item it creates or
// loads; items and signature objects copy it into a configuration of their own.
class CTdx880ItemConfig final : public rtl::CBaseClass {
 public:
  CTdx880ItemConfig() = default;
  // Binds entry (a CXMLGprDocument for an item, a CXMLGprSignature for a signature object) and
  // the package configuration.
  CTdx880ItemConfig(rtl::CXMLClass* entry, CTdx880PackageConfig* package_config) noexcept
      : package_config_(package_config), entry_(entry) {}

  // Copies both references of other.
  void Assign(const CTdx880ItemConfig& other) noexcept {
    package_config_ = other.package_config_;
    entry_ = other.entry_;
  }

  [[nodiscard]] CTdx880PackageConfig* PackageConfig() const noexcept { return package_config_; }
  void SetPackageConfig(CTdx880PackageConfig* config) noexcept { package_config_ = config; }

  // The description entry as its base class; EntryAs gives it as the entry class the caller
  // knows it to be (compiled where that class is defined).
  [[nodiscard]] rtl::CXMLClass* Entry() const noexcept { return entry_; }
  void SetEntry(rtl::CXMLClass* entry) noexcept { entry_ = entry; }
  template <typename EntryClass>
  [[nodiscard]] EntryClass* EntryAs() const noexcept {
    return static_cast<EntryClass*>(entry_);
  }

 private:
  CTdx880PackageConfig* package_config_ = nullptr;
  rtl::CXMLClass* entry_ = nullptr;
};

}  // namespace lyr::package
