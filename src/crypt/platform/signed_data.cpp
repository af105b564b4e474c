// Detached CMS SignedData: signing with a GOST key, and the checks of a signature, its signers'
// attributes and algorithms.
#include "crypt/platform/signed_data.h"

#include <ctime>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "crypt/platform/certificate_access.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/gost_engine.h"
#include "crypt/platform/ossl.h"
#include "crypt/platform/private_key_access.h"
#include "rtl/errors.h"

namespace lyr::crypt {
namespace {

// Detached, binary (no text canonicalisation), no S/MIME capabilities attribute.
constexpr unsigned kCmsFlags = CMS_DETACHED | CMS_BINARY | CMS_NOSMIMECAP;

using X509StackPtr = std::unique_ptr<STACK_OF(X509), ossl::X509StackPopFree>;

// A check that found the signature invalid; the thread's last crypto error says why.
struct Rejected {};

[[noreturn]] void Reject(uint32_t code, std::string detail = {}) {
  SetLastCryptError(code, std::move(detail));
  throw Rejected{};
}

// The signing time attribute: the current UTC time as UTCTime.
void AddSigningTime(CMS_SignerInfo* signer) {
  const ossl::Asn1TimePtr now(::ASN1_UTCTIME_adj(nullptr, std::time(nullptr), 0, 0));
  if (!now || ::CMS_signed_add1_attr_by_NID(signer, NID_pkcs9_signingTime, V_ASN1_UTCTIME,
                                            now.get(), -1) != 1) {
    rtl::Raise("Error: h_fillSignAttributes");
  }
}

// The SignedData of signature bytes; anything else is rejected.
ossl::CmsPtr ParseSignedData(std::string_view signature) {
  const auto* in = reinterpret_cast<const unsigned char*>(signature.data());
  ossl::CmsPtr cms(
      ::d2i_CMS_ContentInfo(nullptr, &in, static_cast<long>(signature.size())));  // NOLINT
  if (!cms) {
    Reject(code::kCryptEAsn1BadTag, ossl::TakeOpenSslError());
  }
  if (::OBJ_obj2nid(::CMS_get0_type(cms.get())) != NID_pkcs7_signed) {
    Reject(code::kCryptEInvalidMsgType);
  }
  return cms;
}

// The first signer of a SignedData; none is rejected.
CMS_SignerInfo* FirstSigner(CMS_ContentInfo* cms) {
  STACK_OF(CMS_SignerInfo)* signers = ::CMS_get0_SignerInfos(cms);
  if (signers == nullptr || sk_CMS_SignerInfo_num(signers) == 0) {
    Reject(code::kCryptEMsgError, "no signer");
  }
  return sk_CMS_SignerInfo_value(signers, 0);
}

// The certificate of the message whose issuer name and serial number are the signer's (same
// bytes); null with last error 0 when there is none.
ossl::X509Ptr SignerCertificate(CMS_ContentInfo* cms, CMS_SignerInfo* signer) {
  ASN1_OCTET_STRING* key_id = nullptr;
  X509_NAME* issuer = nullptr;
  ASN1_INTEGER* serial = nullptr;
  SetLastCryptError(code::kSuccess);
  if (::CMS_SignerInfo_get0_signer_id(signer, &key_id, &issuer, &serial) != 1 ||
      issuer == nullptr || serial == nullptr) {
    return nullptr;
  }
  const std::string issuer_der = ossl::ToDer(issuer, ::i2d_X509_NAME);
  const std::string serial_bytes = ossl::IntegerContent(serial);
  const X509StackPtr certificates(::CMS_get1_certs(cms));
  for (int i = 0; certificates && i < sk_X509_num(certificates.get()); ++i) {
    X509* candidate = sk_X509_value(certificates.get(), i);
    if (ossl::IntegerContent(::X509_get0_serialNumber(candidate)) == serial_bytes &&
        ossl::ToDer(::X509_get_issuer_name(candidate), ::i2d_X509_NAME) == issuer_der) {
      ::X509_up_ref(candidate);
      return ossl::X509Ptr(candidate);
    }
  }
  return nullptr;
}

// GOST keys with the digest their signatures use and the identifier of such a signature; a
// SignerInfo names its signature algorithm by that identifier or by the key's own (RFC 4490,
// RFC 7091 and the TC 26 recommendations).
struct GostSuite {
  std::string_view key;
  std::string_view digest;
  std::string_view signature;
};
constexpr GostSuite kGostSuites[] = {
    {"1.2.643.2.2.19", "1.2.643.2.2.9", "1.2.643.2.2.3"},
    {"1.2.643.7.1.1.1.1", "1.2.643.7.1.1.2.2", "1.2.643.7.1.1.3.2"},
    {"1.2.643.7.1.1.1.2", "1.2.643.7.1.1.2.3", "1.2.643.7.1.1.3.3"},
};

// The digest and signature algorithms of signer must be those of certificate's GOST key: a
// signature checked under another algorithm than the key's says nothing about the key's holder.
void CheckSignerAlgorithms(CMS_SignerInfo* signer, X509* certificate) {
  X509_ALGOR* digest = nullptr;
  X509_ALGOR* signature = nullptr;
  ::CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &digest, &signature);
  ASN1_OBJECT* key = nullptr;
  ::X509_PUBKEY_get0_param(&key, nullptr, nullptr, nullptr, ::X509_get_X509_PUBKEY(certificate));
  const std::string key_oid = key != nullptr ? ossl::OidText(key) : std::string();
  for (const GostSuite& suite : kGostSuites) {
    if (suite.key != key_oid) {
      continue;
    }
    const std::string digest_oid = digest != nullptr ? ossl::OidText(digest->algorithm) : "";
    const std::string signature_oid =
        signature != nullptr ? ossl::OidText(signature->algorithm) : "";
    if (digest_oid != suite.digest ||
        (signature_oid != suite.key && signature_oid != suite.signature)) {
      Reject(code::kNteBadAlgId, "algorithms " + digest_oid + " / " + signature_oid +
                                     " do not match the key " + key_oid);
    }
  }
}

// How many attributes of nid a signer has among its signed (or unsigned) attributes, and
// whether each of them holds exactly one value.
std::pair<int, bool> AttributeCount(CMS_SignerInfo* signer, int nid, bool is_signed) {
  int count = 0;
  bool single = true;
  for (int at = -1;;) {
    at = is_signed ? ::CMS_signed_get_attr_by_NID(signer, nid, at)
                   : ::CMS_unsigned_get_attr_by_NID(signer, nid, at);
    if (at < 0) {
      return {count, single};
    }
    ++count;
    X509_ATTRIBUTE* attribute =
        is_signed ? ::CMS_signed_get_attr(signer, at) : ::CMS_unsigned_get_attr(signer, at);
    single = single && ::X509_ATTRIBUTE_count(attribute) == 1;
  }
}

// RFC 5652 sections 5.3 and 11: signed attributes are required unless the content is data; then
// contentType (equal to the eContentType) and messageDigest are there once with one value,
// signingTime at most once with one value, no countersignature is signed, and none of the
// three is among the unsigned attributes.
void CheckSignerAttributes(CMS_ContentInfo* cms, CMS_SignerInfo* signer) {
  const ASN1_OBJECT* content_type = ::CMS_get0_eContentType(cms);
  if (::CMS_signed_get_attr_count(signer) < 0) {
    if (::OBJ_obj2nid(content_type) != NID_pkcs7_data) {
      Reject(code::kNteBadSignature, "no signed attributes over a content not data");
    }
    return;
  }
  for (const int nid : {NID_pkcs9_contentType, NID_pkcs9_messageDigest, NID_pkcs9_signingTime}) {
    const auto [count, single] = AttributeCount(signer, nid, true);
    const bool required = nid != NID_pkcs9_signingTime;
    if ((required && count != 1) || count > 1 || !single ||
        AttributeCount(signer, nid, false).first != 0) {
      Reject(code::kNteBadSignature,
             std::string("attribute ") + ::OBJ_nid2sn(nid) + " not present once");
    }
  }
  if (AttributeCount(signer, NID_pkcs9_countersignature, true).first != 0) {
    Reject(code::kNteBadSignature, "countersignature among the signed attributes");
  }
  const auto* signed_type = static_cast<const ASN1_OBJECT*>(::CMS_signed_get0_data_by_OBJ(
      signer, ::OBJ_nid2obj(NID_pkcs9_contentType), -3, V_ASN1_OBJECT));
  if (signed_type == nullptr || ::OBJ_cmp(signed_type, content_type) != 0) {
    Reject(code::kNteBadSignature, "contentType attribute is not the eContentType");
  }
}

// Content for CMS_verify when the digests are known (a memory BIO needs a non-null buffer).
constexpr std::string_view kNoContent("", 0);

// The messageDigest attribute of a signer; null when it has none (or not one).
ASN1_OCTET_STRING* MessageDigest(CMS_SignerInfo* signer) {
  return static_cast<ASN1_OCTET_STRING*>(::CMS_signed_get0_data_by_OBJ(
      signer, ::OBJ_nid2obj(NID_pkcs9_messageDigest), -3, V_ASN1_OCTET_STRING));
}

// For each signer, the digest of digests that CMS_verify would compute over the content for it,
// when every signer has one: signed attributes with a messageDigest of that digest's length, and
// a digest algorithm that the first matching digest of the SignedData's own list (the one
// CMS_verify takes) has by name. Empty otherwise (the content is then hashed as usual).
std::vector<const std::string*> DigestsServing(CMS_ContentInfo* cms,
                                               const ContentDigests& digests) {
  std::vector<const std::string*> serving;
  STACK_OF(CMS_SignerInfo)* signers = ::CMS_get0_SignerInfos(cms);
  const int count = signers != nullptr ? sk_CMS_SignerInfo_num(signers) : 0;
  if (count <= 0) {
    return {};
  }
  ossl::BioPtr empty = ossl::MemoryBio(kNoContent);
  BIO* chain = empty ? ::CMS_dataInit(cms, empty.get()) : nullptr;
  if (chain == nullptr) {
    ::ERR_clear_error();
    return {};
  }
  (void)empty.release();  // now the end of chain
  const ossl::BioPtr owned_chain(chain);
  for (int i = 0; i < count; ++i) {
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, i);
    X509_ALGOR* algorithm = nullptr;
    ::CMS_SignerInfo_get0_algs(signer, nullptr, nullptr, &algorithm, nullptr);
    const int nid = algorithm != nullptr ? ::OBJ_obj2nid(algorithm->algorithm) : NID_undef;
    const ContentDigest* digest = nullptr;
    for (const ContentDigest& candidate : digests) {
      if (candidate.nid == nid) {
        digest = &candidate;
      }
    }
    const ASN1_OCTET_STRING* attribute =
        ::CMS_signed_get_attr_count(signer) >= 0 ? MessageDigest(signer) : nullptr;
    if (digest == nullptr || attribute == nullptr ||
        static_cast<size_t>(::ASN1_STRING_length(attribute)) != digest->value.size()) {
      return {};
    }
    const EVP_MD* first = nullptr;
    for (BIO* md_bio = chain; (md_bio = ::BIO_find_type(md_bio, BIO_TYPE_MD)) != nullptr;
         md_bio = ::BIO_next(md_bio)) {
      const EVP_MD* md = nullptr;
      BIO_get_md(md_bio, &md);
      if (md != nullptr && (::EVP_MD_get_type(md) == nid || ::EVP_MD_get_pkey_type(md) == nid)) {
        first = md;
        break;
      }
    }
    if (first == nullptr || ::EVP_MD_get_type(first) != nid) {
      return {};
    }
    serving.push_back(&digest->value);
  }
  ::ERR_clear_error();
  return serving;
}

// Checks the signature of the first signer over content with its certificate (the chain is
// left to the chain builder), then every signer's attributes and algorithms. With digests that
// serve every signer (DigestsServing), CMS_verify checks everything but the content, then each
// signer's messageDigest is compared with its digest, failing as CMS_verify fails on a changed
// content.
void CheckSignature(CMS_ContentInfo* cms, X509* certificate, std::string_view content,
                    const ContentDigests* digests) {
  const X509StackPtr signers(sk_X509_new_null());
  if (!signers || sk_X509_push(signers.get(), certificate) == 0) {
    Reject(code::kEOutOfMemory);
  }
  ::X509_up_ref(certificate);
  const std::vector<const std::string*> serving =
      digests != nullptr ? DigestsServing(cms, *digests) : std::vector<const std::string*>();
  const ossl::BioPtr in = ossl::MemoryBio(serving.empty() ? content : kNoContent);
  const unsigned flags = CMS_BINARY | CMS_NO_SIGNER_CERT_VERIFY |
                         (serving.empty() ? 0U : static_cast<unsigned>(CMS_NO_CONTENT_VERIFY));
  ::ERR_clear_error();
  if (::CMS_verify(cms, signers.get(), nullptr, in.get(), nullptr, flags) != 1) {
    Reject(code::kNteBadSignature, ossl::TakeOpenSslError());
  }
  STACK_OF(CMS_SignerInfo)* infos = ::CMS_get0_SignerInfos(cms);
  for (int i = 0; i < sk_CMS_SignerInfo_num(infos); ++i) {
    CMS_SignerInfo* info = sk_CMS_SignerInfo_value(infos, i);
    CheckSignerAttributes(cms, info);
    X509* signer_certificate = nullptr;
    ::CMS_SignerInfo_get0_algs(info, nullptr, &signer_certificate, nullptr, nullptr);
    CheckSignerAlgorithms(info, signer_certificate != nullptr ? signer_certificate : certificate);
  }
  for (size_t i = 0; i < serving.size(); ++i) {
    const ASN1_OCTET_STRING* expected =
        MessageDigest(sk_CMS_SignerInfo_value(infos, static_cast<int>(i)));
    if (std::string_view(reinterpret_cast<const char*>(::ASN1_STRING_get0_data(expected)),
                         static_cast<size_t>(::ASN1_STRING_length(expected))) != *serving[i]) {
      // What CMS_SignerInfo_verify_content and CMS_verify report for a changed content.
      ERR_raise(ERR_LIB_CMS, CMS_R_VERIFICATION_FAILURE);
      ERR_raise(ERR_LIB_CMS, CMS_R_CONTENT_VERIFY_ERROR);
      Reject(code::kNteBadSignature, ossl::TakeOpenSslError());
    }
  }
}

}  // namespace

std::string SignDetached(const Certificate& certificate, const PrivateKey& key,
                         std::string_view content) {
  ossl::CmsPtr cms(::CMS_sign(nullptr, nullptr, nullptr, nullptr, kCmsFlags | CMS_PARTIAL));
  if (!cms) {
    RaiseCryptErrorWithOpenSsl(code::kCryptEMsgError);
  }
  CMS_SignerInfo* signer = ::CMS_add1_signer(
      cms.get(), CertificateAccess::Native(certificate), PrivateKeyAccess::Native(key),
      engine::SigningDigest(PrivateKeyAccess::Native(key)), kCmsFlags);
  if (signer == nullptr) {
    RaiseCryptErrorWithOpenSsl(code::kNteBadKey);
  }
  AddSigningTime(signer);
  return ossl::FinalCmsDer(cms.get(), content, kCmsFlags);
}

SignedDataCheck CheckDetached(std::string_view signature, std::string_view content,
                              const ContentDigests* digests) {
  try {
    const ossl::CmsPtr cms = ParseSignedData(signature);
    CMS_SignerInfo* signer = FirstSigner(cms.get());
    const ossl::X509Ptr certificate = SignerCertificate(cms.get(), signer);
    if (!certificate) {
      return SignedDataCheck::kNoSignerCertificate;
    }
    CheckSignature(cms.get(), certificate.get(), content, digests);
    return SignedDataCheck::kValid;
  } catch (const Rejected&) {
    return SignedDataCheck::kInvalid;
  }
}

}  // namespace lyr::crypt
