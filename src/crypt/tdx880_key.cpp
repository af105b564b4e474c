// CTdx880Key: the key record and its setters' checks.
#include "crypt/tdx880_key.h"

#include "crypt/crypto_api20_utils.h"
#include "rtl/value_check_tool.h"

namespace lyr::crypt {

void CTdx880Key::SetSha1(std::string_view value) {
  rtl::CValueCheckTool::CheckNotEmpty(value, "sha1");
  sha1_.assign(value);
}

void CTdx880Key::SetSubjectCN(std::string_view value) {
  rtl::CValueCheckTool::CheckNotEmpty(value, "SubjectCN");
  subject_cn_.assign(value);
}

void CTdx880Key::SetCertificateBody(std::string_view value) {
  rtl::CValueCheckTool::CheckNotEmpty(value, "CertificateBody");
  certificate_body_.assign(value);
}

void FillKeyFromCertificate(CTdx880Key& key, const Certificate& certificate) {
  key.SetSha1(CCryptoAPI20Utils::GetSha1(certificate));
  key.SetSubjectCN(CCryptoAPI20Utils::GetSubjectCN(certificate));
  key.SetCertificateBody(CCryptoAPI20Utils::GetCertificateBody(certificate));
}

}  // namespace lyr::crypt
