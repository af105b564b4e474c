// CMS envelopes over OpenSSL's CMS and the GOST engine. Incoming envelopes are checked against
// the accepted forms first (envelope_shape.cpp): the engine asserts or crashes on GOST fields of
// the wrong length or with extra elements, and a library inside a host must refuse such a file
// instead.
#include "crypt/platform/envelope.h"

#include <exception>

#include "crypt/content_stream.h"
#include "crypt/crypt_error.h"
#include "crypt/platform/certificate_access.h"
#include "crypt/platform/crypto_runtime.h"
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

// Decrypts into out (any BIO).
void DecryptInto(CMS_ContentInfo* cms, const Certificate& recipient, const PrivateKey& key,
                 BIO* out) {
  X509* certificate = CertificateAccess::Native(recipient);
  if (!IsRecipient(cms, certificate)) {
    RaiseCryptError(code::kCryptERecipientNotFound);
  }
  // With the certificate and CMS_DEBUG_DECRYPT a wrong key is an error; without them OpenSSL
  // would hand back random bytes (its defence against the Bleichenbacher attack on RSA).
  if (::CMS_decrypt(cms, PrivateKeyAccess::Native(key), certificate, nullptr, out,
                    CMS_BINARY | CMS_DEBUG_DECRYPT) != 1) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadData);
  }
}

std::string Decrypt(CMS_ContentInfo* cms, const Certificate& recipient, const PrivateKey& key) {
  const ossl::BioPtr out = ossl::NewMemoryBio();
  DecryptInto(cms, recipient, key, out.get());
  return ossl::BioContents(out.get());
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

// Finds the key of a certificate of store that is a recipient of cms and opens the envelope
// with it through open.
template <typename Open>
void OpenWithStore(CMS_ContentInfo* cms, const CertStore& store, Open&& open) {
  for (const Certificate& certificate : store.Certificates()) {
    if (!certificate.KeyProv() || !IsRecipient(cms, CertificateAccess::Native(certificate))) {
      continue;
    }
    const KeyProvInfo& binding = *certificate.KeyProv();
    const StoreLocation location =
        (binding.flags & kMachineKeySet) != 0 ? StoreLocation::kLocalMachine : store.Location();
    if (!KeyContainer::Exists(location, binding.container_name)) {
      continue;
    }
    const PrivateKey key = KeyContainer::Open(location, binding.container_name).GetPrivateKey();
    open(certificate, key);
    return;
  }
  RaiseCryptError(code::kCryptENoDecryptCert);
}

}  // namespace

EnvelopeAlgorithms InspectEnvelope(std::string_view envelope) {
  return CheckEnvelopeShape(envelope);
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
  const EnvelopeAlgorithms algorithms = CheckEnvelopeShape(der);
  if (algorithms.parameter_set != kOidCryptoProA) {
    RaiseUnsupported("the engine encrypted with parameter set " + algorithms.parameter_set +
                     " instead of CryptoPro-A; is CRYPT_PARAMS set in the environment?");
  }
  return der;
}

std::string DecryptEnvelope(std::string_view envelope, const Certificate& recipient,
                            const PrivateKey& key) {
  const CryptoRuntime runtime;
  CheckEnvelopeShape(envelope);
  const ossl::CmsPtr cms = ParseCms(envelope);
  return Decrypt(cms.get(), recipient, key);
}

std::string DecryptEnvelope(std::string_view envelope, const CertStore& store) {
  const CryptoRuntime runtime;
  CheckEnvelopeShape(envelope);
  const ossl::CmsPtr cms = ParseCms(envelope);
  std::string plain;
  OpenWithStore(cms.get(), store, [&](const Certificate& certificate, const PrivateKey& key) {
    plain = Decrypt(cms.get(), certificate, key);
  });
  return plain;
}

void DecryptEnvelope(std::string_view envelope, const CertStore& store, DecryptedSink& sink) {
  const CryptoRuntime runtime;
  CheckEnvelopeShape(envelope);
  const ossl::CmsPtr cms = ParseCms(envelope);
  OpenWithStore(cms.get(), store, [&](const Certificate& certificate, const PrivateKey& key) {
    DecryptToSink(cms.get(), certificate, key, sink);
  });
}

}  // namespace lyr::crypt
