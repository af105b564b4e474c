// Fuzz entry: bytes as a certificate body (DER, PEM or Base64 text), as a PEM certificate, as a
// KORAL certificate and as a CRL; every field of what parses is read.
#include <cstdint>
#include <string>

#include "certificate_walk.h"
#include "crypt/koral_certificate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using lyr::crypt::CCryptoAPI20Utils;
  using lyr::fuzz::Try;
  const std::string body(reinterpret_cast<const char*>(data), size);
  Try([&] { lyr::fuzz::WalkCertificate(CCryptoAPI20Utils::CertificateFromBody(body)); },
      [&] { lyr::fuzz::WalkCertificate(lyr::crypt::Certificate::FromPem(body)); },
      [&] {
        lyr::crypt::CKORALCertificate certificate;
        certificate.LoadFromBody(body);
        (void)certificate.GetSha1();
        const lyr::crypt::CKORALCertificateContext& fields = certificate.CertificateContext();
        Try([&] { (void)fields.SerialNumber().GetValue(); },
            [&] { (void)fields.Issuer().GetValue(); }, [&] { (void)fields.Subject().GetValue(); },
            [&] { (void)fields.SignatureAlgorithm().GetValue(); });
      },
      [&] { lyr::fuzz::WalkCrl(CCryptoAPI20Utils::CRLFromBody(body)); });
  return 0;
}
