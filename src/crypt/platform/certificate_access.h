// Private to src/crypt/platform: the OpenSSL object behind a Certificate, and names decoded from
// OpenSSL.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/platform/certificate.h"
#include "crypt/platform/ossl.h"

namespace lyr::crypt {

struct Certificate::Impl {
  ossl::X509Ptr x509;
  std::string der;
  std::string sha1;
};

struct CertificateAccess {
  // The certificate's X509 (owned by the certificate).
  static X509* Native(const Certificate& certificate) noexcept {
    return certificate.impl_->x509.get();
  }
  // Takes ownership of a parsed certificate. Raises ECryptError when it cannot be encoded.
  static Certificate Wrap(ossl::X509Ptr x509);
};

// The attributes of a name in encoding order, values as windows-1251 text.
std::vector<NameAttribute> NameAttributes(const X509_NAME* name);
// The first common name of a name.
std::optional<std::string> CommonName(const X509_NAME* name);
// The first fault of a list of certificate or CRL extensions: an extension present twice, or a
// critical one whose identifier is not in processed; "" when there is none.
std::string ExtensionDefect(const std::vector<ExtensionInfo>& extensions,
                            std::span<const std::string_view> processed);

}  // namespace lyr::crypt
