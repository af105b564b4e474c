// CMS envelopes: round trips, interop with openssl cms both ways, the RFC 4490 example, and
// refusal of mutated real envelopes before the engine sees them.
#include "crypt/platform/envelope.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <span>
#include <vector>

#include "crypt/crypt_test.h"
#include "crypt/platform/content_stream.h"
#include "crypt/platform/der_reader.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/pki_builder.h"

namespace lyr::crypt {
namespace {

using test::SharedPki;

struct Failure {
  uint32_t code = 0;
  std::string message;
};

template <typename Body>
Failure FailureOf(Body&& body) {
  const std::optional<ECryptError> error = test::Raised<ECryptError>(body);
  return error ? Failure{error->ErrorCode(), error->Message()} : Failure{};
}

class EnvelopeTest : public test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    test::InstallSigner(SharedPki().user_party, "user-key");
  }

  const Certificate& user_ = SharedPki().user_party.certificate;
  const PrivateKey& user_key_ = SharedPki().user_party.key;
  CertStore my_ = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
};

TEST_F(EnvelopeTest, DecryptsWhatItEncryptedWithGost28147CryptoProA) {
  for (const size_t size : {0, 1, 8, 1000, 300000}) {
    const std::string content = test::Content(size);
    const std::string envelope = EncryptEnvelope(user_, content);
    EXPECT_EQ(DecryptEnvelope(envelope, my_), content) << size;
    EXPECT_EQ(InspectEnvelope(envelope).content_encryption, kOidGost28147);
    EXPECT_EQ(InspectEnvelope(envelope).parameter_set, kOidCryptoProA);
  }
  EXPECT_NE(EncryptEnvelope(user_, "same"), EncryptEnvelope(user_, "same"));
}

TEST_F(EnvelopeTest, OpenSslDecryptsOurEnvelopesAndWeDecryptItsOwn) {
  const std::string content = "Interop content\r\nwith CR LF and \x00 byte";
  const std::string file = WriteFile("ours.p7m", EncryptEnvelope(user_, content));
  const std::string out = PathOf("plain.out");
  ASSERT_EQ(test::RunOpenSsl("cms -decrypt -binary -inform DER -in '" + file +
                             "' -recip user.pem -inkey user.key -out '" + out + "'"),
            0);
  EXPECT_EQ(test::ReadAll(out), content);
  std::string printed;
  ASSERT_EQ(test::RunOpenSsl("cms -cmsout -print -inform DER -in '" + file + "'", &printed), 0);
  EXPECT_NE(printed.find("id-Gost28147-89-CryptoPro-A-ParamSet"), std::string::npos) << printed;
  const std::string plain = WriteFile("plain.txt", std::string(5000, 'x'));
  const std::string theirs = PathOf("theirs.p7m");
  ASSERT_EQ(test::RunOpenSsl("cms -encrypt -gost89 -binary -outform DER -in '" + plain +
                             "' -out '" + theirs + "' user.pem"),
            0);
  EXPECT_EQ(DecryptEnvelope(test::ReadAll(theirs), my_), std::string(5000, 'x'));
}

// An engine loaded under CRYPT_PARAMS would use another S-box: the test reruns itself under it.
TEST_F(EnvelopeTest, EngineLoadedUnderForeignCryptParamsRefusesToEncrypt) {
  if (std::getenv("CRYPT_PARAMS") == nullptr) {
    const std::string command =
        "CRYPT_PARAMS=id-Gost28147-89-CryptoPro-B-ParamSet /proc/" + std::to_string(::getpid()) +
        "/exe --gtest_filter=EnvelopeTest.EngineLoadedUnderForeignCryptParamsRefusesToEncrypt "
        ">/dev/null 2>&1";
    EXPECT_EQ(test::RunCommand(command), 0);
    return;
  }
  const Failure failure = FailureOf([&] { (void)EncryptEnvelope(user_, "x"); });
  EXPECT_EQ(failure.code, code::kCryptEUnknownAlgo);
  EXPECT_NE(failure.message.find("is CRYPT_PARAMS set in the environment?"), std::string::npos)
      << failure.message;
}

TEST_F(EnvelopeTest, OnlyTheRecipientsBoundKeyOpensAnEnvelope) {
  const std::string envelope = EncryptEnvelope(user_, "secret");
  EXPECT_EQ(
      FailureOf([&] { (void)DecryptEnvelope(envelope, user_, SharedPki().inter_party.key); }).code,
      code::kNteBadData)
      << "a wrong key is an error, not random bytes";
  const Certificate& inter = SharedPki().inter_party.certificate;
  const std::string for_inter = EncryptEnvelope(inter, "not for us");
  const Failure failure = FailureOf([&] { (void)DecryptEnvelope(for_inter, my_); });
  EXPECT_EQ(failure.code, code::kCryptENoDecryptCert);
  EXPECT_EQ(failure.message,
            "0x8009200C (-2146885620): Cannot find the certificate and private key to use for "
            "decryption.");
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(for_inter, user_, user_key_); }).code,
            code::kCryptERecipientNotFound);
  my_.Add(user_, AddDisposition::kReplaceExisting);  // drops the binding
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(envelope, my_); }).code,
            code::kCryptENoDecryptCert);
}

// A DER editor: rewrites the element at a path of child indices and fixes the lengths around it.
std::string Tlv(uint8_t tag, std::string_view contents) {
  std::string out(1, static_cast<char>(tag));
  const size_t n = contents.size();
  if (n < 0x80) {
    out += static_cast<char>(n);
  } else if (n < 0x100) {
    out += '\x81';
    out += static_cast<char>(n);
  } else {
    out += '\x82';
    out += static_cast<char>(n >> 8);
    out += static_cast<char>(n & 0xFF);
  }
  return out.append(contents);
}

using Edit = std::function<std::string(uint8_t tag, std::string_view contents)>;

std::string EditAt(std::string_view level, std::span<const int> path, const Edit& edit) {
  der::Reader reader(level);
  std::string out;
  for (int index = 0; !reader.AtEnd(); ++index) {
    const char* start = reader.Position();
    const der::Element element = reader.Next().value();
    if (index != path.front()) {
      out.append(start, reader.Position());
    } else if (path.size() == 1) {
      out += edit(element.tag, element.contents);
    } else {
      const bool bits = element.tag == der::kBitString;
      const std::string inner =
          EditAt(element.contents.substr(bits ? 1 : 0), path.subspan(1), edit);
      out += Tlv(element.tag, (bits ? std::string(1, '\0') : std::string()) + inner);
    }
  }
  return out;
}

Edit Append(std::string extra) {
  return [extra](uint8_t tag, std::string_view contents) {
    return Tlv(tag, std::string(contents) + extra);
  };
}
Edit Resize(size_t size) {
  return [size](uint8_t tag, std::string_view) { return Tlv(tag, std::string(size, 'x')); };
}
Edit Replace(std::string encoding) {
  return [encoding](uint8_t, std::string_view) { return encoding; };
}
Edit Retag(uint8_t new_tag) {
  return [new_tag](uint8_t, std::string_view contents) { return Tlv(new_tag, contents); };
}
Edit Indefinite() {
  return [](uint8_t tag, std::string_view contents) {
    return std::string(1, static_cast<char>(tag)) + '\x80' + std::string(contents) +
           std::string(2, '\0');
  };
}
Edit LongFormLength() {
  return [](uint8_t tag, std::string_view contents) {
    return std::string(1, static_cast<char>(tag)) + '\x81' + static_cast<char>(contents.size()) +
           std::string(contents);
  };
}
std::string Oid(const std::string& encoded) {
  return Tlv(der::kOid, encoded);
}

// Paths into an envelope of EncryptEnvelope (one recipient).
using Path = std::vector<int>;
const Path kEnveloped = {0, 1, 0};
const Path kRecipient = {0, 1, 0, 1, 0};
const Path kTransport = {0, 1, 0, 1, 0, 3, 0};
const Path kSessionKey = {0, 1, 0, 1, 0, 3, 0, 0};
const Path kTransportParameters = {0, 1, 0, 1, 0, 3, 0, 1};
const Path kEncryptedContentInfo = {0, 1, 0, 2};
const Path kCipherParameters = {0, 1, 0, 2, 1, 1};
Path Child(Path path, std::initializer_list<int> more) {
  path.insert(path.end(), more);
  return path;
}

const std::string kNull("\x05\x00", 2);

// Well-formed but false parts (detail "") reach the engine, which fails cleanly.
struct Mutation {
  Path path;
  Edit edit;
  uint32_t code;
  const char* detail;
};

TEST_F(EnvelopeTest, MutatedEnvelopesAreRefusedWithTheirErrorsAndTheProcessLives) {
  const uint32_t kBad = code::kCryptEBadMsg;
  const uint32_t kAlgo = code::kCryptEUnknownAlgo;
  const std::string kSignedDataOid = Oid("\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02");
  const Path kIv = Child(kCipherParameters, {0});
  const Path kEphemeral = Child(kTransportParameters, {1, 1, 0});
  const std::vector<Mutation> mutations{
      {kCipherParameters, Append(std::string(1, '\0')), kBad,
       "unexpected data in cipher parameters"},
      {{},
       [](uint8_t, std::string_view all) { return std::string(all) + '\0'; },
       kBad,
       "unexpected data after the content info"},
      {kEnveloped, Append(Tlv(0xA1, kNull)), kBad,
       "unexpected element instead of unprotected attribute"},
      {Child(kEnveloped, {0}), Replace(Tlv(der::kInteger, std::string(1, '\0')) + Tlv(0xA0, "")),
       kBad, "unexpected element instead of recipient infos"},
      {kSessionKey, Append(kNull), kBad, "unexpected data in session key"},
      {Child(kRecipient, {3}), Append(kNull), kBad, "unexpected data in recipient encrypted key"},
      {kEncryptedContentInfo, Append(kNull), kBad, "unexpected data in encrypted content info"},
      {kTransportParameters, Replace(""), kBad, "transport parameters missing"},
      {kIv, Resize(7), kBad, "IV is not 8 bytes"},
      {Child(kTransportParameters, {2}), Resize(7), kBad, "UKM is not 8 bytes"},
      {Child(kSessionKey, {0}), Resize(33), kBad, "encrypted key is not 32 bytes"},
      {Child(kSessionKey, {1}), Resize(3), kBad, "key MAC is not 4 bytes"},
      {kEphemeral, Resize(63), kBad, "ephemeral public key is not 64 bytes"},
      {kEnveloped, Indefinite(), kBad, "enveloped data is not DER"},
      {kIv, LongFormLength(), kBad, "IV is not DER"},
      {Child(kEnveloped, {0}), Replace(Tlv(der::kInteger, std::string(1, '\1'))), kBad,
       "unsupported version"},
      {{0, 0}, Replace(kSignedDataOid), code::kCryptEInvalidMsgType, "not EnvelopedData"},
      {Child(kRecipient, {2, 0}), Replace(Oid("\x2A\x85\x03\x02\x02\x14")), kAlgo,
       "key transport algorithm 1.2.643.2.2.20 is not supported"},
      {Child(kEncryptedContentInfo, {1, 0}), Replace(Oid("\x2A\x85\x03\x02\x02\x09")), kAlgo,
       "unsupported content encryption 1.2.643.2.2.9"},
      {Child(kCipherParameters, {1}), Replace(Oid("\x2A\x85\x03\x02\x02\x1F\x07")), kBad,
       "parameter set 1.2.643.2.2.31.7 is not supported"},
      {Child(kEncryptedContentInfo, {0}), Replace(kSignedDataOid), kBad,
       "encrypted content type 1.2.840.113549.1.7.2 is not supported"},
      {kRecipient, Retag(0xA1), kBad, "unsupported recipient version"},
      {kRecipient, Retag(0xA2), kAlgo,
       "only key transport and key agreement recipients are supported"},
      {Child(kEncryptedContentInfo, {1}),
       Replace(Tlv(der::kSequence,
                   Oid("\x2A\x85\x03\x07\x01\x01\x05\x02\x01") +
                       Tlv(der::kSequence, Tlv(der::kOctetString, std::string(16, 'u'))))),
       kAlgo, "RFC 4490 key transport with content encryption other than GOST 28147-89"},
      {kEphemeral, Resize(64), code::kNteBadData, ""}};
  const std::string real = EncryptEnvelope(user_, "content of the envelope");
  for (const Mutation& mutation : mutations) {
    SCOPED_TRACE(&mutation - mutations.data());
    const std::string envelope =
        mutation.path.empty() ? mutation.edit(0, real) : EditAt(real, mutation.path, mutation.edit);
    ASSERT_NE(envelope, real);
    const Failure failure = FailureOf([&] { (void)DecryptEnvelope(envelope, my_); });
    EXPECT_EQ(failure.code, mutation.code) << failure.message;
    if (*mutation.detail != '\0') {
      EXPECT_EQ(failure.message,
                CryptErrorCodeText(mutation.code) + " (" + std::string(mutation.detail) + ")");
    }
  }
  for (const std::string& bytes :
       {std::string(), std::string("garbage"), user_.Der(), real.substr(0, real.size() - 3)}) {
    EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(bytes, my_); }).code, kBad);
  }
}

// The point size of each GOST R 34.10-2012 kind's shape is checked (round trips: tests/tool).
TEST_F(EnvelopeTest, Gost2012EphemeralKeyOfAnotherSizeIsRefused) {
  CertificateSpec fields;
  fields.subject = ParseDistinguishedName("CN=Recipient 2012");
  fields.not_after = 2000000000;
  for (const auto& [algorithm, point] :
       {std::pair{GostAlgorithm::k2012_256, 64}, std::pair{GostAlgorithm::k2012_512, 128}}) {
    const PrivateKey key = PrivateKey::Generate(algorithm, {});
    const Certificate recipient = IssueSelfSigned(fields, key);
    const std::string envelope = EncryptEnvelope(recipient, "content");
    EXPECT_EQ(DecryptEnvelope(envelope, recipient, key), "content");
    const std::string mutated =
        EditAt(envelope, Child(kTransportParameters, {1, 1, 0}), Resize(point - 1));
    EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(mutated, recipient, key); }).message,
              CryptErrorCodeText(code::kCryptEBadMsg) + " (ephemeral public key is not " +
                  std::to_string(point) + " bytes)");
  }
}

// Counts what an envelope hands out.
struct CountingSink final : DecryptedSink {
  void Begin(size_t /*content_size*/) override {}
  void Write(std::string_view bytes) override { written += bytes.size(); }
  size_t written = 0;
};

class EnvelopeVectors : public EnvelopeTest {
 protected:
  void SetUp() override {
    EnvelopeTest::SetUp();
    folder_ = test::GostVectorsFolder();
    if (folder_.empty()) {
      GTEST_SKIP() << "no shared GOST vectors on this machine";
    }
    const PrivateKey key = PrivateKey::FromPem(
        test::ReadAll(folder_ / "rfc4491" / "gostr3410-2001-key.pem"), std::nullopt);
    KeyContainer::Create(StoreLocation::kCurrentUser, "rfc4491", key);
    Certificate certificate =
        Certificate::FromDer(test::ReadAll(folder_ / "rfc4491" / "gostr3410-2001-cert.der"));
    certificate.SetKeyProv(KeyProvInfo{"rfc4491", "", 75, 1, 1});
    my_.Add(certificate, AddDisposition::kReplaceExisting);
    // The TC26 recipients' keys, and the sender whose certificate a key agreement names.
    const std::filesystem::path tc26 = folder_ / "gost-engine-tc26_cms";
    for (const std::string bits : {"256", "512"}) {
      const std::string name = "recipient" + bits;
      KeyContainer::Create(StoreLocation::kCurrentUser, name,
                           PrivateKey::FromPem(test::ReadAll(tc26 / (name + "_key.pem")), {}));
      recipients_.push_back(Certificate::FromPem(test::ReadAll(tc26 / (name + "_cert.pem"))));
      recipients_.back().SetKeyProv(KeyProvInfo{name, "", 75, 1, 1});
      my_.Add(recipients_.back(), AddDisposition::kReplaceExisting);
    }
    test::AddToStore(Certificate::FromPem(test::ReadAll(tc26 / "sender256_cert.pem")),
                     "addressbook");
  }

  std::filesystem::path folder_;
  std::vector<Certificate> recipients_;
};

TEST_F(EnvelopeVectors, Rfc4490KeyTransportEnvelopeOpensToSampleText) {
  const std::string envelope = test::ReadAll(folder_ / "rfc4490" / "enveloped_keytrans.der");
  EXPECT_EQ(DecryptEnvelope(envelope, my_), "sample text\n");
  EXPECT_EQ(InspectEnvelope(envelope).parameter_set, kOidCryptoProA);
}

// The TC26 samples (key transport and agreement with KExp15, CTR-ACPKM content), the RFC 4490
// key agreement sample and the reference pack's envelopes made by openssl (up to 288 KiB: the
// sections past the first) open to their plain texts.
TEST_F(EnvelopeVectors, ModernAndKeyAgreementEnvelopesOpenToTheirPlainTexts) {
  const std::filesystem::path tc26 = folder_ / "gost-engine-tc26_cms";
  std::string text = test::ReadAll(tc26 / "plain" / "text_decrypted.plain");
  text.pop_back();
  for (const char* file : {"encrypted_keyagree_a211.pem", "encrypted_keyagree_a221.pem",
                           "encrypted_keytrans_a231.pem", "encrypted_keytrans_a241.pem"}) {
    EXPECT_EQ(DecryptEnvelope(test::PemFileToDer(tc26 / file), my_), text) << file;
  }
  EXPECT_EQ(DecryptEnvelope(test::ReadAll(folder_ / "rfc4490" / "enveloped_keyagree.der"), my_),
            "sample text\n");
  const std::filesystem::path pack = test::ReferenceVectorsFolder();
  if (pack.empty()) {
    GTEST_SKIP() << "no reference pack on this machine";
  }
  EXPECT_EQ(DecryptEnvelope(test::ReadAll(pack / "tc26-variant" / "a241_pygost_variant.der"), my_),
            text);
  const std::pair<std::string, std::string> envelopes[] = {
      {"env-small/s1.der", "env-small/s1.plain"},
      {"env-small/s2.der", "env-small/s2.plain"},
      {"env-small/s3.der", "env-small/s3.plain"},
      {"env-small/s4.der", "env-small/s4.plain"},
      {"env-10k/t10k_kuznyechik-ctr-acpkm.der", "env-10k/plain_10k.bin"},
      {"env-10k/t10k_kuznyechik-ctr-acpkm-omac.der", "env-10k/plain_10k.bin"},
      {"env-10k/t10k_magma-ctr-acpkm.der", "env-10k/plain_10k.bin"},
      {"env-10k/t10k_magma-ctr-acpkm-omac.der", "env-10k/plain_10k.bin"},
      {"env-large/b1.der", "env-large/plain_64k.bin"},
      {"env-large/b2.der", "env-large/plain_64k.bin"},
      {"env-large/b3.der", "env-large/plain_288k.bin"}};
  for (const auto& [envelope, plain] : envelopes) {
    EXPECT_TRUE(DecryptEnvelope(test::ReadAll(pack / envelope), my_) == test::ReadAll(pack / plain))
        << envelope;
  }
}

// Our envelopes of each cipher: the OID asked for, open in ours at 1 MB (four Kuznyechik
// sections, 128 Magma ones) and, through a sink, only after their MAC matched; one flipped byte
// of ciphertext or MAC is refused with nothing handed out.
TEST_F(EnvelopeVectors, EachCipherRoundTripsAndRefusesAFlippedByte) {
  const std::string content = test::Content(size_t{1} << 20);
  const Certificate& recipient = recipients_.at(1);
  for (const std::string_view name : ContentCipherNames()) {
    SCOPED_TRACE(name);
    const ContentCipher cipher = *ContentCipherByName(name);
    std::string envelope = EncryptEnvelope(recipient, content, cipher);
    EXPECT_EQ(InspectEnvelope(envelope).content_encryption, ContentCipherOid(cipher));
    EXPECT_TRUE(DecryptEnvelope(envelope, my_) == content);
    if (!name.ends_with("-omac")) {
      continue;
    }
    for (const size_t from_end : {size_t{2}, size_t{40}}) {  // in the MAC, in the ciphertext
      std::string flipped = envelope;
      flipped[flipped.size() - from_end] ^= 1;
      CountingSink sink;
      const Failure failure = FailureOf([&] { DecryptEnvelope(flipped, my_, sink); });
      EXPECT_EQ(failure.message, CryptErrorCodeText(code::kNteBadData) +
                                     " (the content MAC does not match: the envelope is damaged)");
      EXPECT_EQ(sink.written, 0U);
    }
  }
  const Failure refused =
      FailureOf([&] { (void)EncryptEnvelope(user_, "x", ContentCipher::kMagmaCtrAcpkm); });
  EXPECT_EQ(refused.message,
            CryptErrorCodeText(code::kCryptEUnknownAlgo) +
                " (content encryption magma-ctr-acpkm needs a GOST R 34.10-2012 recipient key; "
                "this one is GOST R 34.10-2001)");
}

// The new forms' fields are held to their sizes and to each other.
TEST_F(EnvelopeVectors, MutatedModernEnvelopesAreRefusedWithTheirErrors) {
  const std::string real =
      EncryptEnvelope(recipients_.at(0), "content", ContentCipher::kKuznyechikCtrAcpkmOmac);
  const Path attributes = {0, 1, 0, 3};
  const Path exported = {0, 1, 0, 1, 0, 3, 0, 0};
  const std::vector<Mutation> mutations{
      {Child(kCipherParameters, {0}), Resize(12), code::kCryptEBadMsg,
       "content UKM is not 16 bytes"},
      {exported, Resize(40), code::kCryptEBadMsg, "exported key is not 48 bytes"},
      {Child(kTransport, {2}), Resize(31), code::kCryptEBadMsg, "UKM is not 32 bytes"},
      {Child(attributes, {0, 1, 0}), Resize(8), code::kCryptEBadMsg, "content MAC is not 16 bytes"},
      {attributes, Append(kNull), code::kCryptEBadMsg, "unexpected data in unprotected attributes"},
      {Child(kEncryptedContentInfo, {1, 0}), Replace(Oid("\x2A\x85\x03\x07\x01\x01\x05\x02\x01")),
       code::kCryptEBadMsg, "unexpected unprotected attributes"},
      {attributes, Replace(""), code::kCryptEBadMsg, "content MAC missing"},
      {{0, 1, 0, 1, 0, 2, 0},
       Replace(Oid("\x2A\x85\x03\x07\x01\x01\x07\x03\x01")),
       code::kCryptEUnknownAlgo,
       "key transport algorithm 1.2.643.7.1.1.7.3.1 is not supported"},
      {exported, Resize(48), code::kNteBadData,
       "the content key cannot be recovered with this key"}};
  for (const Mutation& mutation : mutations) {
    SCOPED_TRACE(mutation.detail);
    const std::string envelope = EditAt(real, mutation.path, mutation.edit);
    const Failure failure = FailureOf([&] { (void)DecryptEnvelope(envelope, my_); });
    EXPECT_EQ(failure.message,
              CryptErrorCodeText(mutation.code) + " (" + std::string(mutation.detail) + ")");
  }
}

}  // namespace
}  // namespace lyr::crypt
