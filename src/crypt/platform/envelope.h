// CMS EnvelopedData for GOST recipients: key transport (RFC 4490) for GOST R 34.10-2001 keys and,
// with the 2012 key agreement (its key wrap under TC26 Z), for GOST R 34.10-2012 keys; content
// encryption GOST 28147-89 (1.2.643.2.2.21) with the CryptoPro-A parameter set (1.2.643.2.2.31.1),
// DER.
#pragma once

#include <string>
#include <string_view>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/content_cipher.h"
#include "crypt/platform/private_key.h"

namespace lyr::crypt {

class DecryptedSink;

// Envelopes content for one recipient with the content encryption cipher (key transport of RFC
// 4490 for GOST 28147-89, with KExp15 for the others). Raises ECryptError CRYPT_E_UNKNOWN_ALGO
// for a recipient key that is not GOST R 34.10-2001/2012, for a GOST R 34.10-2001 recipient of
// any cipher but GOST 28147-89, or when the engine wrote another algorithm or, for GOST
// 28147-89, not the CryptoPro-A parameter set (the environment variable CRYPT_PARAMS overrides it
// inside the engine); CRYPT_E_MSG_ERROR (with OpenSSL's text) when the engine fails.
std::string EncryptEnvelope(const Certificate& recipient, std::string_view content,
                            ContentCipher cipher = ContentCipher::kGost28147);

// Opens an envelope with the private key of recipient. Before the engine sees the envelope, it
// is checked to be exactly one of the accepted forms (envelope_shape.h; docs/crypto-layer.md):
// raises ECryptError CRYPT_E_BAD_MSG for anything else (any field of the wrong length, an extra
// element at any level, BER), CRYPT_E_INVALID_MSG_TYPE for a CMS type other than
// EnvelopedData, CRYPT_E_UNKNOWN_ALGO for other recipient kinds, keys other than GOST R
// 34.10-2001/2012 and content encryption other than GOST 28147-89 and Magma / Kuznyechik
// CTR-ACPKM(-OMAC) ("unsupported content encryption", named first whatever the recipients);
// CRYPT_E_RECIPIENT_NOT_FOUND when recipient is not a recipient; CRYPT_E_NOT_FOUND when a key
// agreement names a sender's certificate (this call knows none; the store calls look in
// "addressbook" and "MY"); NTE_BAD_DATA when decryption fails (a wrong key) or the MAC of an
// -OMAC content does not match (no content is returned).
std::string DecryptEnvelope(std::string_view envelope, const Certificate& recipient,
                            const PrivateKey& key);

// Opens an envelope with the key of a certificate of store (normally "MY") that is one of its
// recipients and is bound to a key container (key-provider property); the container is looked
// up at the store's location. Raises as above, and CRYPT_E_NO_DECRYPT_CERT when no certificate
// of the store with a container is a recipient.
std::string DecryptEnvelope(std::string_view envelope, const CertStore& store);

// DecryptEnvelope(envelope, store), handing the content to sink while it is decrypted (after
// sink.Begin with its size) instead of returning it; an -OMAC content reaches the sink only
// after its MAC matched (it is deciphered twice). What sink raises comes out unchanged.
void DecryptEnvelope(std::string_view envelope, const CertStore& store, DecryptedSink& sink);

// The object identifiers of an envelope's content encryption and its parameter set (checked as
// DecryptEnvelope does).
struct EnvelopeAlgorithms {
  std::string content_encryption;
  std::string parameter_set;
};
EnvelopeAlgorithms InspectEnvelope(std::string_view envelope);

}  // namespace lyr::crypt
