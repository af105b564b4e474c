// Fuzz entry: arbitrary bytes as a PKCS#7 SignedData, read as the chain import and the signature
// code read it (the store of its certificates and CRLs, the list of its certificates, the signer
// certificate of a signature); every certificate and CRL found is walked. Nothing may crash, hang
// or leak.
#include <cstddef>
#include <cstdint>
#include <string>

#include "certificate_walk.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/cert_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using lyr::fuzz::Try;
  const std::string der(reinterpret_cast<const char*>(data), size);
  Try([&] {
    const lyr::crypt::CertStore store = lyr::crypt::CertStore::OpenPkcs7(der);
    for (const lyr::crypt::Certificate& certificate : store.Certificates()) {
      lyr::fuzz::WalkCertificate(certificate);
      Try([&] { (void)store.FindByThumbprint(certificate.Thumbprint()); });
      Try([&] { (void)store.FindBySubjectName(certificate.IssuerNameDer()); });
      Try([&] {
        (void)store.FindByIssuerAndSerial(certificate.IssuerNameDer(), certificate.SerialNumber());
      });
    }
    for (const lyr::crypt::Crl& crl : store.Crls()) {
      lyr::fuzz::WalkCrl(crl);
    }
  });
  Try([&] {
    for (const lyr::crypt::Certificate& certificate : lyr::crypt::CertificatesOfPkcs7(der)) {
      (void)certificate.Thumbprint();
    }
  });
  Try([&] {
    const auto signer = lyr::crypt::CCryptoAPI20Utils::CertificateFromSignature(der);
    if (signer) {
      lyr::fuzz::WalkCertificate(*signer);
    }
  });
  return 0;
}
