// Opening envelopes by their parts. OpenSSL's CMS code with the GOST engine deciphers
// CTR-ACPKM content with the engine's default section size (4096 / 1024 bytes) instead of the
// CMS one (256 KiB / 8 KiB), because the engine resets the size each time the key is set after
// the parameters were read, and it knows no ESDH key agreement; so the key is recovered and the
// content deciphered here, with the engine's ciphers, MACs and key agreements:
// - KExp15 recipients (TC26 CMS profile): KEG(own key, sender key, UKM) gives the MAC and
//   encryption keys of KImp15 (RFC 9189 sections 8.2.1, 8.3.1), whose IV is UKM bytes 24 on;
// - ESDH recipients (RFC 4490 section 4.1.1): VKO with the 8-byte UKM gives the key encryption
//   key of the RFC 4357 key unwrap;
// - CTR-ACPKM content (RFC 9337 section 5.1): IV the first half block of the content UKM,
//   sections of 8 KiB (Magma) and 256 KiB (Kuznyechik); the -OMAC forms decipher under K(1) of
//   KDF_TREE(key, "kdf tree", the UKM's last 8 bytes) and MAC the plain content under K(2), the
//   MAC enciphered right after the content in the same key stream.
#include "crypt/platform/envelope_open.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <stdexcept>

#include "crypt/platform/certificate_access.h"
#include "crypt/platform/content_cipher.h"
#include "crypt/platform/content_stream.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/der_reader.h"
#include "crypt/platform/gost_engine.h"
#include "crypt/platform/gost_modes.h"
#include "crypt/platform/private_key_access.h"

namespace lyr::crypt {
namespace {

constexpr std::string_view kOidEsdh = "1.2.643.2.2.96";
constexpr size_t kMagmaSection = size_t{8} << 10;
constexpr size_t kKuznyechikSection = size_t{256} << 10;
constexpr size_t kChunk = size_t{64} << 10;

[[noreturn]] void RaiseBadMessage(const std::string& detail) {
  RaiseCryptError(code::kCryptEBadMsg, "(" + detail + ")");
}

// The elements of one level (the shape check has accepted them).
std::vector<der::Element> Items(std::string_view contents) {
  std::vector<der::Element> items;
  der::Reader reader(contents);
  while (!reader.AtEnd()) {
    const std::optional<der::Element> element = reader.Next();
    if (!element) {
      RaiseBadMessage("malformed element");
    }
    items.push_back(*element);
  }
  return items;
}

std::string_view Whole(const der::Element& element) {
  return {element.start,
          static_cast<size_t>(element.contents.data() + element.contents.size() - element.start)};
}

EnvelopeParty PartyOf(const der::Element& element) {
  if (element.tag == der::kSequence) {
    const std::vector<der::Element> items = Items(element.contents);
    return {Whole(items.at(0)), items.at(1).contents, {}};
  }
  if (element.tag == der::ContextConstructed(0)) {  // RecipientKeyIdentifier
    return {{}, {}, Items(element.contents).at(0).contents};
  }
  return {{}, {}, element.contents};  // [0] SubjectKeyIdentifier
}

bool IsCtrAcpkm(std::string_view oid) {
  return oid == kOidMagmaCtrAcpkm || oid == kOidMagmaCtrAcpkmOmac ||
         oid == kOidKuznyechikCtrAcpkm || oid == kOidKuznyechikCtrAcpkmOmac;
}
bool IsOmac(std::string_view oid) {
  return oid == kOidMagmaCtrAcpkmOmac || oid == kOidKuznyechikCtrAcpkmOmac;
}
gost::BlockCipher ContentBlockCipher(std::string_view oid) {
  return oid == kOidMagmaCtrAcpkm || oid == kOidMagmaCtrAcpkmOmac ? gost::BlockCipher::kMagma
                                                                  : gost::BlockCipher::kKuznyechik;
}
gost::BlockCipher WrapBlockCipher(std::string_view oid) {
  return oid == kOidMagmaKexp15 ? gost::BlockCipher::kMagma : gost::BlockCipher::kKuznyechik;
}

void ReadTransport(const der::Element& info, std::vector<EnvelopeRecipient>& out) {
  const std::vector<der::Element> items = Items(info.contents);
  EnvelopeRecipient recipient;
  recipient.id = PartyOf(items.at(1));
  const std::vector<der::Element> algorithm = Items(items.at(2).contents);
  recipient.wrap = der::OidText(algorithm.at(0).contents);
  if (recipient.wrap == kOidMagmaKexp15 || recipient.wrap == kOidKuznyechikKexp15) {
    recipient.kind = RecipientKind::kTransportKexp15;
    const std::vector<der::Element> transport = Items(Items(items.at(3).contents).at(0).contents);
    recipient.encrypted_key = transport.at(0).contents;
    recipient.originator_key = std::string(Whole(transport.at(1)));
    recipient.ukm = transport.at(2).contents;
  }
  out.push_back(std::move(recipient));
}

void ReadAgreement(const der::Element& info, std::vector<EnvelopeRecipient>& out) {
  const std::vector<der::Element> items = Items(info.contents);
  EnvelopeRecipient common;
  const der::Element originator = Items(items.at(1).contents).at(0);
  if (originator.tag == der::ContextConstructed(1)) {  // originatorKey: a SubjectPublicKeyInfo
    common.originator_key = std::string(Whole(originator));
    common.originator_key[0] = static_cast<char>(der::kSequence);
  } else {
    common.originator = PartyOf(originator);
  }
  common.ukm = Items(items.at(2).contents).at(0).contents;
  const std::vector<der::Element> algorithm = Items(items.at(3).contents);
  const std::string algorithm_oid = der::OidText(algorithm.at(0).contents);
  if (algorithm_oid == kOidEsdh) {
    common.kind = RecipientKind::kAgreementEsdh;
    const std::vector<der::Element> wrap = Items(algorithm.at(1).contents);
    common.wrap = der::OidText(wrap.at(0).contents);
    common.wrap_parameter_set = der::OidText(Items(wrap.at(1).contents).at(0).contents);
  } else {
    common.kind = RecipientKind::kAgreementKexp15;
    common.wrap = algorithm_oid;
  }
  for (const der::Element& entry : Items(items.at(4).contents)) {
    const std::vector<der::Element> fields = Items(entry.contents);
    EnvelopeRecipient recipient = common;
    recipient.id = PartyOf(fields.at(0));
    if (recipient.kind == RecipientKind::kAgreementEsdh) {
      const std::vector<der::Element> session = Items(Items(fields.at(1).contents).at(0).contents);
      recipient.encrypted_key = session.at(0).contents;
      recipient.key_mac = session.at(1).contents;
    } else {
      recipient.encrypted_key = fields.at(1).contents;
    }
    out.push_back(std::move(recipient));
  }
}

// The cross-field rules the shapes cannot say.
void CheckAgreement(const EnvelopeParts& parts) {
  for (const EnvelopeRecipient& recipient : parts.recipients) {
    if (recipient.kind == RecipientKind::kTransportKexp15 ||
        recipient.kind == RecipientKind::kAgreementKexp15) {
      const size_t size = 32 + gost::BlockSize(WrapBlockCipher(recipient.wrap));
      if (recipient.encrypted_key.size() != size) {
        RaiseBadMessage("exported key is not " + std::to_string(size) + " bytes");
      }
    }
  }
  const bool omac = IsOmac(parts.content_encryption);
  if (!omac && !parts.encrypted_mac.empty()) {
    RaiseBadMessage("unexpected unprotected attributes");
  }
  if (omac) {
    const size_t size = gost::BlockSize(ContentBlockCipher(parts.content_encryption));
    if (parts.encrypted_mac.size() != size) {
      RaiseBadMessage(parts.encrypted_mac.empty()
                          ? std::string("content MAC missing")
                          : "content MAC is not " + std::to_string(size) + " bytes");
    }
  }
}

bool Names(const EnvelopeParty& party, X509* certificate) {
  if (!party.key_id.empty()) {
    const ASN1_OCTET_STRING* id = ::X509_get0_subject_key_id(certificate);
    return id != nullptr &&
           party.key_id ==
               std::string_view(reinterpret_cast<const char*>(::ASN1_STRING_get0_data(id)),
                                static_cast<size_t>(::ASN1_STRING_length(id)));
  }
  const std::string issuer = ossl::ToDer(
      ::X509_get_issuer_name(certificate),
      [](const X509_NAME* name, unsigned char** out) { return ::i2d_X509_NAME(name, out); });
  return party.issuer == issuer &&
         party.serial == ossl::IntegerContent(::X509_get0_serialNumber(certificate));
}

std::string PublicKeyInfo(const Certificate& certificate) {
  return ossl::ToDer(
      ::X509_get_X509_PUBKEY(CertificateAccess::Native(certificate)),
      [](const X509_PUBKEY* key, unsigned char** out) { return ::i2d_X509_PUBKEY(key, out); });
}

[[noreturn]] void RaiseKeyNotRecovered() {
  RaiseCryptError(code::kNteBadData, "(the content key cannot be recovered with this key)");
}

// The content key of a KExp15 recipient.
std::string ImportKexp15(const EnvelopeRecipient& recipient, const PrivateKey& key,
                         const std::string& sender_key) {
  const std::optional<std::string> keg =
      gost::AgreeKey(PrivateKeyAccess::Native(key), sender_key, recipient.ukm);
  if (!keg || keg->size() != 64) {
    RaiseKeyNotRecovered();
  }
  const gost::BlockCipher cipher = WrapBlockCipher(recipient.wrap);
  const std::string_view secret = *keg;
  std::optional<std::string> content_key =
      gost::Kimp15(cipher, recipient.encrypted_key, secret.substr(0, 32), secret.substr(32),
                   recipient.ukm.substr(24, gost::BlockSize(cipher) / 2));
  if (!content_key) {
    RaiseKeyNotRecovered();
  }
  return std::move(*content_key);
}

std::string ImportEsdh(const EnvelopeRecipient& recipient, const PrivateKey& key) {
  if (recipient.wrap_parameter_set != kOidCryptoProA) {
    RaiseCryptError(
        code::kCryptEUnknownAlgo,
        "(key wrap parameter set " + recipient.wrap_parameter_set + " is not supported)");
  }
  const std::optional<std::string> kek =
      gost::AgreeKey(PrivateKeyAccess::Native(key), recipient.originator_key, recipient.ukm);
  if (!kek || kek->size() != 32) {
    RaiseKeyNotRecovered();
  }
  std::optional<std::string> content_key =
      gost::Gost89Unwrap(*kek, recipient.ukm, recipient.encrypted_key, recipient.key_mac,
                         recipient.wrap == kOidCryptoProKeyWrap);
  if (!content_key) {
    RaiseKeyNotRecovered();
  }
  return std::move(*content_key);
}

std::string ContentKey(const EnvelopeRecipient& recipient, const PrivateKey& key,
                       const OriginatorLookup& originator) {
  switch (recipient.kind) {
    case RecipientKind::kTransportKexp15:
      return ImportKexp15(recipient, key, recipient.originator_key);
    case RecipientKind::kAgreementKexp15: {
      if (!recipient.originator_key.empty()) {
        return ImportKexp15(recipient, key, recipient.originator_key);
      }
      const std::optional<Certificate> sender =
          originator ? originator(recipient.originator) : std::nullopt;
      if (!sender) {
        RaiseCryptError(code::kCryptENotFound,
                        "(the sender's certificate of the key agreement is in no store)");
      }
      return ImportKexp15(recipient, key, PublicKeyInfo(*sender));
    }
    case RecipientKind::kAgreementEsdh:
      return ImportEsdh(recipient, key);
    case RecipientKind::kTransport89:
      break;
  }
  RaiseCryptError(code::kCryptEUnknownAlgo,
                  "(RFC 4490 key transport with content encryption other than GOST 28147-89)");
}

// Cleanses a key when it goes.
struct SecretKey {
  std::string bytes;
  ~SecretKey() { ::OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

// GOST 28147-89 content: the engine's cipher set up as OpenSSL's CMS code does (parameters
// first: IV, parameter set and key meshing; then the key), which is right for this cipher.
void DecipherGost89(const EnvelopeParts& parts, std::string_view key, DecryptedSink& sink) {
  const auto* in = reinterpret_cast<const unsigned char*>(parts.content_parameters.data());
  const std::unique_ptr<ASN1_TYPE, ossl::FreeWith<&::ASN1_TYPE_free>> parameters(
      ::d2i_ASN1_TYPE(nullptr, &in, static_cast<long>(parts.content_parameters.size())));
  const gost::CipherCtxPtr ctx(::EVP_CIPHER_CTX_new());
  if (!parameters || !ctx ||
      ::EVP_DecryptInit_ex(ctx.get(), engine::CipherGost89(), engine::Gost(), nullptr, nullptr) !=
          1 ||
      ::EVP_CIPHER_asn1_to_param(ctx.get(), parameters.get()) <= 0 ||
      ::EVP_DecryptInit_ex(ctx.get(), nullptr, nullptr,
                           reinterpret_cast<const unsigned char*>(key.data()), nullptr) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadData);
  }
  std::string chunk;
  for (std::string_view rest = parts.encrypted_content; !rest.empty();) {
    const std::string_view piece = rest.substr(0, kChunk);
    rest.remove_prefix(piece.size());
    chunk.resize(piece.size() + 8);
    int length = 0;
    if (::EVP_DecryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(chunk.data()), &length,
                            reinterpret_cast<const unsigned char*>(piece.data()),
                            static_cast<int>(piece.size())) != 1) {
      RaiseCryptErrorWithOpenSsl(code::kNteBadData);
    }
    sink.Write(std::string_view(chunk.data(), static_cast<size_t>(length)));
  }
}

// CTR-ACPKM(-OMAC) content.
class AcpkmContent {
 public:
  AcpkmContent(const EnvelopeParts& parts, std::string_view key)
      : parts_(parts),
        cipher_(ContentBlockCipher(parts.content_encryption)),
        omac_(IsOmac(parts.content_encryption)) {
    const size_t half = gost::BlockSize(cipher_) / 2;
    if (omac_) {
      keys_.bytes = gost::KdfTree256(key, "kdf tree", parts.content_ukm.substr(half, 8));
    } else {
      keys_.bytes = std::string(key);
    }
  }

  [[nodiscard]] bool HasMac() const noexcept { return omac_; }

  // Deciphers the content into write, chunk by chunk; with the MAC, returns whether it matches.
  template <typename Write>
  bool Decipher(Write&& write) const {
    const std::string_view keys = keys_.bytes;
    gost::CtrAcpkm stream(
        cipher_, keys.substr(0, 32), parts_.content_ukm.substr(0, gost::BlockSize(cipher_) / 2),
        cipher_ == gost::BlockCipher::kMagma ? kMagmaSection : kKuznyechikSection);
    std::optional<gost::Omac> mac;
    if (omac_) {
      mac.emplace(cipher_, keys.substr(32, 32));
    }
    std::string chunk;
    for (std::string_view rest = parts_.encrypted_content; !rest.empty();) {
      const std::string_view piece = rest.substr(0, kChunk);
      rest.remove_prefix(piece.size());
      chunk.resize(piece.size());
      stream.Apply(piece.data(), chunk.data(), piece.size());
      if (mac) {
        mac->Update(chunk);
      }
      write(std::string_view(chunk));
    }
    if (!mac) {
      return true;
    }
    std::string tag(parts_.encrypted_mac.size(), '\0');
    stream.Apply(parts_.encrypted_mac.data(), tag.data(), tag.size());
    const std::string expected = mac->Final();
    return expected.size() == tag.size() &&
           ::CRYPTO_memcmp(expected.data(), tag.data(), tag.size()) == 0;
  }

 private:
  const EnvelopeParts& parts_;
  gost::BlockCipher cipher_;
  bool omac_;
  SecretKey keys_;
};

[[noreturn]] void RaiseMacMismatch() {
  RaiseCryptError(code::kNteBadData, "(the content MAC does not match: the envelope is damaged)");
}

// The parts, read with the shape already checked.
EnvelopeParts ReadParts(std::string_view envelope) {
  const der::Element content_info = Items(envelope).at(0);
  const der::Element enveloped =
      Items(Items(content_info.contents).at(1).contents).at(0);  // [0] EXPLICIT EnvelopedData
  const std::vector<der::Element> fields = Items(enveloped.contents);
  EnvelopeParts parts;
  for (const der::Element& info : Items(fields.at(1).contents)) {
    if (info.tag == der::kSequence) {
      ReadTransport(info, parts.recipients);
    } else {
      ReadAgreement(info, parts.recipients);
    }
  }
  const std::vector<der::Element> content = Items(fields.at(2).contents);
  const std::vector<der::Element> algorithm = Items(content.at(1).contents);
  parts.content_encryption = der::OidText(algorithm.at(0).contents);
  parts.content_parameters = Whole(algorithm.at(1));
  if (IsCtrAcpkm(parts.content_encryption)) {
    parts.content_ukm = Items(algorithm.at(1).contents).at(0).contents;
  }
  parts.encrypted_content = content.size() > 2 ? content.at(2).contents : std::string_view();
  if (fields.size() > 3) {  // the MAC attribute: SEQUENCE { type, SET { OCTET STRING } }
    const std::vector<der::Element> attribute = Items(Items(fields.at(3).contents).at(0).contents);
    parts.encrypted_mac = Items(attribute.at(1).contents).at(0).contents;
  }
  CheckAgreement(parts);
  return parts;
}

}  // namespace

EnvelopeParts ReadEnvelopeParts(std::string_view envelope) {
  try {
    return ReadParts(envelope);
  } catch (const std::out_of_range&) {  // an element the shape promised is missing
    RaiseBadMessage("malformed element");
  }
}

const EnvelopeRecipient* FindRecipient(const EnvelopeParts& parts, const Certificate& certificate) {
  X509* native = CertificateAccess::Native(certificate);
  for (const EnvelopeRecipient& recipient : parts.recipients) {
    if (Names(recipient.id, native)) {
      return &recipient;
    }
  }
  return nullptr;
}

bool OpenSslOpens(const EnvelopeParts& parts, const EnvelopeRecipient& recipient) {
  return recipient.kind == RecipientKind::kTransport89 && parts.content_encryption == kOidGost28147;
}

void OpenEnvelope(const EnvelopeParts& parts, const EnvelopeRecipient& recipient,
                  const PrivateKey& key, const OriginatorLookup& originator, DecryptedSink& sink,
                  Delivery delivery) {
  const SecretKey content_key{ContentKey(recipient, key, originator)};
  if (!IsCtrAcpkm(parts.content_encryption)) {
    sink.Begin(parts.encrypted_content.size());
    DecipherGost89(parts, content_key.bytes, sink);
    return;
  }
  const AcpkmContent content(parts, content_key.bytes);
  if (content.HasMac() && delivery == Delivery::kAfterCheck &&
      !content.Decipher([](std::string_view) {})) {
    RaiseMacMismatch();
  }
  sink.Begin(parts.encrypted_content.size());
  if (!content.Decipher([&](std::string_view plain) { sink.Write(plain); })) {
    RaiseMacMismatch();
  }
}

}  // namespace lyr::crypt
