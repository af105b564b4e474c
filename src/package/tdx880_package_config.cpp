// CTdx880PackageConfig: the description's ThreadTypeCode for the items, and the envelope cipher
// named by the environment.
#include "package/tdx880_package_config.h"

#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/trace.h"

namespace lyr::package {

const std::string& CTdx880PackageConfig::ThreadTypeCode() const {
  rtl::Assert(description_ != nullptr, "CTdx880PackageConfig: no description",
              "tdx880_package_config");
  return description_->ThreadTypeCode();
}

crypt::ContentCipher CTdx880PackageConfig::EnvelopeCipherFromEnvironment() {
  const std::string name = rtl::GetEnvironmentValue(std::string(kEnvelopeCipherVariable));
  if (name.empty()) {
    return crypt::ContentCipher::kGost28147;
  }
  const std::optional<crypt::ContentCipher> cipher = crypt::ContentCipherByName(name);
  if (!cipher) {
    rtl::DebugLog("CTdx880PackageConfig: %s names no content cipher: %s",
                  std::string(kEnvelopeCipherVariable), name);
    return crypt::ContentCipher::kGost28147;
  }
  return *cipher;
}

}  // namespace lyr::package
