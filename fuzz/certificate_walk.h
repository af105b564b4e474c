// What the crypto fuzz targets do with every certificate and CRL they parse: read each field the
// store, chain and tool code reads; any failure must be one of the library's errors.
#pragma once

#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/crl.h"
#include "rtl/errors.h"

namespace lyr::fuzz {

// Runs each read on its own, swallowing the library's errors.
template <typename... Reads>
void Try(Reads&&... reads) {
  const auto one = [](auto& read) {
    try {
      read();
    } catch (const rtl::Exception&) {
    }
  };
  (one(reads), ...);
}

inline void WalkCertificate(const crypt::Certificate& c) {
  using U = crypt::CCryptoAPI20Utils;
  Try([&] { (void)U::GetSubjectCN(c); }, [&] { (void)U::GetIssuerCN(c); },
      [&] { (void)U::GetSha1(c); }, [&] { (void)U::GetSerialNumber(c); },
      [&] { (void)U::IsSelfIssued(c); }, [&] { (void)U::GetCRLDistributionURLs(c); },
      [&] { (void)U::GetCAIssuersURL(c); }, [&] { (void)c.Subject(); }, [&] { (void)c.Issuer(); },
      [&] { (void)c.SubjectNameDer(); }, [&] { (void)c.IssuerNameDer(); },
      [&] { (void)c.NotBefore(); }, [&] { (void)c.NotAfter(); },
      [&] { (void)c.PublicKeyAlgorithmOid(); }, [&] { (void)c.SignatureAlgorithmOid(); },
      [&] { (void)c.Extensions(); }, [&] { (void)c.GetBasicConstraints(); },
      [&] { (void)c.AuthorityInfoAccess(); }, [&] { (void)c.IsSelfIssued(); },
      [&] { (void)c.IsSignedBy(c); }, [&] { (void)c.KeyUsage(); }, [&] { (void)c.Defect(); },
      // Its bytes (always DER, whatever encoding it came in) parse again to the same certificate.
      [&] {
        if (!crypt::Certificate::FromDer(c.Der()).SameAs(c)) {
          __builtin_trap();
        }
      });
}

inline void WalkCrl(const crypt::Crl& crl) {
  Try([&] { (void)crl.Thumbprint(); }, [&] { (void)crl.IssuerNameDer(); },
      [&] { (void)crl.Issuer(); }, [&] { (void)crl.IssuerCN(); }, [&] { (void)crl.ThisUpdate(); },
      [&] { (void)crl.NextUpdate(); }, [&] { (void)crl.Revoked(); }, [&] { (void)crl.Defect(); });
}

}  // namespace lyr::fuzz
