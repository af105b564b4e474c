// Detached CMS SignedData (RFC 5652): making one with a GOST key, and checking one over its
// content with the signer certificate it carries.
#pragma once

#include <string>
#include <string_view>

#include "crypt/platform/certificate.h"
#include "crypt/platform/content_stream.h"
#include "crypt/platform/private_key.h"

namespace lyr::crypt {

// Signs content: a detached SignedData in DER, binary content, the digest the key signs with, the
// signer's certificate included, signing time (UTCTime, now) as the one explicit signed attribute
// and no S/MIME capabilities. Raises ECryptError CRYPT_E_MSG_ERROR (OpenSSL's explanation appended)
// when the message cannot be made, NTE_BAD_KEY when key cannot sign for certificate,
// CRYPT_E_BAD_ENCODE when it cannot be encoded, and "Error: h_fillSignAttributes" when the signing
// time cannot be added. Needs a CryptoRuntime.
std::string SignDetached(const Certificate& certificate, const PrivateKey& key,
                         std::string_view content);

// How a check of a detached SignedData ended.
enum class SignedDataCheck {
  kValid,
  kInvalid,              // the thread's last crypto error says why
  kNoSignerCertificate,  // the first signer's certificate is not carried (last error 0)
};

// Checks signature (a detached SignedData) over content. The first signer's certificate is the
// one carried whose issuer name and serial number are those of its identifier (same bytes); its
// signature is checked with that certificate's key (the chain is the caller's), then every
// signer's attributes (RFC 5652 sections 5.3 and 11: signed attributes unless the content is
// data; contentType equal to the eContentType and messageDigest once with one value, signingTime
// at most once, no signed countersignature, none of the three unsigned) and its digest and
// signature algorithms, which must be those of its GOST key. digests (may be null) are the
// content's digests computed before: when every signer has signed attributes and a digest
// algorithm these cover, their messageDigest is compared with them instead of hashing content,
// failing as a changed content fails. kInvalid sets the thread's last crypto error: the code
// (CRYPT_E_ASN1_BADTAG for no DER, CRYPT_E_INVALID_MSG_TYPE for another content type,
// CRYPT_E_MSG_ERROR "no signer", NTE_BAD_SIGNATURE, NTE_BAD_ALGID, E_OUTOFMEMORY) and OpenSSL's
// explanation or the fault found. Needs a CryptoRuntime.
SignedDataCheck CheckDetached(std::string_view signature, std::string_view content,
                              const ContentDigests* digests);

}  // namespace lyr::crypt
