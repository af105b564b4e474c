// CMS envelopes over OpenSSL's CMS and the GOST engine. Incoming envelopes are checked by our
// own reader first: the engine asserts (ending the process) on GOST key-transport fields of the
// wrong length, and a library inside a host must refuse such a file instead.
#include "crypt/envelope.h"

#include "crypt/certificate_access.h"
#include "crypt/crypt_error.h"
#include "crypt/crypto_runtime.h"
#include "crypt/der_reader.h"
#include "crypt/gost_engine.h"
#include "crypt/key_container.h"
#include "crypt/private_key_access.h"

namespace lyr::crypt {
namespace {

constexpr std::string_view kOidEnvelopedData = "1.2.840.113549.1.7.3";
constexpr std::string_view kOidGost2001 = "1.2.643.2.2.19";
constexpr std::string_view kOidGost94 = "1.2.643.2.2.20";
constexpr std::string_view kOidGost2012_256 = "1.2.643.7.1.1.1.1";
constexpr std::string_view kOidGost2012_512 = "1.2.643.7.1.1.1.2";
constexpr uint32_t kMachineKeySet = 0x20;  // CRYPT_MACHINE_KEYSET in the key-provider flags

[[noreturn]] void RaiseMalformed(std::string_view what) {
  RaiseCryptError(code::kCryptEBadMsg, "(" + std::string(what) + ")");
}

[[noreturn]] void RaiseUnsupported(std::string_view what) {
  RaiseCryptError(code::kCryptEUnknownAlgo, "(" + std::string(what) + ")");
}

der::Element Require(der::Reader& reader, uint8_t tag, std::string_view what) {
  std::optional<der::Element> element = reader.Expect(tag);
  if (!element) {
    RaiseMalformed(what);
  }
  return *element;
}

bool IsGostKey(std::string_view oid) {
  return oid == kOidGost2001 || oid == kOidGost2012_256 || oid == kOidGost2012_512;
}

// GostR3410-KeyTransport (RFC 4490 section 4.2): the encrypted key of 32 bytes, its MAC of 4,
// and in the transport parameters a UKM of 8.
void CheckGostKeyTransport(std::string_view encrypted_key) {
  der::Reader outer(encrypted_key);
  der::Reader transport(Require(outer, der::kSequence, "key transport").contents);
  if (!outer.AtEnd()) {
    RaiseMalformed("data after the key transport");
  }
  der::Reader session(Require(transport, der::kSequence, "session key").contents);
  if (Require(session, der::kOctetString, "encrypted key").contents.size() != 32) {
    RaiseMalformed("encrypted key is not 32 bytes");
  }
  if (session.PeekTag() == der::ContextPrimitive(0)) {
    session.Next();  // maskKey
  }
  if (Require(session, der::kOctetString, "key MAC").contents.size() != 4) {
    RaiseMalformed("key MAC is not 4 bytes");
  }
  if (!session.AtEnd()) {
    RaiseMalformed("session key");
  }
  if (transport.AtEnd()) {
    return;
  }
  der::Reader parameters(
      Require(transport, der::ContextConstructed(0), "transport parameters").contents);
  Require(parameters, der::kOid, "key wrap parameter set");
  if (parameters.PeekTag() == der::ContextConstructed(0)) {
    der::Reader key(Require(parameters, der::ContextConstructed(0), "ephemeral key").contents);
    Require(key, der::kSequence, "ephemeral key algorithm");
    Require(key, 0x03, "ephemeral key");
  }
  if (Require(parameters, der::kOctetString, "UKM").contents.size() != 8) {
    RaiseMalformed("UKM is not 8 bytes");
  }
  if (!parameters.AtEnd() || !transport.AtEnd()) {
    RaiseMalformed("transport parameters");
  }
}

// KeyTransRecipientInfo (RFC 5652 section 6.2.1).
void CheckKeyTransRecipient(std::string_view contents) {
  der::Reader info(contents);
  Require(info, der::kInteger, "recipient version");
  const uint8_t rid = info.PeekTag();
  if (rid != der::kSequence && rid != der::ContextPrimitive(0)) {
    RaiseMalformed("recipient identifier");
  }
  info.Next();
  der::Reader algorithm(Require(info, der::kSequence, "key encryption algorithm").contents);
  const std::string oid = der::OidText(Require(algorithm, der::kOid, "key algorithm").contents);
  if (oid == kOidGost94) {
    RaiseUnsupported("GOST R 34.10-94 keys are not supported");
  }
  if (!IsGostKey(oid)) {
    RaiseUnsupported("key transport algorithm " + oid + " is not supported");
  }
  CheckGostKeyTransport(Require(info, der::kOctetString, "encrypted key").contents);
}

EnvelopeAlgorithms CheckEnvelope(std::string_view bytes) {
  der::Reader top(bytes);
  der::Reader content_info(Require(top, der::kSequence, "content info").contents);
  if (!top.AtEnd()) {
    RaiseMalformed("data after the message");
  }
  if (der::OidText(Require(content_info, der::kOid, "content type").contents) !=
      kOidEnvelopedData) {
    RaiseCryptError(code::kCryptEInvalidMsgType, "(not EnvelopedData)");
  }
  der::Reader explicit_content(
      Require(content_info, der::ContextConstructed(0), "content").contents);
  der::Reader enveloped(Require(explicit_content, der::kSequence, "enveloped data").contents);
  Require(enveloped, der::kInteger, "version");
  if (enveloped.PeekTag() == der::ContextConstructed(0)) {
    enveloped.Next();  // originatorInfo
  }
  der::Reader recipients(Require(enveloped, der::kSet, "recipient infos").contents);
  if (recipients.AtEnd()) {
    RaiseMalformed("no recipients");
  }
  while (!recipients.AtEnd()) {
    const uint8_t tag = recipients.PeekTag();
    if (tag == der::ContextConstructed(1)) {
      RaiseUnsupported("key agreement recipients are not supported");
    }
    if (tag != der::kSequence) {
      RaiseUnsupported("only key transport recipients are supported");
    }
    CheckKeyTransRecipient(Require(recipients, der::kSequence, "recipient info").contents);
  }
  der::Reader encrypted(Require(enveloped, der::kSequence, "encrypted content info").contents);
  Require(encrypted, der::kOid, "content type");
  der::Reader algorithm(Require(encrypted, der::kSequence, "content encryption").contents);
  EnvelopeAlgorithms result;
  result.content_encryption = der::OidText(Require(algorithm, der::kOid, "algorithm").contents);
  if (result.content_encryption != kOidGost28147) {
    RaiseUnsupported("content encryption " + result.content_encryption + " is not supported");
  }
  // Gost28147-89-Parameters (RFC 4357 section 10.3): an IV of 8 bytes and the parameter set.
  der::Reader parameters(Require(algorithm, der::kSequence, "cipher parameters").contents);
  if (Require(parameters, der::kOctetString, "IV").contents.size() != 8) {
    RaiseMalformed("IV is not 8 bytes");
  }
  result.parameter_set = der::OidText(Require(parameters, der::kOid, "parameter set").contents);
  return result;
}

ossl::CmsPtr ParseCms(std::string_view bytes) {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  ossl::CmsPtr cms(::d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(bytes.size())));  // NOLINT
  if (!cms) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadMsg);
  }
  return cms;
}

bool IsRecipient(CMS_ContentInfo* cms, X509* certificate) {
  STACK_OF(CMS_RecipientInfo)* infos = ::CMS_get0_RecipientInfos(cms);
  for (int i = 0; i < sk_CMS_RecipientInfo_num(infos); ++i) {
    CMS_RecipientInfo* info = sk_CMS_RecipientInfo_value(infos, i);
    if (::CMS_RecipientInfo_type(info) == CMS_RECIPINFO_TRANS &&
        ::CMS_RecipientInfo_ktri_cert_cmp(info, certificate) == 0) {
      return true;
    }
  }
  return false;
}

std::string Decrypt(CMS_ContentInfo* cms, const Certificate& recipient, const PrivateKey& key) {
  X509* certificate = CertificateAccess::Native(recipient);
  if (!IsRecipient(cms, certificate)) {
    RaiseCryptError(code::kCryptERecipientNotFound);
  }
  // With the certificate and CMS_DEBUG_DECRYPT a wrong key is an error; without them OpenSSL
  // would hand back random bytes (its defence against the Bleichenbacher attack on RSA).
  const ossl::BioPtr out = ossl::NewMemoryBio();
  if (::CMS_decrypt(cms, PrivateKeyAccess::Native(key), certificate, nullptr, out.get(),
                    CMS_BINARY | CMS_DEBUG_DECRYPT) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadData);
  }
  return ossl::BioContents(out.get());
}

}  // namespace

EnvelopeAlgorithms InspectEnvelope(std::string_view envelope) {
  return CheckEnvelope(envelope);
}

std::string EncryptEnvelope(const Certificate& recipient, std::string_view content) {
  const CryptoRuntime runtime;
  if (!IsGostKey(recipient.PublicKeyAlgorithmOid())) {
    RaiseUnsupported("recipient key " + recipient.PublicKeyAlgorithmOid() + " is not GOST");
  }
  // One-shot CMS_encrypt fails for GOST recipients: the envelope is made in parts.
  constexpr unsigned kFlags = CMS_BINARY;
  ossl::CmsPtr cms(::CMS_encrypt(nullptr, nullptr, engine::CipherGost89(), kFlags | CMS_PARTIAL));
  if (!cms || ::CMS_add1_recipient_cert(cms.get(), CertificateAccess::Native(recipient),
                                        kFlags | CMS_KEY_PARAM) == nullptr) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEMsgError);
  }
  const ossl::BioPtr in = ossl::MemoryBio(content);
  if (::CMS_final(cms.get(), in.get(), nullptr, kFlags) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEMsgError);
  }
  std::string der = ossl::ToDer(cms.get(), [](const CMS_ContentInfo* c, unsigned char** out) {
    return ::i2d_CMS_ContentInfo(c, out);
  });
  if (der.empty()) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadEncode);
  }
  const EnvelopeAlgorithms algorithms = CheckEnvelope(der);
  if (algorithms.parameter_set != kOidCryptoProA) {
    RaiseUnsupported("the engine encrypted with parameter set " + algorithms.parameter_set +
                     " instead of CryptoPro-A; is CRYPT_PARAMS set in the environment?");
  }
  return der;
}

std::string DecryptEnvelope(std::string_view envelope, const Certificate& recipient,
                            const PrivateKey& key) {
  const CryptoRuntime runtime;
  CheckEnvelope(envelope);
  const ossl::CmsPtr cms = ParseCms(envelope);
  return Decrypt(cms.get(), recipient, key);
}

std::string DecryptEnvelope(std::string_view envelope, const CertStore& store) {
  const CryptoRuntime runtime;
  CheckEnvelope(envelope);
  const ossl::CmsPtr cms = ParseCms(envelope);
  for (const Certificate& certificate : store.Certificates()) {
    if (!certificate.KeyProv() || !IsRecipient(cms.get(), CertificateAccess::Native(certificate))) {
      continue;
    }
    const KeyProvInfo& binding = *certificate.KeyProv();
    const StoreLocation location =
        (binding.flags & kMachineKeySet) != 0 ? StoreLocation::kLocalMachine : store.Location();
    if (!KeyContainer::Exists(location, binding.container_name)) {
      continue;
    }
    const PrivateKey key = KeyContainer::Open(location, binding.container_name).GetPrivateKey();
    return Decrypt(cms.get(), certificate, key);
  }
  RaiseCryptError(code::kCryptENoDecryptCert);
}

}  // namespace lyr::crypt
