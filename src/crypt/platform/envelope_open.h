// Private to src/crypt/platform: an envelope read into its parts, and opening it without OpenSSL's
// CMS code for the forms that code gets wrong or does not know (KExp15 recipients, ESDH key
// agreement, CTR-ACPKM content; docs/crypto-layer.md says why).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/platform/certificate.h"
#include "crypt/platform/private_key.h"

namespace lyr::crypt {

class DecryptedSink;

// Who a recipient info or an originator names: issuer (DER of the name) and serial number
// (contents of the INTEGER), or a subject key identifier.
struct EnvelopeParty {
  std::string_view issuer;
  std::string_view serial;
  std::string_view key_id;
};

enum class RecipientKind : uint8_t {
  kTransport89,      // GostR3410-KeyTransport of RFC 4490 (OpenSSL's CMS code opens it)
  kTransportKexp15,  // key transport with KExp15
  kAgreementKexp15,  // key agreement with KExp15
  kAgreementEsdh,    // key agreement by ESDH with a GOST 28147-89 key wrap
};

// One recipient (one per encrypted key of a key agreement). The views point into the envelope.
struct EnvelopeRecipient {
  RecipientKind kind = RecipientKind::kTransport89;
  EnvelopeParty id;
  std::string wrap;  // key wrap algorithm (KExp15 or RFC 4357 wrap)
  std::string wrap_parameter_set;
  std::string_view encrypted_key;
  std::string_view key_mac;    // ESDH only
  std::string originator_key;  // SubjectPublicKeyInfo DER of the sender's key, when carried
  EnvelopeParty originator;    // the sender's certificate otherwise (KExp15 key agreement)
  std::string_view ukm;
};

struct EnvelopeParts {
  std::vector<EnvelopeRecipient> recipients;
  std::string content_encryption;
  std::string_view content_parameters;  // the whole parameters element
  std::string_view content_ukm;         // CTR-ACPKM only
  std::string_view encrypted_content;
  std::string_view encrypted_mac;  // -OMAC only
};

// The parts of an envelope that passed CheckEnvelopeShape. Raises ECryptError CRYPT_E_BAD_MSG
// where fields disagree: an exported key of the other cipher's size, a content MAC that is
// missing, of the wrong size or present without OMAC.
EnvelopeParts ReadEnvelopeParts(std::string_view envelope);

// The recipient of parts that names certificate, if any.
const EnvelopeRecipient* FindRecipient(const EnvelopeParts& parts, const Certificate& certificate);

// Whether OpenSSL's CMS code opens this recipient's envelope right (GOST 28147-89 content by
// key transport of RFC 4490).
bool OpenSslOpens(const EnvelopeParts& parts, const EnvelopeRecipient& recipient);

// The sender's certificate named by issuer and serial number, if known.
using OriginatorLookup = std::function<std::optional<Certificate>(const EnvelopeParty&)>;

// Whether the sink may see plain bytes before the content's MAC was checked: with kAfterCheck
// an -OMAC content is deciphered twice, first to check its MAC, then into the sink.
enum class Delivery : uint8_t { kWhileDeciphering, kAfterCheck };

// Recovers the content key of recipient with key and deciphers the content into sink (Begin
// with its size, then Write). Raises ECryptError NTE_BAD_DATA when the key cannot be recovered
// (a wrong key or a damaged envelope) or the content's MAC does not match,
// CRYPT_E_UNKNOWN_ALGO for combinations not supported, CRYPT_E_NOT_FOUND when the sender's
// certificate is needed and originator does not know it; what sink raises comes out unchanged.
void OpenEnvelope(const EnvelopeParts& parts, const EnvelopeRecipient& recipient,
                  const PrivateKey& key, const OriginatorLookup& originator, DecryptedSink& sink,
                  Delivery delivery);

}  // namespace lyr::crypt
