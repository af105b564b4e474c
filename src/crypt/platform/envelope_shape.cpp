// The accepted envelope forms as shapes for the DER walker. An envelope is CMS EnvelopedData
// (RFC 5652 section 6) with no originator information and its content carried inside.
// Recipients:
// - key transport GostR3410-KeyTransport (RFC 4490 section 4.2, RFC 4357 section 4.2): a 32-byte
//   encrypted key with a 4-byte MAC, and transport parameters with the key wrap parameter set,
//   the sender's ephemeral public key and an 8-byte UKM; for GOST R 34.10-2001 and 2012 keys;
// - key transport and key agreement with KExp15 (TC26 CMS profile, RFC 9189 section 8.2): the
//   key wrap names Magma or Kuznyechik and the key agreement of the recipient's key size; key
//   transport carries the exported key, the ephemeral public key and a 32-byte UKM; key
//   agreement an ephemeral originator key or the sender's certificate, the UKM and the exported
//   keys; for GOST R 34.10-2012 keys;
// - key agreement by ESDH (RFC 4490 section 4.1.1) with the None or CryptoPro key wrap (RFC
//   4357 section 6), an ephemeral originator key and an 8-byte UKM; for GOST R 34.10-2001 keys.
// Content: GOST 28147-89 with its IV and parameter set, or Magma / Kuznyechik CTR-ACPKM(-OMAC)
// (RFC 9337 section 7.3) with a 12 / 16-byte UKM; the MAC of the -OMAC forms travels as the one
// unprotected attribute.
#include "crypt/platform/envelope_shape.h"

#include <algorithm>
#include <span>
#include <string>
#include <utility>

#include "crypt/platform/crypt_error.h"
#include "crypt/platform/der_reader.h"

namespace lyr::crypt {
namespace {

using der::Form;
using der::Node;

constexpr std::string_view kOidEnvelopedData[] = {"1.2.840.113549.1.7.3"};
constexpr std::string_view kOidData[] = {"1.2.840.113549.1.7.1"};
constexpr std::string_view kOidContentEncryption[] = {kOidGost28147};
constexpr std::string_view kOidMagmaAcpkm[] = {kOidMagmaCtrAcpkm, kOidMagmaCtrAcpkmOmac};
constexpr std::string_view kOidKuznyechikAcpkm[] = {kOidKuznyechikCtrAcpkm,
                                                    kOidKuznyechikCtrAcpkmOmac};
constexpr std::string_view kOidAccepted[] = {kOidGost28147, kOidMagmaCtrAcpkm,
                                             kOidMagmaCtrAcpkmOmac, kOidKuznyechikCtrAcpkm,
                                             kOidKuznyechikCtrAcpkmOmac};
constexpr std::string_view kOidKexp15[] = {kOidMagmaKexp15, kOidKuznyechikKexp15};
constexpr std::string_view kOidEsdh[] = {"1.2.643.2.2.96"};
constexpr std::string_view kOidGost28147KeyWraps[] = {kOidNoneKeyWrap, kOidCryptoProKeyWrap};
constexpr std::string_view kOidMacAttribute[] = {"1.2.643.7.1.0.6.1.1"};
// The GOST 28147-89 parameter sets the engine knows (RFC 4357 section 11.2, and TC26's Z).
constexpr std::string_view kGost28147ParameterSets[] = {"1.2.643.2.2.31.0", "1.2.643.2.2.31.1",
                                                        "1.2.643.2.2.31.2", "1.2.643.2.2.31.3",
                                                        "1.2.643.2.2.31.4", "1.2.643.7.1.2.5.1.1"};
constexpr uint8_t kVersions0And2[] = {0, 2};
constexpr uint8_t kVersion3[] = {3};

enum Capture : uint8_t { kContentEncryption, kParameterSet };

constexpr der::Refusal kUnsupportedKey = {code::kCryptEUnknownAlgo,
                                          "key transport algorithm %s is not supported"};
constexpr der::Refusal kUnsupportedWrap = {code::kCryptEUnknownAlgo,
                                           "key wrap algorithm %s is not supported"};
constexpr der::Refusal kUnsupportedAgreement = {code::kCryptEUnknownAlgo,
                                                "key agreement algorithm %s is not supported"};
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
  static constexpr std::string_view kAgreement = "1.2.643.7.1.1.6.1";
  static constexpr std::span<const Node> kParameters = kPublicKeyParameters2012;
  static constexpr size_t kPointSize = 64;
};
struct Gost2012_512 {
  static constexpr std::string_view kAlgorithm = "1.2.643.7.1.1.1.2";
  static constexpr std::string_view kAgreement = "1.2.643.7.1.1.6.2";
  static constexpr std::span<const Node> kParameters = kPublicKeyParameters2012;
  static constexpr size_t kPointSize = 128;
};

// The exported key of KExp15: the 32-byte key and an OMAC block (Magma 40, Kuznyechik 48 bytes;
// which one the key wrap says is checked when the key is imported).
constexpr Node kExportedKey = {
    .what = "exported key", .tag = der::kOctetString, .form = Form::kBytes, .min = 40, .max = 48};
// The 32-byte UKM of KExp15 recipients (the KEG input).
constexpr Node kUkm32[] = {
    {.what = "UKM", .tag = der::kOctetString, .form = Form::kBytes, .min = 32, .max = 32}};

// A recipient identifier of key agreement (RFC 5652 section 6.2.2): issuer and serial number, or
// [0] RecipientKeyIdentifier with the subject key identifier only.
constexpr Node kRecipientKeyIdentifier[] = {
    {.what = "subject key identifier",
     .tag = der::kOctetString,
     .form = Form::kBytes,
     .min = 1,
     .max = 64},
};
constexpr Node kAgreementRecipientIdentifiers[] = {
    {.what = "issuer and serial number",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kIssuerAndSerial},
    {.what = "recipient key identifier",
     .tag = der::ContextConstructed(0),
     .form = Form::kChildren,
     .children = kRecipientKeyIdentifier},
};

// KeyTransRecipientInfo and KeyAgreeRecipientInfo with KExp15 for one kind of GOST R 34.10-2012
// key (Key as for KeyTransport, and kAgreement: the key agreement it names).
template <typename Key>
struct Kexp15 {
  static constexpr std::string_view kAgreementOid[] = {Key::kAgreement};
  static constexpr Node kKegParameters[] = {
      {.what = "key agreement algorithm",
       .tag = der::kOid,
       .form = Form::kOid,
       .oids = kAgreementOid},
  };
  static constexpr Node kWrap[] = {
      {.what = "key wrap algorithm",
       .tag = der::kOid,
       .form = Form::kOid,
       .oids = kOidKexp15,
       .refusal = kUnsupportedWrap},
      {.what = "key wrap parameters",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kKegParameters},
  };
  static constexpr Node kWrapIdentifier = {.what = "key encryption algorithm",
                                           .tag = der::kSequence,
                                           .form = Form::kChildren,
                                           .children = kWrap};
  static constexpr std::span<const Node> kPublicKeyInfo = KeyTransport<Key>::kEphemeralKey;
  // GostR3410-KeyTransport of the TC26 profile: exported key, ephemeral key, UKM.
  static constexpr Node kTransport[] = {
      kExportedKey,
      {.what = "ephemeral key info",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kPublicKeyInfo},
      kUkm32[0],
  };
  static constexpr Node kTransportSequence[] = {
      {.what = "key transport",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kTransport},
  };
  static constexpr Node kTransportRecipient[] = {
      {.what = "recipient version",
       .tag = der::kInteger,
       .form = Form::kInteger,
       .values = kVersions0And2},
      {.what = "recipient identifier", .form = Form::kChoice, .children = kRecipientIdentifiers},
      kWrapIdentifier,
      {.what = "recipient encrypted key",
       .tag = der::kOctetString,
       .form = Form::kEncapsulated,
       .children = kTransportSequence},
  };
  static constexpr Node kTransportShape = {.what = "key transport recipient",
                                           .tag = der::kSequence,
                                           .form = Form::kChildren,
                                           .children = kTransportRecipient};

  static constexpr Node kOriginators[] = {
      {.what = "originator certificate",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kIssuerAndSerial},
      {.what = "originator key",
       .tag = der::ContextConstructed(1),
       .form = Form::kChildren,
       .children = kPublicKeyInfo},
  };
  static constexpr Node kOriginator[] = {
      {.what = "originator", .form = Form::kChoice, .children = kOriginators},
  };
  static constexpr Node kEncryptedKey[] = {
      {.what = "recipient identifier",
       .form = Form::kChoice,
       .children = kAgreementRecipientIdentifiers},
      kExportedKey,
  };
  static constexpr Node kEncryptedKeys[] = {
      {.what = "recipient encrypted key",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kEncryptedKey},
  };
  static constexpr Node kAgreementRecipient[] = {
      {.what = "recipient version",
       .tag = der::kInteger,
       .form = Form::kInteger,
       .values = kVersion3},
      {.what = "originator info",
       .tag = der::ContextConstructed(0),
       .form = Form::kChildren,
       .children = kOriginator},
      {.what = "UKM info",
       .tag = der::ContextConstructed(1),
       .form = Form::kChildren,
       .children = kUkm32},
      kWrapIdentifier,
      {.what = "recipient encrypted keys",
       .tag = der::kSequence,
       .form = Form::kSetOf,
       .children = kEncryptedKeys},
  };
  static constexpr Node kAgreementShape = {.what = "key agreement recipient",
                                           .tag = der::ContextConstructed(1),
                                           .form = Form::kChildren,
                                           .children = kAgreementRecipient};
};

// KeyAgreeRecipientInfo by ESDH for GOST R 34.10-2001 keys (RFC 4490 section 4.1.1): the key
// wrap's parameters name the parameter set only (the UKM is the recipient info's), and each
// encrypted key is a Gost28147-89-EncryptedKey without mask key.
struct Esdh {
  static constexpr Node kWrapParameters[] = {
      {.what = "key wrap parameter set",
       .tag = der::kOid,
       .form = Form::kOid,
       .oids = kGost28147ParameterSets},
  };
  static constexpr Node kWrap[] = {
      {.what = "key wrap algorithm",
       .tag = der::kOid,
       .form = Form::kOid,
       .oids = kOidGost28147KeyWraps,
       .refusal = kUnsupportedWrap},
      {.what = "key wrap parameters",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kWrapParameters},
  };
  static constexpr Node kAlgorithm[] = {
      {.what = "key agreement algorithm",
       .tag = der::kOid,
       .form = Form::kOid,
       .oids = kOidEsdh,
       .refusal = kUnsupportedAgreement},
      {.what = "key wrap", .tag = der::kSequence, .form = Form::kChildren, .children = kWrap},
  };
  static constexpr Node kOriginator[] = {
      {.what = "originator key",
       .tag = der::ContextConstructed(1),
       .form = Form::kChildren,
       .children = KeyTransport<Gost2001>::kEphemeralKey},
  };
  static constexpr Node kUkm[] = {
      {.what = "UKM", .tag = der::kOctetString, .form = Form::kBytes, .min = 8, .max = 8}};
  static constexpr Node kSessionKeySequence[] = {
      {.what = "session key",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kSessionKey},
  };
  static constexpr Node kEncryptedKey[] = {
      {.what = "recipient identifier",
       .form = Form::kChoice,
       .children = kAgreementRecipientIdentifiers},
      {.what = "recipient encrypted key",
       .tag = der::kOctetString,
       .form = Form::kEncapsulated,
       .children = kSessionKeySequence},
  };
  static constexpr Node kEncryptedKeys[] = {
      {.what = "recipient encrypted key",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kEncryptedKey},
  };
  static constexpr Node kRecipient[] = {
      {.what = "recipient version",
       .tag = der::kInteger,
       .form = Form::kInteger,
       .values = kVersion3},
      {.what = "originator info",
       .tag = der::ContextConstructed(0),
       .form = Form::kChildren,
       .children = kOriginator},
      {.what = "UKM info",
       .tag = der::ContextConstructed(1),
       .form = Form::kChildren,
       .children = kUkm},
      {.what = "key encryption algorithm",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kAlgorithm},
      {.what = "recipient encrypted keys",
       .tag = der::kSequence,
       .form = Form::kSetOf,
       .children = kEncryptedKeys},
  };
  static constexpr Node kShape = {.what = "key agreement recipient",
                                  .tag = der::ContextConstructed(1),
                                  .form = Form::kChildren,
                                  .children = kRecipient};
};

// The accepted recipients. Another kind of recipient key with the same key transport is one
// more KeyTransport line here; the refusals stay last.
constexpr Node kRecipientInfos[] = {
    KeyTransport<Gost2001>::kShape,
    KeyTransport<Gost2012_256>::kShape,
    KeyTransport<Gost2012_512>::kShape,
    Kexp15<Gost2012_256>::kTransportShape,
    Kexp15<Gost2012_512>::kTransportShape,
    Kexp15<Gost2012_256>::kAgreementShape,
    Kexp15<Gost2012_512>::kAgreementShape,
    Esdh::kShape,
    {.what = "recipient",
     .form = Form::kRefused,
     .refusal = {code::kCryptEUnknownAlgo,
                 "only key transport and key agreement recipients are supported"}},
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

// Magma and Kuznyechik in CTR-ACPKM(-OMAC): Gost3412-15-Encryption-Parameters (RFC 9337
// section 7.3), a UKM of half a block of IV and an 8-byte seed.
template <const std::span<const std::string_view>& kOids, size_t kUkmSize>
struct Acpkm {
  static constexpr Node kParameters[] = {
      {.what = "content UKM",
       .tag = der::kOctetString,
       .form = Form::kBytes,
       .min = kUkmSize,
       .max = kUkmSize},
  };
  static constexpr Node kAlgorithm[] = {
      {.what = "content encryption algorithm",
       .tag = der::kOid,
       .form = Form::kOid,
       .oids = kOids,
       .refusal = kUnsupportedContent,
       .capture = kContentEncryption},
      {.what = "cipher parameters",
       .tag = der::kSequence,
       .form = Form::kChildren,
       .children = kParameters},
  };
  static constexpr Node kShape = {.what = "content encryption",
                                  .tag = der::kSequence,
                                  .form = Form::kChildren,
                                  .children = kAlgorithm};
};
constexpr std::span<const std::string_view> kMagmaOids = kOidMagmaAcpkm;
constexpr std::span<const std::string_view> kKuznyechikOids = kOidKuznyechikAcpkm;

// The accepted content encryptions.
constexpr Node kContentEncryptions[] = {
    {.what = "content encryption",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kGost28147},
    Acpkm<kMagmaOids, 12>::kShape,
    Acpkm<kKuznyechikOids, 16>::kShape,
};

// The one unprotected attribute: the encrypted MAC of the -OMAC content encryptions (8 or 16
// bytes; which one the content encryption says is checked when the envelope is opened).
constexpr Node kMacValue[] = {
    {.what = "content MAC", .tag = der::kOctetString, .form = Form::kBytes, .min = 8, .max = 16},
};
constexpr Node kMacAttribute[] = {
    {.what = "attribute type", .tag = der::kOid, .form = Form::kOid, .oids = kOidMacAttribute},
    {.what = "attribute values", .tag = der::kSet, .form = Form::kChildren, .children = kMacValue},
};
constexpr Node kUnprotectedAttributes[] = {
    {.what = "unprotected attribute",
     .tag = der::kSequence,
     .form = Form::kChildren,
     .children = kMacAttribute},
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
    {.what = "unprotected attributes",
     .tag = der::ContextConstructed(1),
     .form = Form::kChildren,
     .optional = true,
     .children = kUnprotectedAttributes},
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

// Any EnvelopedData, read only as far as its content encryption algorithm: an envelope with a
// content encryption the library does not know is refused for that, whatever its recipients,
// before the strict pass looks at them.
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

}  // namespace

EnvelopeAlgorithms CheckEnvelopeShape(std::string_view envelope) {
  der::Captures captures;
  if (!der::CheckShape(envelope, kAnyEnvelope, code::kCryptEBadMsg, captures) &&
      std::ranges::find(kOidAccepted, captures.values[kContentEncryption]) ==
          std::end(kOidAccepted)) {
    RaiseCryptError(code::kCryptEUnknownAlgo,
                    "(unsupported content encryption " + captures.values[kContentEncryption] + ")");
  }
  captures = {};
  if (const std::optional<der::Mismatch> mismatch =
          der::CheckShape(envelope, kEnvelope, code::kCryptEBadMsg, captures)) {
    RaiseCryptError(mismatch->code, "(" + mismatch->text + ")");
  }
  return {captures.values[kContentEncryption], captures.values[kParameterSet]};
}

}  // namespace lyr::crypt
