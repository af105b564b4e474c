// The verdict of a signature check over mutations of a genuine GOST 2012 chain: never "valid"
// unless the mutation is harmless, and openssl agrees wherever it has a verdict.
#include <gtest/gtest.h>
#include <openssl/sha.h>

#include <cctype>

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

constexpr int64_t kDay = test::kDay;
const ExtensionInfo kUnknown{"1.2.3.4.5", true, std::string("\x05\x00", 2)};

const VerdictPki& Pki() {
  static const VerdictPki pki;
  return pki;
}
CertStore Store(const char* name) {
  return CertStore::OpenSystem(StoreLocation::kCurrentUser, name);
}

// What a mutation changes in the fields of one certificate of the chain.
struct Fields {
  std::vector<ExtensionInfo> extra = {};
  std::string not_before = {};
  bool not_ca = false;
  int key_usage = -1, path_length = -1;
  void ApplyTo(CertificateSpec& f) const {
    f.extra_extensions = extra;
    f.not_before_text = not_before;
    f.ca = f.ca && !not_ca;
    f.key_usage = key_usage >= 0 ? static_cast<uint16_t>(key_usage) : f.key_usage;
    f.path_length = path_length;
  }
};
enum class Target : uint8_t { kNone, kSigner, kInter, kRoot };
constexpr Target kS = Target::kSigner, kI = Target::kInter, kR = Target::kRoot;
enum class Lists : uint8_t {
  kGenuine,
  kCritical,
  kOnlyAhead,
  kAheadBeside,
  kOlderBeside,
  kForeign
};
enum class Tamper : uint8_t { kNone, kContentType, kAlgorithm, kContent };
enum class Peer : uint8_t { kVerify, kCms, kNone };

struct Mutation {
  const char* name;
  Target target = Target::kNone;
  Fields fields = {};
  Lists lists = Lists::kGenuine;
  bool revoked = false;
  Tamper tamper = Tamper::kNone;
  int code = -1;             // -1: valid
  std::string message = {};  // exact; for 22 a part of the last error's text; for 21 its start
  Peer peer = Peer::kVerify;
};

const std::string kChain = rtl::Msg(u8"Ошибка при построении цепочки");
const std::string kNoInter = rtl::Msg(u8"Не найден сертификат УЦ [Verdict Inter CA]");
const std::string kNoRoot = rtl::Msg(u8"Не найден сертификат УЦ [Verdict Root CA]");
const std::string kNoCrl =
    rtl::Msg(u8"Список отозванных сертификатов для [Verdict Inter CA] не найден");
const std::string kRevoked = rtl::Msg(u8"На момент подписания [");

// One mutation a line.
// clang-format off
const Mutation kMutations[] = {
    {.name = "genuine", .peer = Peer::kCms},
    {.name = "signer_noncritical_unknown", .target = kS, .fields = {.extra = {{"1.2.3.4.5", false, std::string("\x05\x00", 2)}}}},
    {.name = "list_ahead_beside_current", .lists = Lists::kAheadBeside},
    {.name = "newer_list_by_another_key", .lists = Lists::kForeign},
    {.name = "signer_critical_unknown", .target = kS, .fields = {.extra = {kUnknown}}, .code = 33, .message = kChain},
    {.name = "signer_extension_twice", .target = kS, .fields = {.extra = {{"2.5.29.15", false, std::string("\x03\x02\x07\x80", 4)}}}, .code = 33, .message = kChain},
    {.name = "signer_month_13", .target = kS, .fields = {.not_before = "251301000000Z"}, .code = 33, .message = kChain},
    {.name = "signer_no_seconds", .target = kS, .fields = {.not_before = "2501010000Z"}, .code = 33, .message = kChain},
    {.name = "signer_fraction", .target = kS, .fields = {.not_before = "20250101000000.5Z"}, .code = 33, .message = kChain},
    {.name = "signer_offset", .target = kS, .fields = {.not_before = "250101000000+0300"}, .code = 33, .message = kChain},
    {.name = "inter_critical_unknown", .target = kI, .fields = {.extra = {kUnknown}}, .code = 35, .message = kNoInter},
    {.name = "inter_month_13", .target = kI, .fields = {.not_before = "251301000000Z"}, .code = 35, .message = kNoInter},
    {.name = "inter_not_ca", .target = kI, .fields = {.not_ca = true}, .code = 35, .message = kNoInter},
    {.name = "inter_no_keyCertSign", .target = kI, .fields = {.key_usage = key_usage::kCrlSign}, .code = 35, .message = kNoInter},
    {.name = "inter_no_cRLSign", .target = kI, .fields = {.key_usage = key_usage::kKeyCertSign}, .code = 34, .message = kNoCrl},
    {.name = "root_critical_unknown", .target = kR, .fields = {.extra = {kUnknown}}, .code = 35, .message = kNoRoot},
    {.name = "root_path_length_0", .target = kR, .fields = {.path_length = 0}, .code = 35, .message = kNoRoot},
    {.name = "list_critical_unknown", .lists = Lists::kCritical, .code = 34, .message = kNoCrl},
    {.name = "only_list_ahead", .lists = Lists::kOnlyAhead, .code = 34, .message = kNoCrl},
    {.name = "revoked_older_list_beside", .lists = Lists::kOlderBeside, .revoked = true, .code = 21, .message = kRevoked},
    {.name = "revoked_list_ahead_beside", .lists = Lists::kAheadBeside, .revoked = true, .code = 21, .message = kRevoked},
    {.name = "eContentType_not_contentType", .tamper = Tamper::kContentType, .code = 22, .message = "eContentType", .peer = Peer::kNone},
    {.name = "algorithm_2012_512", .tamper = Tamper::kAlgorithm, .code = 22, .message = "do not match the key", .peer = Peer::kNone},
    {.name = "content_changed", .tamper = Tamper::kContent, .code = 22, .peer = Peer::kCms},
};
// clang-format on

void PlantCrl(CrlSpec fields, const PkiParty& issuer, AddDisposition how = AddDisposition::kAlways,
              int64_t ahead = 0) {
  fields.this_update += ahead;
  fields.next_update += ahead;
  Store("CA").AddCrl(IssueCrl(fields, issuer.certificate, issuer.key), how);
}

// Puts the mutation's chain and lists into the stores; returns the party that signs.
PkiParty Arrange(const Mutation& m) {
  Pki().Trust();
  PkiParty root = Pki().root, inter = Pki().inter;
  CertificateSpec fields = Pki().FieldsOf("CN=Verdict Root CA,O=Lyr", "04", true);
  if (m.target == Target::kRoot) {
    m.fields.ApplyTo(fields);
    root.certificate = IssueSelfSigned(fields, root.key);
    Store("ROOT").Delete(Pki().root.certificate.Thumbprint());
    Store("ROOT").Add(root.certificate, AddDisposition::kNew);
  }
  if (m.target == Target::kRoot || m.target == Target::kInter) {
    fields = Pki().FieldsOf("CN=Verdict Inter CA,O=Lyr", "03", true);
    (m.target == Target::kInter ? m.fields : Fields{}).ApplyTo(fields);
    inter = VerdictPki::Issue(fields, root);
    Store("CA").Delete(Pki().inter.certificate.Thumbprint());
    Store("CA").Add(inter.certificate, AddDisposition::kNew);
    PlantCrl(Pki().InterCrlSpec(), inter);
  }
  const CrlSpec empty{Pki().now - 2 * kDay, Pki().now + 30 * kDay, {}, 2, true, {}};
  const int64_t years = 3 * 365 * kDay;
  CrlSpec critical = Pki().InterCrlSpec();
  critical.extra_extensions = {kUnknown};
  switch (m.lists) {
    case Lists::kGenuine:
      break;
    case Lists::kCritical:
      PlantCrl(critical, inter, AddDisposition::kReplaceExisting);
      break;
    case Lists::kOnlyAhead:
      PlantCrl(Pki().InterCrlSpec(), inter, AddDisposition::kReplaceExisting, years);
      break;
    case Lists::kAheadBeside:
      PlantCrl(empty, inter, AddDisposition::kAlways, years);
      break;
    case Lists::kOlderBeside:
      PlantCrl(empty, inter);
      break;
    case Lists::kForeign:
      PlantCrl({Pki().now, Pki().now + 30 * kDay, {{"0D", Pki().now - kDay}}, 9, true, {}},
               VerdictPki::Issue(Pki().FieldsOf("CN=Verdict Inter CA,O=Lyr", "05", true), root));
      break;
  }
  fields = Pki().FieldsOf("CN=Verdict Signer,O=Lyr", "0D", false);
  (m.target == Target::kSigner ? m.fields : Fields{}).ApplyTo(fields);
  return m.revoked ? Pki().revoked : VerdictPki::Issue(fields, inter);
}

class VerdictTest : public test::PkiSandbox, public testing::WithParamInterface<Mutation> {
 protected:
  // openssl's verdict on the chain of the stores with their lists, or on the signature.
  bool OpenSslAccepts(Peer peer, const Certificate& signer) {
    std::string roots, cas, crls;
    for (const Certificate& c : Store("ROOT").Certificates()) {
      roots += CertificateToPem(c);
    }
    for (const Certificate& c : Store("CA").Certificates()) {
      cas += CertificateToPem(c);
    }
    for (const Crl& c : Store("CA").Crls()) {
      crls += CrlToPem(c);
    }
    WriteFile("signer.pem", CertificateToPem(signer));
    return OpenSsl(peer == Peer::kCms
                       ? "cms -verify -binary -inform DER -in sig.der -content "
                         "content -crl_check_all -out /dev/null -CAfile " +
                             WriteFile("all.pem", roots + cas + crls)
                       : "verify -crl_check_all -untrusted " + WriteFile("cas.pem", cas) +
                             " -CAfile " + WriteFile("roots.pem", roots) + " -CRLfile " +
                             WriteFile("crls.pem", crls) + " signer.pem") == 0;
  }
};

TEST_P(VerdictTest, NeverValidUnlessHarmlessAndOpenSslAgrees) {
  const Mutation& m = GetParam();
  const PkiParty signer = Arrange(m);
  std::string signature = SignDetached("document", signer.certificate, signer.key);
  // The eContentType (the first id-data) becomes id-signedData; the SignerInfo's signature
  // algorithm (the last 2012-256 identifier, after the certificate) becomes 2012-512's.
  const std::string data = "\x06\x09\x2A\x86\x48\x86\xF7\x0D\x01\x07\x01";
  const std::string gost = "\x06\x08\x2A\x85\x03\x07\x01\x01\x01\x01";
  if (m.tamper == Tamper::kContentType) {
    signature[signature.find(data) + data.size() - 1] = '\x02';
  } else if (m.tamper == Tamper::kAlgorithm) {
    signature[signature.rfind(gost) + gost.size() - 1] = '\x02';
  }
  const std::string content = m.tamper == Tamper::kContent ? "document!" : "document";
  WriteFile("sig.der", signature);
  WriteFile("content", content);
  CCryptoProvider provider;
  provider.AcquireVerifyContext(kGostProviderType, false);
  CCryptoSignatureConfig config(&provider, StoreLocation::kCurrentUser,
                                verify_flags::kCheckChain | verify_flags::kRevocationCheck, 2);
  CCryptoSignature check;
  check.Open(&config);
  const test_util::Coded verdict = test_util::CodedOf([&] { check.Verify(content, signature, 0); });
  EXPECT_EQ(verdict.code, m.code) << verdict.message;
  if (m.code == 22) {
    EXPECT_NE(verdict.last_error_text.find(m.message), std::string::npos)
        << verdict.last_error_text;
  } else {
    EXPECT_EQ(verdict.message.substr(0, m.code == 21 ? m.message.size() : std::string::npos),
              m.message);
  }
  if (m.peer != Peer::kNone) {
    EXPECT_EQ(OpenSslAccepts(m.peer, signer.certificate), m.code == -1);
  }
}

INSTANTIATE_TEST_SUITE_P(Mutations, VerdictTest, testing::ValuesIn(kMutations),
                         [](const auto& info) { return std::string(info.param.name); });

// der with every length but 0 in the long form of four octets (OpenSSL wants contents after a
// long form): BER, not DER.
std::string Berify(std::string_view der) {
  std::string ber;
  der::Reader reader(der);
  while (const std::optional<der::Element> element = reader.Next()) {
    const std::string contents =
        (element->tag & 0x20) != 0 ? Berify(element->contents) : std::string(element->contents);
    ber += static_cast<char>(element->tag);
    ber += contents.empty() ? '\0' : '\x84';
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
  CCryptoAPI20Utils::ImportChain(nullptr, StoreLocation::kCurrentUser,
                                 Berify(MakeCertificatesPkcs7(chain)), "");
  CCryptoAPI20Utils::ImportChain(nullptr, StoreLocation::kCurrentUser, MakeCertificatesPkcs7(chain),
                                 "");
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
