// The accepted envelope forms as shapes for the DER walker. An envelope is CMS EnvelopedData
// (RFC 5652 section 6) written as the GOST engine writes it: no originator information, no
// unprotected attributes, key transport recipients only, content encrypted with GOST 28147-89
// and carried in the envelope. Key transport is GostR3410-KeyTransport (RFC 4490 section 4.2,
// RFC 4357 section 4.2): a 32-byte encrypted key with a 4-byte MAC, and transport parameters
// with the key wrap parameter set, the sender's ephemeral public key and an 8-byte UKM. The
// recipient key is GOST R 34.10-2001 or GOST R 34.10-2012 (256 or 512 bits; the engine writes
// the same transport for them, with the 2012 key agreement, when content is GOST 28147-89).
#include "crypt/platform/envelope_shape.h"

#include <span>
#include <string>
#include <utility>

#include "crypt/crypt_error.h"
#include "crypt/platform/der_reader.h"

namespace lyr::crypt {
namespace {

using der::Form;
using der::Node;

constexpr std::string_view kOidEnvelopedData[] = {"1.2.840.113549.1.7.3"};
constexpr std::string_view kOidData[] = {"1.2.840.113549.1.7.1"};
constexpr std::string_view kOidContentEncryption[] = {kOidGost28147};
// The GOST 28147-89 parameter sets the engine knows (RFC 4357 section 11.2, and TC26's Z).
constexpr std::string_view kGost28147ParameterSets[] = {"1.2.643.2.2.31.0", "1.2.643.2.2.31.1",
                                                        "1.2.643.2.2.31.2", "1.2.643.2.2.31.3",
                                                        "1.2.643.2.2.31.4", "1.2.643.7.1.2.5.1.1"};
constexpr uint8_t kVersions0And2[] = {0, 2};

enum Capture : uint8_t { kContentEncryption, kParameterSet };

constexpr der::Refusal kUnsupportedKey = {code::kCryptEUnknownAlgo,
                                          "key transport algorithm %s is not supported"};
constexpr der::Refusal kUnsupportedContent = {code::kCryptEUnknownAlgo,
                                              "unsupported content encryption %s"};

// GostR3410-2001-PublicKeyParameters (RFC 4491 section 2.3.2).
constexpr Node kPublicKeyParameters2001[] = {
    {.what = "public key parameter set", .tag = der::kOid, .form = Form::kOid},
    {.what = "digest parameter set", .tag = der::kOid, .form = Form::kOid},
    {.what = "encryption parameter set", .tag = der::kOid, .form = Form::kOid, .optional = true},
};
// The parameters of GOST R 34.10-2012 keys (RFC 9215 section 4.2): the curve, and the digest
// parameter set, which keys on the TC26 curves leave out.
constexpr Node kPublicKeyParameters2012[] = {
    {.what = "public key parameter set", .tag = der::kOid, .form = Form::kOid},
    {.what = "digest parameter set", .tag = der::kOid, .form = Form::kOid, .optional = true},
};

// RecipientIdentifier (RFC 5652 section 6.2.1): issuer and serial number, or [0] subject key
// identifier.
constexpr Node kIssuerAndSerial[] = {
    {.what = "issuer", .tag = der::kSequence, .form = Form::kAnyDer},
    {.what = "serial number", .tag = der::kInteger, .form = Form::kBytes, .min = 1, .max = 64},
};
constexpr Node kRecipientIdentifiers[] = {
    {.what = "issuer and serial number",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kIssuerAndSerial},
    {.what = "subject key identifier",
     .tag = der::ContextPrimitive(0),
     .form = Form::kBytes,
     .min = 1,
     .max = 64},
};

constexpr Node kSessionKey[] = {
    {.what = "encrypted key", .tag = der::kOctetString, .form = Form::kBytes, .min = 32, .max = 32},
    {.what = "key MAC", .tag = der::kOctetString, .form = Form::kBytes, .min = 4, .max = 4},
};

// KeyTransRecipientInfo for one kind of recipient key: Key names the algorithm (kAlgorithm), its
// public key parameters (kParameters) and the size of its public key point in bytes
// (kPointSize).
template <typename Key>
struct KeyTransport {
  static constexpr std::string_view kAlgorithm[] = {Key::kAlgorithm};
  static constexpr Node kAlgorithmIdentifier[] = {
      {.what = "key algorithm",
       .tag = der::kOid,
       .form = Form::kOid,
       .oids = kAlgorithm,
       .refusal = kUnsupportedKey},
      {.what = "public key parameters",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = Key::kParameters},
  };
  static constexpr Node kPoint[] = {{.what = "ephemeral public key",
                                     .tag = der::kOctetString,
                                     .form = Form::kBytes,
                                     .min = Key::kPointSize,
                                     .max = Key::kPointSize}};
  // [0] IMPLICIT SubjectPublicKeyInfo.
  static constexpr Node kEphemeralKey[] = {
      {.what = "ephemeral key algorithm",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kAlgorithmIdentifier},
      {.what = "ephemeral key",
       .tag = der::kBitString,
       .form = Form::kBitString,
       .children = kPoint},
  };
  static constexpr Node kTransportParameters[] = {
      {.what = "key wrap parameter set",
       .tag = der::kOid,
       .form = Form::kOid,
       .oids = kGost28147ParameterSets},
      {.what = "ephemeral key info",
       .tag = der::ContextConstructed(0),
       .form = Form::kChildren,
       .children = kEphemeralKey},
      {.what = "UKM", .tag = der::kOctetString, .form = Form::kBytes, .min = 8, .max = 8},
  };
  static constexpr Node kTransport[] = {
      {.what = "session key",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kSessionKey},
      {.what = "transport parameters",
       .tag = der::ContextConstructed(0),
       .form = Form::kChildren,
       .children = kTransportParameters},
  };
  static constexpr Node kTransportSequence[] = {
      {.what = "key transport",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kTransport},
  };
  static constexpr Node kRecipient[] = {
      {.what = "recipient version",
       .tag = der::kInteger,
       .form = Form::kInteger,
       .values = kVersions0And2},
      {.what = "recipient identifier", .form = Form::kChoice, .children = kRecipientIdentifiers},
      {.what = "key encryption algorithm",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kAlgorithmIdentifier},
      {.what = "recipient encrypted key",
       .tag = der::kOctetString,
       .form = Form::kEncapsulated,
       .children = kTransportSequence},
  };
  static constexpr Node kShape = {.what = "key transport recipient",
                                  .tag = der::kSequence,
                                  .form = Form::kChildren,
                                  .children = kRecipient};
};

struct Gost2001 {
  static constexpr std::string_view kAlgorithm = "1.2.643.2.2.19";
  static constexpr std::span<const Node> kParameters = kPublicKeyParameters2001;
  static constexpr size_t kPointSize = 64;
};
struct Gost2012_256 {
  static constexpr std::string_view kAlgorithm = "1.2.643.7.1.1.1.1";
  static constexpr std::span<const Node> kParameters = kPublicKeyParameters2012;
  static constexpr size_t kPointSize = 64;
};
struct Gost2012_512 {
  static constexpr std::string_view kAlgorithm = "1.2.643.7.1.1.1.2";
  static constexpr std::span<const Node> kParameters = kPublicKeyParameters2012;
  static constexpr size_t kPointSize = 128;
};

// The accepted recipients. Another kind of recipient key with the same key transport is one
// more KeyTransport line here; the refusals stay last.
constexpr Node kRecipientInfos[] = {
    KeyTransport<Gost2001>::kShape,
    KeyTransport<Gost2012_256>::kShape,
    KeyTransport<Gost2012_512>::kShape,
    {.what = "key agreement recipient",
     .tag = der::ContextConstructed(1),
     .form = Form::kRefused,
     .refusal = {code::kCryptEUnknownAlgo, "key agreement recipients are not supported"}},
    {.what = "recipient",
     .form = Form::kRefused,
     .refusal = {code::kCryptEUnknownAlgo, "only key transport recipients are supported"}},
};
constexpr Node kRecipientInfo[] = {
    {.what = "recipient info", .form = Form::kChoice, .children = kRecipientInfos},
};

// Gost28147-89-Parameters (RFC 4357 section 10.3): an IV of 8 bytes and the parameter set.
constexpr Node kGost28147Parameters[] = {
    {.what = "IV", .tag = der::kOctetString, .form = Form::kBytes, .min = 8, .max = 8},
    {.what = "parameter set",
     .tag = der::kOid,
     .form = Form::kOid,
     .oids = kGost28147ParameterSets,
     .capture = kParameterSet},
};
constexpr Node kGost28147[] = {
    {.what = "content encryption algorithm",
     .tag = der::kOid,
     .form = Form::kOid,
     .oids = kOidContentEncryption,
     .refusal = kUnsupportedContent,
     .capture = kContentEncryption},
    {.what = "cipher parameters",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kGost28147Parameters},
};

// The accepted content encryptions.
constexpr Node kContentEncryptions[] = {
    {.what = "content encryption",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kGost28147},
};

constexpr Node kEncryptedContentInfo[] = {
    {.what = "encrypted content type", .tag = der::kOid, .form = Form::kOid, .oids = kOidData},
    {.what = "content encryption", .form = Form::kChoice, .children = kContentEncryptions},
    {.what = "encrypted content", .tag = der::ContextPrimitive(0), .form = Form::kBytes},
};
constexpr Node kEnvelopedData[] = {
    {.what = "version", .tag = der::kInteger, .form = Form::kInteger, .values = kVersions0And2},
    {.what = "recipient infos", .tag = der::kSet, .form = Form::kSetOf, .children = kRecipientInfo},
    {.what = "encrypted content info",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kEncryptedContentInfo},
};
constexpr Node kEnvelopedDataContent[] = {
    {.what = "enveloped data",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kEnvelopedData},
};
constexpr Node kContentInfo[] = {
    {.what = "content type",
     .tag = der::kOid,
     .form = Form::kOid,
     .oids = kOidEnvelopedData,
     .refusal = {code::kCryptEInvalidMsgType, "not EnvelopedData"}},
    {.what = "content",
     .tag = der::ContextConstructed(0),
     .form = Form::kChildren,
     .children = kEnvelopedDataContent},
};
constexpr Node kEnvelope = {.what = "content info",
                            .tag = der::kSequence,
                            .form = Form::kChildren,
                            .children = kContentInfo};

// Any EnvelopedData, read only as far as its content encryption algorithm. Envelopes with
// Magma or Kuznyechik content come with other recipient forms (kexp15 key export), and the
// content encryption is what they are refused for: this loose pass finds it before the strict
// one looks at the recipients.
constexpr Node kAnyContentEncryption[] = {
    {.what = "content encryption algorithm",
     .tag = der::kOid,
     .form = Form::kOid,
     .capture = kContentEncryption},
    {.what = "cipher parameters", .tag = der::kSequence, .optional = true},
};
constexpr Node kAnyEncryptedContentInfo[] = {
    {.what = "encrypted content type", .tag = der::kOid, .form = Form::kOid},
    {.what = "content encryption",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kAnyContentEncryption},
    {.what = "encrypted content", .tag = der::ContextPrimitive(0), .optional = true},
};
constexpr Node kAnyEnvelopedData[] = {
    {.what = "version", .tag = der::kInteger},
    {.what = "originator", .tag = der::ContextConstructed(0), .optional = true},
    {.what = "recipient infos", .tag = der::kSet},
    {.what = "encrypted content info",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kAnyEncryptedContentInfo},
    {.what = "unprotected attributes", .tag = der::ContextConstructed(1), .optional = true},
};
constexpr Node kAnyEnvelopedDataContent[] = {
    {.what = "enveloped data",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kAnyEnvelopedData},
};
constexpr Node kAnyContentInfo[] = {
    {.what = "content type", .tag = der::kOid, .form = Form::kOid, .oids = kOidEnvelopedData},
    {.what = "content",
     .tag = der::ContextConstructed(0),
     .form = Form::kChildren,
     .children = kAnyEnvelopedDataContent},
};
constexpr Node kAnyEnvelope = {.what = "content info",
                               .tag = der::kSequence,
                               .form = Form::kChildren,
                               .children = kAnyContentInfo};

// The names of the content encryptions a refusal names besides their identifiers: the GOST
// R 34.12-2015 ciphers in CTR-ACPKM mode (RFC 9337), which the engine does not decipher right.
std::string CipherName(std::string_view oid) {
  constexpr std::pair<std::string_view, std::string_view> kNames[] = {
      {"1.2.643.7.1.1.5.1.1", "Magma CTR-ACPKM"},
      {"1.2.643.7.1.1.5.1.2", "Magma CTR-ACPKM-OMAC"},
      {"1.2.643.7.1.1.5.2.1", "Kuznyechik CTR-ACPKM"},
      {"1.2.643.7.1.1.5.2.2", "Kuznyechik CTR-ACPKM-OMAC"},
  };
  for (const auto& [known, name] : kNames) {
    if (oid == known) {
      return " (" + std::string(name) + ")";
    }
  }
  return {};
}

}  // namespace

EnvelopeAlgorithms CheckEnvelopeShape(std::string_view envelope) {
  der::Captures captures;
  if (!der::CheckShape(envelope, kAnyEnvelope, code::kCryptEBadMsg, captures) &&
      captures.values[kContentEncryption] != kOidGost28147) {
    RaiseCryptError(code::kCryptEUnknownAlgo,
                    "(unsupported content encryption " + captures.values[kContentEncryption] +
                        CipherName(captures.values[kContentEncryption]) + ")");
  }
  captures = {};
  if (const std::optional<der::Mismatch> mismatch =
          der::CheckShape(envelope, kEnvelope, code::kCryptEBadMsg, captures)) {
    RaiseCryptError(mismatch->code, "(" + mismatch->text + ")");
  }
  return {captures.values[kContentEncryption], captures.values[kParameterSet]};
}

}  // namespace lyr::crypt
