// Private to src/crypt/platform: ownership wrappers for OpenSSL objects and small helpers shared
// by its units. Nothing outside src/crypt/platform includes it.
#pragma once

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "rtl/free_with.h"

namespace lyr::crypt::ossl {

// OpenSSL objects are owned through rtl's one owner template for C handles.
using rtl::FreeWith;

using BioPtr = std::unique_ptr<BIO, FreeWith<&::BIO_free_all>>;
using X509Ptr = std::unique_ptr<X509, FreeWith<&::X509_free>>;
using X509CrlPtr = std::unique_ptr<X509_CRL, FreeWith<&::X509_CRL_free>>;
using X509NamePtr = std::unique_ptr<X509_NAME, FreeWith<&::X509_NAME_free>>;
using X509ExtPtr = std::unique_ptr<X509_EXTENSION, FreeWith<&::X509_EXTENSION_free>>;
using X509ReqPtr = std::unique_ptr<X509_REQ, FreeWith<&::X509_REQ_free>>;
using X509RevokedPtr = std::unique_ptr<X509_REVOKED, FreeWith<&::X509_REVOKED_free>>;
using EvpPkeyPtr = std::unique_ptr<EVP_PKEY, FreeWith<&::EVP_PKEY_free>>;
using EvpPkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, FreeWith<&::EVP_PKEY_CTX_free>>;
using EvpMdCtxPtr = std::unique_ptr<EVP_MD_CTX, FreeWith<&::EVP_MD_CTX_free>>;
using CmsPtr = std::unique_ptr<CMS_ContentInfo, FreeWith<&::CMS_ContentInfo_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, FreeWith<&::PKCS7_free>>;
using BasicConstraintsPtr = std::unique_ptr<BASIC_CONSTRAINTS, FreeWith<&::BASIC_CONSTRAINTS_free>>;
using DistPointsPtr = std::unique_ptr<CRL_DIST_POINTS, FreeWith<&::CRL_DIST_POINTS_free>>;
using AuthorityInfoPtr =
    std::unique_ptr<AUTHORITY_INFO_ACCESS, FreeWith<&::AUTHORITY_INFO_ACCESS_free>>;
using Asn1IntegerPtr = std::unique_ptr<ASN1_INTEGER, FreeWith<&::ASN1_INTEGER_free>>;
using Asn1TimePtr = std::unique_ptr<ASN1_TIME, FreeWith<&::ASN1_TIME_free>>;
using Asn1ObjectPtr = std::unique_ptr<ASN1_OBJECT, FreeWith<&::ASN1_OBJECT_free>>;
using BignumPtr = std::unique_ptr<BIGNUM, FreeWith<&::BN_free>>;
using GeneralNamesPtr = std::unique_ptr<GENERAL_NAMES, FreeWith<&::GENERAL_NAMES_free>>;

// Frees a stack of certificates together with the certificates.
struct X509StackPopFree {
  void operator()(STACK_OF(X509) * stack) const noexcept { sk_X509_pop_free(stack, ::X509_free); }
};
using X509StackOwnedPtr = std::unique_ptr<STACK_OF(X509), X509StackPopFree>;

// A read-only memory BIO over bytes (which must outlive it).
BioPtr MemoryBio(std::string_view bytes);
// A writable memory BIO.
BioPtr NewMemoryBio();
// Everything written to a memory BIO.
std::string BioContents(BIO* bio);

// The text of the oldest queued OpenSSL error ("" when none); clears the queue.
std::string TakeOpenSslError();

// Dotted text of an object identifier.
std::string OidText(const ASN1_OBJECT* object);

// DER of an ASN.1 object through its i2d function; empty when encoding fails.
template <typename T, typename Encoder>
std::string ToDer(const T* object, Encoder encoder) {
  const int length = encoder(object, nullptr);
  if (length <= 0) {
    return {};
  }
  std::string der(static_cast<size_t>(length), '\0');
  auto* out = reinterpret_cast<unsigned char*>(der.data());
  if (encoder(object, &out) != length) {
    return {};
  }
  return der;
}

// Finishes a CMS message over content (CMS_final with flags) and returns its DER. Raises
// ECryptError CRYPT_E_MSG_ERROR when it cannot be finished and CRYPT_E_BAD_ENCODE when it cannot
// be encoded, with OpenSSL's explanation.
std::string FinalCmsDer(CMS_ContentInfo* cms, std::string_view content, unsigned flags);

// The content octets of an INTEGER's DER (two's complement, with a leading 00 where needed).
std::string IntegerContent(const ASN1_INTEGER* value);

// Seconds since the Unix epoch of an ASN.1 time written as RFC 5280 section 4.1.2.5 requires:
// UTCTime "YYMMDDHHMMSSZ" (years 50..99 are 19xx) or GeneralizedTime "YYYYMMDDHHMMSSZ", every
// field in range; nullopt for anything else (fractions, offsets, missing seconds, month 13).
std::optional<int64_t> StrictTimeToUnix(const ASN1_TIME* time);
// As StrictTimeToUnix, 0 for an unreadable time.
int64_t TimeToUnix(const ASN1_TIME* time);

}  // namespace lyr::crypt::ossl
