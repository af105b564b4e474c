// CCryptCertificate.
#include "crypt/crypt_certificate.h"

namespace lyr::crypt {

CCryptCertificate::CCryptCertificate(const Certificate* certificate) {
  SetHandle(certificate);
}

CCryptCertificate::~CCryptCertificate() {
  CCryptCertificate::Release();
}

void CCryptCertificate::OnAttached() {
  own_ = *handle_;
  handle_ = &*own_;
}

void CCryptCertificate::Release() {
  CCryptObject::Release();
  own_.reset();
  not_before_ = 0;
  not_after_ = 0;
}

rtl::TDateTime CCryptCertificate::NotBefore() {
  if (not_before_ == 0 && own_) {
    not_before_ = rtl::UnixTimeToUtcDateTime(own_->NotBefore());
  }
  return not_before_;
}

rtl::TDateTime CCryptCertificate::NotAfter() {
  if (not_after_ == 0 && own_) {
    not_after_ = rtl::UnixTimeToUtcDateTime(own_->NotAfter());
  }
  return not_after_;
}

}  // namespace lyr::crypt
