// CCryptCertificate: a certificate wrapper that holds a reference of its own and gives the
// certificate's validity bounds as date-time values.
#pragma once

#include <optional>

#include "crypt/crypt_object.h"
#include "crypt/platform/certificate.h"
#include "rtl/date_time.h"

namespace lyr::crypt {

// The handle is a certificate the caller holds; attaching takes a reference of this object's own
// (a copy sharing the certificate), so the caller may drop theirs.
class CCryptCertificate final : public CCryptObject<const Certificate*> {
 public:
  // Attaches certificate (nullptr: empty).
  explicit CCryptCertificate(const Certificate* certificate);
  ~CCryptCertificate() override;

  // The validity bounds as date-times of the UTC values (not converted to local time), computed
  // on first use; an empty wrapper gives 0.
  [[nodiscard]] rtl::TDateTime NotBefore();
  [[nodiscard]] rtl::TDateTime NotAfter();
  // The certificate held; nullptr when empty.
  [[nodiscard]] const Certificate* Context() const noexcept { return GetHandle(); }

 protected:
  void OnAttached() override;
  void Release() override;

 private:
  std::optional<Certificate> own_;
  rtl::TDateTime not_before_ = 0;
  rtl::TDateTime not_after_ = 0;
};

}  // namespace lyr::crypt
