// What the crypto fuzz targets do with every certificate and CRL they manage to parse: read each
// field the library reads, as the store, chain and tool code does. Any failure must be one of the
// library's errors.
#pragma once

#include <string>

#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/crl.h"
#include "rtl/errors.h"

namespace lyr::fuzz {

// Runs read, swallowing the library's errors (the expected outcome for hostile input).
template <typename Read>
void Try(Read&& read) {
  try {
    read();
  } catch (const rtl::Exception&) {
  }
}

inline void WalkCertificate(const crypt::Certificate& certificate) {
  using crypt::CCryptoAPI20Utils;
  Try([&] { (void)CCryptoAPI20Utils::GetSubjectCN(certificate); });
  Try([&] { (void)CCryptoAPI20Utils::GetIssuerCN(certificate); });
  Try([&] { (void)CCryptoAPI20Utils::GetSha1(certificate); });
  Try([&] { (void)CCryptoAPI20Utils::GetSerialNumber(certificate); });
  Try([&] { (void)CCryptoAPI20Utils::IsSelfIssued(certificate); });
  Try([&] { (void)CCryptoAPI20Utils::GetCRLDistributionURLs(certificate); });
  Try([&] { (void)CCryptoAPI20Utils::GetCAIssuersURL(certificate); });
  Try([&] { (void)certificate.Subject(); });
  Try([&] { (void)certificate.Issuer(); });
  Try([&] { (void)certificate.SubjectNameDer(); });
  Try([&] { (void)certificate.IssuerNameDer(); });
  Try([&] { (void)certificate.NotBefore(); });
  Try([&] { (void)certificate.NotAfter(); });
  Try([&] { (void)certificate.PublicKeyAlgorithmOid(); });
  Try([&] { (void)certificate.SignatureAlgorithmOid(); });
  Try([&] { (void)certificate.Extensions(); });
  Try([&] { (void)certificate.GetBasicConstraints(); });
  Try([&] { (void)certificate.AuthorityInfoAccess(); });
  Try([&] { (void)certificate.IsSelfIssued(); });
  Try([&] { (void)certificate.IsSignedBy(certificate); });
  // The bytes it was parsed from parse again to the same certificate. A certificate taken from
  // a PKCS #7 bag keeps the bag's encoding, which may be BER that the strict reader refuses with
  // its error: that is a refusal, not a different certificate.
  try {
    if (!crypt::Certificate::FromDer(certificate.Der()).SameAs(certificate)) {
      __builtin_trap();
    }
  } catch (const rtl::Exception&) {
  }
}

inline void WalkCrl(const crypt::Crl& crl) {
  Try([&] { (void)crl.Thumbprint(); });
  Try([&] { (void)crl.IssuerNameDer(); });
  Try([&] { (void)crl.Issuer(); });
  Try([&] { (void)crl.IssuerCN(); });
  Try([&] { (void)crl.ThisUpdate(); });
  Try([&] { (void)crl.NextUpdate(); });
  Try([&] { (void)crl.Revoked(); });
}

}  // namespace lyr::fuzz
