// CMS envelopes over OpenSSL's CMS and the GOST engine. Incoming envelopes are checked against
// the accepted forms first (envelope_shape.cpp): the engine asserts or crashes on GOST fields of
// the wrong length or with extra elements, and a library inside a host must refuse such a file
// instead. OpenSSL's CMS code writes every form right and opens GOST 28147-89 key transport;
// the other forms are opened by their parts (envelope_open.cpp).
#include "crypt/platform/envelope.h"

#include <exception>

#include "crypt/platform/certificate_access.h"
#include "crypt/platform/content_stream.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/envelope_open.h"
#include "crypt/platform/envelope_shape.h"
#include "crypt/platform/gost_engine.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key_access.h"

namespace lyr::crypt {
namespace {

constexpr std::string_view kOidGost2001 = "1.2.643.2.2.19";
constexpr std::string_view kOidGost2012_256 = "1.2.643.7.1.1.1.1";
constexpr std::string_view kOidGost2012_512 = "1.2.643.7.1.1.1.2";
constexpr uint32_t kMachineKeySet = 0x20;  // CRYPT_MACHINE_KEYSET in the key-provider flags

[[noreturn]] void RaiseUnsupported(std::string_view what) {
  RaiseCryptError(code::kCryptEUnknownAlgo, "(" + std::string(what) + ")");
}

bool IsGostKey(std::string_view oid) {
  return oid == kOidGost2001 || oid == kOidGost2012_256 || oid == kOidGost2012_512;
}

ossl::CmsPtr ParseCms(std::string_view bytes) {
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  ossl::CmsPtr cms(::d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(bytes.size())));  // NOLINT
  if (!cms) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEBadMsg);
  }
  return cms;
}

// Decrypts into out (any BIO).
void DecryptInto(CMS_ContentInfo* cms, const Certificate& recipient, const PrivateKey& key,
                 BIO* out) {
  X509* certificate = CertificateAccess::Native(recipient);
  // With the certificate and CMS_DEBUG_DECRYPT a wrong key is an error; without them OpenSSL
  // would hand back random bytes (its defence against the Bleichenbacher attack on RSA).
  if (::CMS_decrypt(cms, PrivateKeyAccess::Native(key), certificate, nullptr, out,
                    CMS_BINARY | CMS_DEBUG_DECRYPT) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadData);
  }
}

// A BIO that hands what is written to a DecryptedSink; what the sink raises is kept (it cannot
// cross OpenSSL's frames) and the write fails.
struct SinkTarget {
  DecryptedSink* sink = nullptr;
  std::exception_ptr error;
};

int SinkWrite(BIO* bio, const char* data, int length) {
  auto* target = static_cast<SinkTarget*>(::BIO_get_data(bio));
  if (target->error) {
    return -1;
  }
  try {
    target->sink->Write(std::string_view(data, static_cast<size_t>(length)));
  } catch (...) {
    target->error = std::current_exception();
    return -1;
  }
  return length;
}

long SinkControl(BIO* /*bio*/, int command, long /*number*/, void* /*pointer*/) {  // NOLINT
  return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int SinkCreate(BIO* bio) {
  ::BIO_set_init(bio, 1);
  return 1;
}

const BIO_METHOD* SinkMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* made = ::BIO_meth_new(::BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "lyr sink");
    if (made != nullptr) {
      ::BIO_meth_set_write(made, SinkWrite);
      ::BIO_meth_set_ctrl(made, SinkControl);
      ::BIO_meth_set_create(made, SinkCreate);
    }
    return made;
  }();
  return method;
}

// Decrypts into sink, after telling it the size of the encrypted content.
void DecryptToSink(CMS_ContentInfo* cms, const Certificate& recipient, const PrivateKey& key,
                   DecryptedSink& sink) {
  ASN1_OCTET_STRING** content = ::CMS_get0_content(cms);
  sink.Begin(content != nullptr && *content != nullptr
                 ? static_cast<size_t>(::ASN1_STRING_length(*content))
                 : 0);
  SinkTarget target{&sink, nullptr};
  const ossl::BioPtr out(SinkMethod() != nullptr ? ::BIO_new(SinkMethod()) : nullptr);
  if (!out) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadData);
  }
  ::BIO_set_data(out.get(), &target);
  try {
    DecryptInto(cms, recipient, key, out.get());
  } catch (...) {
    if (target.error) {
      ::ERR_clear_error();
      std::rethrow_exception(target.error);
    }
    throw;
  }
}

// A sink that collects the content in a string.
class StringSink final : public DecryptedSink {
 public:
  void Begin(size_t content_size) override { content.reserve(content_size); }
  void Write(std::string_view bytes) override { content.append(bytes); }
  std::string content;
};

// The sender's certificate of a key agreement, from the correspondents' and the personal store
// of location.
OriginatorLookup StoreOriginators(StoreLocation location) {
  return [location](const EnvelopeParty& party) -> std::optional<Certificate> {
    for (const std::string_view name : {"addressbook", "MY"}) {
      if (std::optional<Certificate> found =
              CertStore::OpenSystem(location, name)
                  .FindByIssuerAndSerial(party.issuer, party.serial)) {
        return found;
      }
    }
    return std::nullopt;
  };
}

// Opens envelope (read into parts) for certificate with key into sink: through OpenSSL's CMS
// code when it opens the form right, by its parts otherwise.
void Open(std::string_view envelope, const EnvelopeParts& parts, const Certificate& certificate,
          const PrivateKey& key, const OriginatorLookup& originators, DecryptedSink& sink,
          Delivery delivery) {
  const EnvelopeRecipient* recipient = FindRecipient(parts, certificate);
  if (recipient == nullptr) {
    RaiseCryptError(code::kCryptERecipientNotFound);
  }
  if (!OpenSslOpens(parts, *recipient)) {
    OpenEnvelope(parts, *recipient, key, originators, sink, delivery);
    return;
  }
  const ossl::CmsPtr cms = ParseCms(envelope);
  DecryptToSink(cms.get(), certificate, key, sink);
}

// Finds the key of a certificate of store that is a recipient of the envelope and opens it into
// sink.
void OpenWithStore(std::string_view envelope, const CertStore& store, DecryptedSink& sink,
                   Delivery delivery) {
  CheckEnvelopeShape(envelope);
  const EnvelopeParts parts = ReadEnvelopeParts(envelope);
  for (const Certificate& certificate : store.Certificates()) {
    if (!certificate.KeyProv() || FindRecipient(parts, certificate) == nullptr) {
      continue;
    }
    const KeyProvInfo& binding = *certificate.KeyProv();
    const StoreLocation location =
        (binding.flags & kMachineKeySet) != 0 ? StoreLocation::kLocalMachine : store.Location();
    if (!KeyContainer::Exists(location, binding.container_name)) {
      continue;
    }
    const PrivateKey key = KeyContainer::Open(location, binding.container_name).GetPrivateKey();
    Open(envelope, parts, certificate, key, StoreOriginators(store.Location()), sink, delivery);
    return;
  }
  RaiseCryptError(code::kCryptENoDecryptCert);
}

}  // namespace

EnvelopeAlgorithms InspectEnvelope(std::string_view envelope) {
  const EnvelopeAlgorithms algorithms = CheckEnvelopeShape(envelope);
  (void)ReadEnvelopeParts(envelope);
  return algorithms;
}

std::string EncryptEnvelope(const Certificate& recipient, std::string_view content,
                            ContentCipher cipher) {
  const CryptoRuntime runtime;
  const std::string key_algorithm = recipient.PublicKeyAlgorithmOid();
  if (!IsGostKey(key_algorithm)) {
    RaiseUnsupported("recipient key " + key_algorithm + " is not GOST");
  }
  if (cipher != ContentCipher::kGost28147 && key_algorithm == kOidGost2001) {
    RaiseUnsupported("content encryption " + std::string(ContentCipherName(cipher)) +
                     " needs a GOST R 34.10-2012 recipient key; this one is GOST R 34.10-2001");
  }
  // One-shot CMS_encrypt fails for GOST recipients: the envelope is made in parts. The engine
  // writes KExp15 key transport only when it is told the content cipher (EVP_PKEY_CTRL_CIPHER on
  // the recipient's key context), RFC 4490 key transport otherwise.
  constexpr unsigned kFlags = CMS_BINARY;
  const EVP_CIPHER* content_cipher = engine::CipherFor(cipher);
  ossl::CmsPtr cms(::CMS_encrypt(nullptr, nullptr, content_cipher, kFlags | CMS_PARTIAL));
  CMS_RecipientInfo* info =
      cms ? ::CMS_add1_recipient_cert(cms.get(), CertificateAccess::Native(recipient),
                                      kFlags | CMS_KEY_PARAM)
          : nullptr;
  if (info == nullptr ||
      (cipher != ContentCipher::kGost28147 &&
       ::EVP_PKEY_CTX_ctrl(::CMS_RecipientInfo_get0_pkey_ctx(info), -1, -1, EVP_PKEY_CTRL_CIPHER,
                           ::EVP_CIPHER_get_nid(content_cipher), nullptr) <= 0)) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEMsgError);
  }
  std::string der = ossl::FinalCmsDer(cms.get(), content, kFlags);
  const EnvelopeAlgorithms algorithms = InspectEnvelope(der);
  if (algorithms.content_encryption != ContentCipherOid(cipher)) {
    RaiseUnsupported("the engine encrypted with " + algorithms.content_encryption + " instead of " +
                     std::string(ContentCipherOid(cipher)));
  }
  if (cipher == ContentCipher::kGost28147 && algorithms.parameter_set != kOidCryptoProA) {
    RaiseUnsupported("the engine encrypted with parameter set " + algorithms.parameter_set +
                     " instead of CryptoPro-A; is CRYPT_PARAMS set in the environment?");
  }
  return der;
}

std::string DecryptEnvelope(std::string_view envelope, const Certificate& recipient,
                            const PrivateKey& key) {
  const CryptoRuntime runtime;
  CheckEnvelopeShape(envelope);
  const EnvelopeParts parts = ReadEnvelopeParts(envelope);
  StringSink sink;
  Open(envelope, parts, recipient, key, nullptr, sink, Delivery::kWhileDeciphering);
  return std::move(sink.content);
}

std::string DecryptEnvelope(std::string_view envelope, const CertStore& store) {
  const CryptoRuntime runtime;
  StringSink sink;
  OpenWithStore(envelope, store, sink, Delivery::kWhileDeciphering);
  return std::move(sink.content);
}

void DecryptEnvelope(std::string_view envelope, const CertStore& store, DecryptedSink& sink) {
  const CryptoRuntime runtime;
  OpenWithStore(envelope, store, sink, Delivery::kAfterCheck);
}

}  // namespace lyr::crypt
