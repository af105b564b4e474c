// CTdx880PackageConfig: the settings a package container hands to each of its items and signature
// objects (description, working folder, user-storage flag).
#pragma once

#include <string>

#include "rtl/base_class.h"

namespace lyr::xml {
class CXMLGprPackage;
}  // namespace lyr::xml

namespace lyr::package {

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

  // Handed unchanged to every cryptographic call of the items; true by default.
  [[nodiscard]] bool FlagUsageUserStorage() const noexcept { return flag_usage_user_storage_; }
  void SetFlagUsageUserStorage(bool value) noexcept { flag_usage_user_storage_ = value; }

 private:
  xml::CXMLGprPackage* description_ = nullptr;
  std::string working_directory_;
  bool flag_usage_user_storage_ = true;
};

}  // namespace lyr::package
