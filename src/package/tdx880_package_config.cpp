// CTdx880PackageConfig: the description's ThreadTypeCode for the items.
#include "package/tdx880_package_config.h"

#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"

namespace lyr::package {

const std::string& CTdx880PackageConfig::ThreadTypeCode() const {
  rtl::Assert(description_ != nullptr, "CTdx880PackageConfig: no description",
              "tdx880_package_config");
  return description_->ThreadTypeCode();
}

}  // namespace lyr::package
