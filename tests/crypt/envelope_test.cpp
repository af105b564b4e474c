// CMS envelopes: round trips, interop with openssl cms both ways, the RFC 4490 example, and
// refusal of malformed or unsupported envelopes before the engine sees them.
#include "crypt/envelope.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>

#include "crypt/crypt_error.h"
#include "crypt/key_container.h"
#include "crypt/support/test_pki.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using test::SharedPki;

struct Failure {
  uint32_t code = 0;
  std::string message;
};

template <typename Body>
Failure FailureOf(Body&& body) {
  try {
    body();
  } catch (const ECryptError& error) {
    return {error.ErrorCode(), error.Message()};
  }
  return {};
}

class EnvelopeTest : public test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    const PrivateKey key = PrivateKey::FromPem(test::FileBytes(SharedPki().user_key), std::nullopt);
    KeyContainer::Create(StoreLocation::kCurrentUser, "user-key", key);
    Certificate bound = user_;
    bound.SetKeyProv(KeyProvInfo{"user-key", "", 75, 1, 1});
    my_.Add(bound, AddDisposition::kReplaceExisting);
  }

  Certificate user_ = Certificate::FromDer(test::PemFileToDer(SharedPki().user));
  Certificate inter_ = Certificate::FromDer(test::PemFileToDer(SharedPki().inter));
  CertStore my_ = CertStore::OpenSystem(StoreLocation::kCurrentUser, "MY");
};

class EnvelopeRoundTrip : public EnvelopeTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(EnvelopeRoundTrip, DecryptsWhatItEncrypted) {
  std::string content(GetParam(), '\0');
  for (size_t i = 0; i < content.size(); ++i) {
    content[i] = static_cast<char>((i * 131) ^ (i >> 8));
  }
  const std::string envelope = EncryptEnvelope(user_, content);
  EXPECT_EQ(DecryptEnvelope(envelope, my_), content);
  const EnvelopeAlgorithms algorithms = InspectEnvelope(envelope);
  EXPECT_EQ(algorithms.content_encryption, kOidGost28147);
  EXPECT_EQ(algorithms.parameter_set, kOidCryptoProA);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EnvelopeRoundTrip, ::testing::Values(0, 1, 8, 1000, 300000),
                         [](const auto& info) { return "Bytes" + std::to_string(info.param); });

TEST_F(EnvelopeTest, EncryptingTwiceGivesDifferentEnvelopes) {
  EXPECT_NE(EncryptEnvelope(user_, "same"), EncryptEnvelope(user_, "same"));
}

TEST_F(EnvelopeTest, OpenSslDecryptsOurEnvelopeAndSeesCryptoProA) {
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
  EXPECT_NE(printed.find("GOST 28147-89"), std::string::npos) << printed;
}

TEST_F(EnvelopeTest, WeDecryptWhatOpenSslEncrypted) {
  const std::string content(5000, 'x');
  const std::string plain = WriteFile("plain.txt", content);
  const std::string file = PathOf("theirs.p7m");
  ASSERT_EQ(test::RunOpenSsl("cms -encrypt -gost89 -binary -outform DER -in '" + plain +
                             "' -out '" + file + "' user.pem"),
            0);
  EXPECT_EQ(DecryptEnvelope(test::ReadAll(file), my_), content);
}

// The engine takes CRYPT_PARAMS from the environment when it is loaded, over the library's own
// setting. Such a process must not produce envelopes with another S-box: the test runs itself
// again with the variable set, in a process whose engine is loaded under it.
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

TEST_F(EnvelopeTest, WrongKeyIsAnErrorNotRandomBytes) {
  const std::string envelope = EncryptEnvelope(user_, "secret");
  const PrivateKey other =
      PrivateKey::FromPem(test::FileBytes(SharedPki().inter_key), std::nullopt);
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(envelope, user_, other); }).code,
            code::kNteBadData);
}

TEST_F(EnvelopeTest, EnvelopeForSomeoneElseFindsNoKey) {
  const std::string envelope = EncryptEnvelope(inter_, "not for us");
  const Failure failure = FailureOf([&] { (void)DecryptEnvelope(envelope, my_); });
  EXPECT_EQ(failure.code, code::kCryptENoDecryptCert);
  EXPECT_EQ(failure.message,
            "0x8009200C (-2146885620): Cannot find the certificate and private key to use for "
            "decryption.");
  const PrivateKey key = PrivateKey::FromPem(test::FileBytes(SharedPki().user_key), std::nullopt);
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(envelope, user_, key); }).code,
            code::kCryptERecipientNotFound);
}

TEST_F(EnvelopeTest, CertificateWithoutBindingIsNotUsed) {
  my_.Add(user_, AddDisposition::kReplaceExisting);  // drops the binding
  const std::string envelope = EncryptEnvelope(user_, "x");
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(envelope, my_); }).code,
            code::kCryptENoDecryptCert);
}

// A small DER writer for crafted envelopes.
std::string Tlv(uint8_t tag, const std::string& contents) {
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
  return out + contents;
}

std::string Oid(const std::string& encoded) {
  return Tlv(0x06, encoded);
}

const std::string kEnvelopedDataOid("\x2A\x86\x48\x86\xF7\x0D\x01\x07\x03", 9);
const std::string kDataOid("\x2A\x86\x48\x86\xF7\x0D\x01\x07\x01", 9);
const std::string kGost2001Oid("\x2A\x85\x03\x02\x02\x13", 6);
const std::string kGost94Oid("\x2A\x85\x03\x02\x02\x14", 6);
const std::string kGost89Oid("\x2A\x85\x03\x02\x02\x15", 6);
const std::string kCryptoProAOid("\x2A\x85\x03\x02\x02\x1F\x01", 7);

struct CraftCase {
  const char* name;
  size_t encrypted_key = 32;
  size_t mac = 4;
  size_t ukm = 8;
  size_t iv = 8;
  bool key_agreement = false;
  bool gost94 = false;
  uint32_t code = code::kNteBadData;
  const char* detail = "";
};

class CraftedEnvelope : public EnvelopeTest, public ::testing::WithParamInterface<CraftCase> {
 protected:
  std::string Craft(const CraftCase& c) const {
    const std::string ephemeral = PrivateKey::Generate().PublicKeyInfoDer();
    const std::string ephemeral_implicit = "\xA0" + ephemeral.substr(1);  // [0] IMPLICIT
    const std::string transport = Tlv(0x30, Tlv(0x30, Tlv(0x04, std::string(c.encrypted_key, 'K')) +
                                                          Tlv(0x04, std::string(c.mac, 'M'))) +
                                                Tlv(0xA0, Oid(kCryptoProAOid) + ephemeral_implicit +
                                                              Tlv(0x04, std::string(c.ukm, 'U'))));
    const std::string issuer_serial =
        Tlv(0x30, user_.IssuerNameDer() + Tlv(0x02, user_.SerialNumber()));
    std::string recipient =
        Tlv(0x30, Tlv(0x02, std::string(1, '\0')) + issuer_serial +
                      Tlv(0x30, Oid(c.gost94 ? kGost94Oid : kGost2001Oid)) + Tlv(0x04, transport));
    if (c.key_agreement) {
      recipient = Tlv(0xA1, recipient.substr(2));
    }
    const std::string encrypted_content =
        Tlv(0x30, Oid(kDataOid) +
                      Tlv(0x30, Oid(kGost89Oid) + Tlv(0x30, Tlv(0x04, std::string(c.iv, 'I')) +
                                                                Oid(kCryptoProAOid))) +
                      Tlv(0x80, std::string(16, 'C')));
    const std::string enveloped =
        Tlv(0x30, Tlv(0x02, std::string(1, '\0')) + Tlv(0x31, recipient) + encrypted_content);
    return Tlv(0x30, Oid(kEnvelopedDataOid) + Tlv(0xA0, enveloped));
  }
};

TEST_P(CraftedEnvelope, IsRefusedWithAClearErrorAndTheProcessLives) {
  const std::string envelope = Craft(GetParam());
  const Failure failure = FailureOf([&] { (void)DecryptEnvelope(envelope, my_); });
  EXPECT_EQ(failure.code, GetParam().code) << failure.message;
  EXPECT_NE(failure.message.find(GetParam().detail), std::string::npos) << failure.message;
}

INSTANTIATE_TEST_SUITE_P(
    Envelopes, CraftedEnvelope,
    ::testing::Values(
        CraftCase{"UkmOf7Bytes", 32, 4, 7, 8, false, false, code::kCryptEBadMsg, "UKM is not 8"},
        CraftCase{"UkmOf9Bytes", 32, 4, 9, 8, false, false, code::kCryptEBadMsg, "UKM is not 8"},
        CraftCase{"EncryptedKeyOf31Bytes", 31, 4, 8, 8, false, false, code::kCryptEBadMsg,
                  "encrypted key is not 32"},
        CraftCase{"EncryptedKeyOf64Bytes", 64, 4, 8, 8, false, false, code::kCryptEBadMsg,
                  "encrypted key is not 32"},
        CraftCase{"MacOf3Bytes", 32, 3, 8, 8, false, false, code::kCryptEBadMsg,
                  "key MAC is not 4"},
        CraftCase{"MacOf0Bytes", 32, 0, 8, 8, false, false, code::kCryptEBadMsg,
                  "key MAC is not 4"},
        CraftCase{"IvOf7Bytes", 32, 4, 8, 7, false, false, code::kCryptEBadMsg, "IV is not 8"},
        CraftCase{"KeyAgreement", 32, 4, 8, 8, true, false, code::kCryptEUnknownAlgo,
                  "key agreement recipients are not supported"},
        CraftCase{"Gost94Key", 32, 4, 8, 8, false, true, code::kCryptEUnknownAlgo,
                  "GOST R 34.10-94"},
        CraftCase{"WellFormedButBogus", 32, 4, 8, 8, false, false, code::kNteBadData, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EnvelopeTest, BytesThatAreNoEnvelopeAreRefused) {
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope("", my_); }).code, code::kCryptEBadMsg);
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope("garbage", my_); }).code, code::kCryptEBadMsg);
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(user_.Der(), my_); }).code, code::kCryptEBadMsg);
  const std::string envelope = EncryptEnvelope(user_, "content");
  EXPECT_EQ(
      FailureOf([&] { (void)DecryptEnvelope(envelope.substr(0, envelope.size() - 3), my_); }).code,
      code::kCryptEBadMsg);
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(envelope + "x", my_); }).code,
            code::kCryptEBadMsg);
  const std::string pkcs7 = MakeCertificatesPkcs7({user_});
  EXPECT_EQ(FailureOf([&] { (void)DecryptEnvelope(pkcs7, my_); }).code,
            code::kCryptEInvalidMsgType);
}

class EnvelopeVectors : public EnvelopeTest {
 protected:
  void SetUp() override {
    EnvelopeTest::SetUp();
    folder_ = test::GostVectorsFolder();
    if (folder_.empty()) {
      GTEST_SKIP() << "no shared GOST vectors on this machine";
    }
    const PrivateKey key = PrivateKey::FromPem(
        test::FileBytes(folder_ / "rfc4491" / "gostr3410-2001-key.pem"), std::nullopt);
    KeyContainer::Create(StoreLocation::kCurrentUser, "rfc4491", key);
    Certificate certificate =
        Certificate::FromDer(test::FileBytes(folder_ / "rfc4491" / "gostr3410-2001-cert.der"));
    certificate.SetKeyProv(KeyProvInfo{"rfc4491", "", 75, 1, 1});
    my_.Add(certificate, AddDisposition::kReplaceExisting);
  }

  std::filesystem::path folder_;
};

TEST_F(EnvelopeVectors, Rfc4490KeyTransportEnvelopeOpensToSampleText) {
  const std::string envelope = test::FileBytes(folder_ / "rfc4490" / "enveloped_keytrans.der");
  EXPECT_EQ(DecryptEnvelope(envelope, my_), "sample text\n");
  EXPECT_EQ(InspectEnvelope(envelope).parameter_set, kOidCryptoProA);
}

TEST_F(EnvelopeVectors, Rfc4490KeyAgreementEnvelopeIsRefused) {
  const std::string envelope = test::FileBytes(folder_ / "rfc4490" / "enveloped_keyagree.der");
  const Failure failure = FailureOf([&] { (void)DecryptEnvelope(envelope, my_); });
  EXPECT_EQ(failure.code, code::kCryptEUnknownAlgo);
  EXPECT_EQ(failure.message,
            "0x80091002 (-2146889726): Unknown cryptographic algorithm. (key agreement recipients "
            "are not supported)");
}

}  // namespace
}  // namespace lyr::crypt
