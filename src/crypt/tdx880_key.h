// CTdx880Key: the key record handed out by every key-returning operation (thumbprint, subject
// common name, key container, certificate body and signature role), and filling it from a
// certificate.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "crypt/platform/certificate.h"
#include "rtl/base_class.h"

namespace lyr::crypt {

// Signature role codes a key record carries (the subject codes of the package description).
namespace sign_role {
inline constexpr uint8_t kUnknown = 0;
inline constexpr uint8_t kAbonent = 1;
inline constexpr uint8_t kTaxService = 2;
inline constexpr uint8_t kSpecialOperator = 3;
inline constexpr uint8_t kDataCentre = 11;
}  // namespace sign_role

// Every text is windows-1251; CertificateBody holds the certificate's DER bytes. A new record
// has empty texts and role 1 (abonent). Copies are independent.
class CTdx880Key final : public rtl::CBaseClass {
 public:
  CTdx880Key() = default;

  [[nodiscard]] const std::string& Sha1() const noexcept { return sha1_; }
  // Raises "Передан пустой аргумент: sha1" for an empty value.
  void SetSha1(std::string_view value);

  [[nodiscard]] const std::string& SubjectCN() const noexcept { return subject_cn_; }
  // Raises "Передан пустой аргумент: SubjectCN" for an empty value.
  void SetSubjectCN(std::string_view value);

  // Set by clients only; any value is accepted.
  [[nodiscard]] const std::string& ContainerName() const noexcept { return container_name_; }
  void SetContainerName(std::string_view value) { container_name_.assign(value); }

  [[nodiscard]] const std::string& CertificateBody() const noexcept { return certificate_body_; }
  // Raises "Передан пустой аргумент: CertificateBody" for an empty value.
  void SetCertificateBody(std::string_view value);

  // The internal role code (see sign_role); no check.
  [[nodiscard]] uint8_t SignRole() const noexcept { return sign_role_; }
  void SetSignRole(uint8_t value) noexcept { sign_role_ = value; }

 private:
  std::string sha1_;
  std::string subject_cn_;
  std::string container_name_;
  std::string certificate_body_;
  uint8_t sign_role_ = sign_role::kAbonent;
};

// Sets, in this order, Sha1 (the thumbprint), SubjectCN ("na" when the subject has no common
// name) and CertificateBody (DER) of key; ContainerName and SignRole stay as they are.
void FillKeyFromCertificate(CTdx880Key& key, const Certificate& certificate);

}  // namespace lyr::crypt
