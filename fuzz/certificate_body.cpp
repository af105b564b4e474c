// Fuzz entry: arbitrary bytes as a certificate body (DER, PEM or Base64 text) read by
// CertificateFromBody and by CKORALCertificate::LoadFromBody, as a PEM certificate, and as a CRL;
// every field of what parses is read. Nothing may crash, hang or leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "certificate_walk.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/koral_certificate.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using lyr::crypt::CCryptoAPI20Utils;
  using lyr::fuzz::Try;
  const std::string body(reinterpret_cast<const char*>(data), size);
  Try([&] { lyr::fuzz::WalkCertificate(CCryptoAPI20Utils::CertificateFromBody(body)); });
  Try([&] { lyr::fuzz::WalkCertificate(lyr::crypt::Certificate::FromPem(body)); });
  Try([&] {
    lyr::crypt::CKORALCertificate certificate;
    certificate.LoadFromBody(body);
    (void)certificate.GetSha1();
    const lyr::crypt::CKORALCertificateContext& fields = certificate.CertificateContext();
    Try([&] { (void)fields.SerialNumber().GetValue(); });
    Try([&] { (void)fields.Issuer().GetValue(); });
    Try([&] { (void)fields.Subject().GetValue(); });
    Try([&] { (void)fields.SignatureAlgorithm().GetValue(); });
  });
  Try([&] { lyr::fuzz::WalkCrl(CCryptoAPI20Utils::CRLFromBody(body)); });
  return 0;
}
