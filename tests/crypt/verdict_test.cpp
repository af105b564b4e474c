// The verdict of a signature check over mutations of a genuine GOST 2012 chain: never "valid"
// unless the mutation is harmless, and openssl agrees wherever it has a verdict.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <cctype>
#include <functional>

#include "crypt/crypt_test.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/platform/der_reader.h"
#include "rtl/hex.h"
#include "rtl/text.h"

namespace lyr::crypt {
namespace {

using test::PkiParty;
using test::VerdictPki;
using Change = std::function<void(CertificateSpec&)>;

constexpr int64_t kDay = test::kDay;
const ExtensionInfo kUnknown{"1.2.3.4.5", true, std::string("\x05\x00", 2)};

const VerdictPki& Pki() {
  static const VerdictPki pki;
  return pki;
}

CertStore Store(const char* name) {
  return CertStore::OpenSystem(StoreLocation::kCurrentUser, name);
}

PkiParty Signer(const PkiParty& issuer, const Change& change = {}) {
  CertificateSpec fields = Pki().Spec("CN=Verdict Signer,O=Lyr", "0D", false);
  if (change) {
    change(fields);
  }
  return VerdictPki::Issue(fields, issuer);
}

void PlantCrl(const CrlSpec& fields, const PkiParty& issuer) {
  Store("CA").AddCrl(IssueCrl(fields, issuer.certificate, issuer.key), AddDisposition::kAlways);
}

// inter replaced in "CA" by a CA of changed fields (and its list), under root when given.
PkiParty ChangedInter(const Change& change, const PkiParty& root = Pki().root) {
  CertificateSpec fields = Pki().Spec("CN=Verdict Inter CA,O=Lyr", "03", true);
  change(fields);
  const PkiParty inter = VerdictPki::Issue(fields, root);
  Store("CA").Delete(Pki().inter.certificate.Thumbprint());
  Store("CA").Add(inter.certificate, AddDisposition::kReplaceExisting);
  PlantCrl(Pki().InterCrlSpec(), inter);
  return Signer(inter);
}

// root replaced in "ROOT" by a root of changed fields, with an inter under it.
PkiParty ChangedRoot(const Change& change) {
  CertificateSpec fields = Pki().Spec("CN=Verdict Root CA,O=Lyr", "04", true);
  change(fields);
  const PkiParty root{Pki().root.key, IssueSelfSigned(fields, Pki().root.key)};
  Store("ROOT").Delete(Pki().root.certificate.Thumbprint());
  Store("ROOT").Add(root.certificate, AddDisposition::kReplaceExisting);
  PlantCrl({Pki().now - kDay, Pki().now + 30 * kDay, {}, 2, true, {}}, root);
  return ChangedInter([](CertificateSpec&) {}, root);
}

Change NotBefore(const char* text) {
  return [text](CertificateSpec& fields) { fields.not_before_text = text; };
}

// Replaces the last occurrence of from (the SignerInfo's, after the certificates) by to.
std::string SwapLast(std::string bytes, const std::string& from, const std::string& to) {
  bytes.replace(bytes.rfind(from), from.size(), to);
  return bytes;
}
// Replaces the first occurrence of from (the eContentType) by to.
std::string SwapFirst(std::string bytes, const std::string& from, const std::string& to) {
  bytes.replace(bytes.find(from), from.size(), to);
  return bytes;
}

enum class Peer : uint8_t { kNone, kVerify, kCms };

struct Mutation {
  std::string name;
  std::function<PkiParty()> arrange;  // after the genuine trust; returns who signs
  int code;                           // -1: valid
  std::string message;                // exact; for 22 a part of the last error's text
  Peer peer = Peer::kVerify;
  std::function<std::string(std::string)> tamper = {};
  std::string content = "document";  // what is checked; "document" is signed
};

const std::string kData = "document";
const std::string kChainError = rtl::Msg(u8"Ошибка при построении цепочки");
const std::string kNoInter = rtl::Msg(u8"Не найден сертификат УЦ [Verdict Inter CA]");
const std::string kNoRoot = rtl::Msg(u8"Не найден сертификат УЦ [Verdict Root CA]");
const std::string kNoCrl =
    rtl::Msg(u8"Список отозванных сертификатов для [Verdict Inter CA] не найден");
const std::string kRevoked = rtl::Msg(u8"На момент подписания [");
const std::string kOidData("\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x01", 11);
const std::string kOidSignedData("\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02", 11);
const std::string kOid256("\x06\x08\x2A\x85\x03\x07\x01\x01\x01\x01", 10);
const std::string kOid512("\x06\x08\x2A\x85\x03\x07\x01\x01\x01\x02", 10);

const PkiParty& Genuine() {
  return Pki().signer;
}
CrlSpec Ahead(CrlSpec fields) {
  fields.this_update += 3 * 365 * kDay;
  fields.next_update += 3 * 365 * kDay;
  return fields;
}

const Mutation kMutations[] = {
    {"genuine", Genuine, -1, "", Peer::kCms},
    {"non-critical unknown extension",
     [] {
       return Signer(Pki().inter, [](CertificateSpec& f) {
         f.extra_extensions = {{"1.2.3.4.5", false, std::string("\x05\x00", 2)}};
       });
     },
     -1, ""},
    {"list dated ahead beside the current",
     [] {
       PlantCrl(Ahead({Pki().now, Pki().now + 30 * kDay, {}, 9, true, {}}), Pki().inter);
       return Pki().signer;
     },
     -1, ""},
    {"newer list of the inter's name by another key",
     [] {
       const PkiParty other =
           VerdictPki::Issue(Pki().Spec("CN=Verdict Inter CA,O=Lyr", "05", true), Pki().root);
       PlantCrl({Pki().now, Pki().now + 30 * kDay, {{"0D", Pki().now - kDay}}, 9, true, {}}, other);
       return Pki().signer;
     },
     -1, ""},
    {"signer: unknown critical extension",
     [] {
       return Signer(Pki().inter, [](CertificateSpec& f) { f.extra_extensions = {kUnknown}; });
     },
     33, kChainError},
    {"signer: extension twice",
     [] {
       return Signer(Pki().inter, [](CertificateSpec& f) {
         f.extra_extensions = {{"2.5.29.15", false, std::string("\x03\x02\x07\x80", 4)}};
       });
     },
     33, kChainError},
    {"signer: notBefore month 13", [] { return Signer(Pki().inter, NotBefore("251301000000Z")); },
     33, kChainError},
    {"signer: notBefore without seconds",
     [] { return Signer(Pki().inter, NotBefore("2501010000Z")); }, 33, kChainError},
    {"signer: notBefore with a fraction",
     [] { return Signer(Pki().inter, NotBefore("20250101000000.5Z")); }, 33, kChainError},
    {"signer: notBefore with an offset",
     [] { return Signer(Pki().inter, NotBefore("250101000000+0300")); }, 33, kChainError},
    {"inter: unknown critical extension",
     [] { return ChangedInter([](CertificateSpec& f) { f.extra_extensions = {kUnknown}; }); }, 35,
     kNoInter},
    {"inter: notBefore month 13", [] { return ChangedInter(NotBefore("251301000000Z")); }, 35,
     kNoInter},
    {"inter: not a CA", [] { return ChangedInter([](CertificateSpec& f) { f.ca = false; }); }, 35,
     kNoInter},
    {"inter: no keyCertSign",
     [] { return ChangedInter([](CertificateSpec& f) { f.key_usage = key_usage::kCrlSign; }); }, 35,
     kNoInter},
    {"inter: no cRLSign",
     [] { return ChangedInter([](CertificateSpec& f) { f.key_usage = key_usage::kKeyCertSign; }); },
     34, kNoCrl},
    {"root: unknown critical extension",
     [] { return ChangedRoot([](CertificateSpec& f) { f.extra_extensions = {kUnknown}; }); }, 35,
     kNoRoot},
    {"root: path length 0 over inter",
     [] { return ChangedRoot([](CertificateSpec& f) { f.path_length = 0; }); }, 35, kNoRoot},
    {"inter's list: unknown critical extension",
     [] {
       CrlSpec fields = Pki().InterCrlSpec();
       fields.extra_extensions = {kUnknown};
       Store("CA").AddCrl(IssueCrl(fields, Pki().inter.certificate, Pki().inter.key),
                          AddDisposition::kReplaceExisting);
       return Pki().signer;
     },
     34, kNoCrl},
    {"inter's only list dated ahead",
     [] {
       Store("CA").AddCrl(
           IssueCrl(Ahead(Pki().InterCrlSpec()), Pki().inter.certificate, Pki().inter.key),
           AddDisposition::kReplaceExisting);
       return Pki().signer;
     },
     34, kNoCrl},
    {"revoked: an older list without it beside",
     [] {
       PlantCrl({Pki().now - 2 * kDay, Pki().now + 30 * kDay, {}, 0, true, {}}, Pki().inter);
       return Pki().revoked;
     },
     21, kRevoked},
    {"revoked: a list dated ahead without it beside",
     [] {
       PlantCrl(Ahead({Pki().now, Pki().now + 30 * kDay, {}, 9, true, {}}), Pki().inter);
       return Pki().revoked;
     },
     21, kRevoked},
    {"eContentType id-signedData, contentType data", Genuine, 22, "eContentType", Peer::kNone,
     [](std::string s) { return SwapFirst(std::move(s), kOidData, kOidSignedData); }},
    {"signatureAlgorithm of 2012-512", Genuine, 22, "do not match the key", Peer::kNone,
     [](std::string s) { return SwapLast(std::move(s), kOid256, kOid512); }},
    {"content changed", Genuine, 22, "", Peer::kCms, {}, "document!"},
};

class VerdictTest : public test::PkiSandbox, public testing::WithParamInterface<Mutation> {
 protected:
  // openssl's verdict on the chain (and lists) of the stores, or on the signature.
  bool OpenSslAccepts(Peer peer, const Certificate& signer, const std::string& signature) {
    std::string roots, cas, crls;
    for (const Certificate& c : Store("ROOT").Certificates())
      roots += CertificateToPem(c);
    for (const Certificate& c : Store("CA").Certificates())
      cas += CertificateToPem(c);
    for (const Crl& c : Store("CA").Crls())
      crls += CrlToPem(c);
    WriteFile("roots.pem", roots);
    WriteFile("cas.pem", cas);
    WriteFile("all.pem", roots + cas + crls);  // openssl cms takes no untrusted certificates
    WriteFile("crls.pem", crls);
    WriteFile("signer.pem", CertificateToPem(signer));
    WriteFile("sig.der", signature);
    WriteFile("content", GetParam().content);
    return OpenSsl(peer == Peer::kCms
                       ? "cms -verify -binary -inform DER -in sig.der -content content -CAfile "
                         "all.pem -crl_check_all -out /dev/null"
                       : "verify -CAfile roots.pem -untrusted cas.pem -crl_check_all -CRLfile "
                         "crls.pem signer.pem") == 0;
  }
};

TEST_P(VerdictTest, NeverValidUnlessHarmlessAndOpenSslAgrees) {
  const Mutation& m = GetParam();
  Pki().Trust();
  const PkiParty signer = m.arrange();
  std::string signature = SignDetached(kData, signer.certificate, signer.key);
  if (m.tamper) {
    signature = m.tamper(signature);
  }
  CCryptoProvider provider;
  provider.AcquireVerifyContext(kGostProviderType, false);
  CCryptoSignatureConfig config(&provider, 2,
                                verify_flags::kCheckChain | verify_flags::kRevocationCheck, 2);
  CCryptoSignature check;
  check.Open(&config);
  const test_util::Coded verdict =
      test_util::CodedOf([&] { check.Verify(m.content, signature, 0); });
  EXPECT_EQ(verdict.code, m.code) << verdict.message;
  if (m.code == 22) {
    EXPECT_NE(verdict.last_error_text.find(m.message), std::string::npos)
        << verdict.last_error_text;
  } else if (m.code == 21) {
    EXPECT_EQ(verdict.message.rfind(m.message, 0), 0u) << verdict.message;
  } else {
    EXPECT_EQ(verdict.message, m.message);
  }
  if (m.peer != Peer::kNone) {
    EXPECT_EQ(OpenSslAccepts(m.peer, signer.certificate, signature), m.code == -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Mutations, VerdictTest, testing::ValuesIn(kMutations),
                         [](const testing::TestParamInfo<Mutation>& info) {
                           std::string name;
                           for (const char c : info.param.name) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

// der with every length but 0 in the long form of four octets: BER, not DER.
std::string Berify(std::string_view der) {
  std::string ber;
  der::Reader reader(der);
  while (const std::optional<der::Element> element = reader.Next()) {
    const std::string contents =
        (element->tag & 0x20) != 0 ? Berify(element->contents) : std::string(element->contents);
    ber += static_cast<char>(element->tag);
    ber += contents.empty() ? '\0' : '\x84';  // OpenSSL wants contents after a long form
    for (int shift = 24; shift >= 0 && !contents.empty(); shift -= 8) {
      ber += static_cast<char>((contents.size() >> shift) & 0xFF);
    }
    ber += contents;
  }
  return ber;
}

std::string Sha1Hex(const std::string& bytes) {
  unsigned char digest[SHA_DIGEST_LENGTH];
  ::SHA1(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
  return rtl::BytesToHexPlain(std::string_view(reinterpret_cast<char*>(digest), sizeof digest));
}

class BerTest : public test::Sandbox {};

TEST_F(BerTest, CertificatesAreKeptAsDerAndBerEntriesAreReKeyed) {
  const Certificate& signer = Pki().signer.certificate;
  const std::vector<Certificate> chain = {Pki().root.certificate, Pki().inter.certificate, signer};
  const std::string ber = Berify(signer.Der());
  EXPECT_EQ(Certificate::FromDer(ber).Der(), signer.Der());
  CCryptoAPI20Utils::ImportChain(nullptr, 2, Berify(MakeCertificatesPkcs7(chain)), "");
  CCryptoAPI20Utils::ImportChain(nullptr, 2, MakeCertificatesPkcs7(chain), "");
  EXPECT_EQ(test_util::ThumbprintsOf("CA"),
            (std::set{Pki().root.certificate.Thumbprint(), Pki().inter.certificate.Thumbprint()}));
  // An entry holding BER bytes under their thumbprint is read as DER, re-keyed on the next add.
  const std::filesystem::path folder = Store("addressbook").Folder();
  std::filesystem::remove(folder / (signer.Thumbprint() + ".cer"));
  std::ofstream(folder / (Sha1Hex(ber) + ".cer"), std::ios::binary) << ber;
  EXPECT_EQ(test_util::ThumbprintsOf("addressbook"), std::set{signer.Thumbprint()});
  Store("addressbook").Add(signer, AddDisposition::kUseExisting);
  EXPECT_TRUE(std::filesystem::exists(folder / (signer.Thumbprint() + ".cer")));
  EXPECT_FALSE(std::filesystem::exists(folder / (Sha1Hex(ber) + ".cer")));
}

}  // namespace
}  // namespace lyr::crypt
