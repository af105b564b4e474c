// Fuzz entry: bytes as a PKCS#7 SignedData, read as the chain import and the signature code read
// it; every certificate and CRL found is walked and looked up in the store.
#include <cstdint>
#include <string>

#include "certificate_walk.h"
#include "crypt/platform/cert_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using lyr::fuzz::Try;
  const std::string der(reinterpret_cast<const char*>(data), size);
  Try(
      [&] {
        const lyr::crypt::CertStore store = lyr::crypt::CertStore::OpenPkcs7(der);
        for (const lyr::crypt::Certificate& certificate : store.Certificates()) {
          lyr::fuzz::WalkCertificate(certificate);
          Try([&] { (void)store.FindByThumbprint(certificate.Thumbprint()); },
              [&] { (void)store.FindBySubjectName(certificate.IssuerNameDer()); },
              [&] {
                (void)store.FindByIssuerAndSerial(certificate.IssuerNameDer(),
                                                  certificate.SerialNumber());
              });
        }
        for (const lyr::crypt::Crl& crl : store.Crls()) {
          lyr::fuzz::WalkCrl(crl);
        }
      },
      [&] {
        for (const lyr::crypt::Certificate& certificate : lyr::crypt::CertificatesOfPkcs7(der)) {
          (void)certificate.Thumbprint();
        }
      },
      [&] {
        if (const auto signer = lyr::crypt::CCryptoAPI20Utils::CertificateFromSignature(der)) {
          lyr::fuzz::WalkCertificate(*signer);
        }
      });
  return 0;
}
