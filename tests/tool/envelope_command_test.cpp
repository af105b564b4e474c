// The tool's "encrypt" and "decrypt" commands against openssl cms with the GOST engine as the
// peer: envelopes made by the tool open with openssl, envelopes made by openssl open with the
// tool; exit status and messages of what fails.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "tool/crypt_tool_fixture.h"

namespace lyr::tool {
namespace {

using lyr::test::SharedPki;
using test::CryptToolTest;
using test::ToolResult;

std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

// Content with every byte value.
std::string Content() {
  std::string content;
  for (int i = 0; i < 3000; ++i) {
    content += static_cast<char>((i * 37) & 0xFF);
  }
  return content;
}

class EnvelopeCommand : public CryptToolTest {
 protected:
  void SetUp() override {
    CryptToolTest::SetUp();
    plain_ = WriteFile("plain.bin", Content());
  }

  // What openssl cms -decrypt makes of an envelope with the test PKI's user key.
  std::string OpenSslDecrypt(const std::string& envelope) {
    const std::string out = PathOf("openssl.out");
    EXPECT_EQ(lyr::test::RunOpenSsl("cms -decrypt -binary -inform DER -in '" + envelope +
                                    "' -recip user.pem -inkey user.key -out '" + out + "'"),
              0);
    return lyr::test::ReadAll(out);
  }

  // The user certificate in "MY", bound to a container holding its key.
  void PutUserIntoMy() {
    MakeContainer("user key", SharedPki().user_key);
    AddToStore("MY", PkiCertificate(SharedPki().user), "user key");
  }

  std::string plain_;
};

TEST_F(EnvelopeCommand, EncryptsForACertificateFileThatOpenSslOpens) {
  const ToolResult result = Tool("encrypt " + Quote(plain_) + " --cert " + Quote(SharedPki().user) +
                                 " -o " + Quote(PathOf("out.p7m")));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(OpenSslDecrypt(PathOf("out.p7m")), Content());
  std::string printed;
  ASSERT_EQ(lyr::test::RunOpenSsl("cms -cmsout -print -inform DER -in '" + PathOf("out.p7m") + "'",
                                  &printed),
            0);
  EXPECT_NE(printed.find("id-Gost28147-89-CryptoPro-A-ParamSet"), std::string::npos) << printed;
}

TEST_F(EnvelopeCommand, EncryptsForACorrespondentOfTheAddressBook) {
  AddToStore("addressbook", PkiCertificate(SharedPki().user));
  const ToolResult result =
      Tool("encrypt " + Quote(plain_) + " --for " + OpenSslThumbprint(SharedPki().user) + " -o " +
           Quote(PathOf("out.p7m")));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(OpenSslDecrypt(PathOf("out.p7m")), Content());
}

TEST_F(EnvelopeCommand, RefusesACorrespondentMissingFromTheAddressBook) {
  AddToStore("MY", PkiCertificate(SharedPki().user));
  const std::string thumbprint = OpenSslThumbprint(SharedPki().user);
  const ToolResult result =
      Tool("encrypt " + Quote(plain_) + " --for " + thumbprint + " -o " + Quote(PathOf("out.p7m")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, Utf8(u8"Сертификат для шифрования с отпечатком [") + thumbprint +
                            Utf8(u8"] не найден в храниилище \"Другие пользователи\"\n"));
  EXPECT_FALSE(std::filesystem::exists(PathOf("out.p7m")));
}

TEST_F(EnvelopeCommand, DecryptsWhatOpenSslEncryptedForAPersonalCertificate) {
  PutUserIntoMy();
  const std::string envelope = PathOf("theirs.p7m");
  ASSERT_EQ(lyr::test::RunOpenSsl("cms -encrypt -gost89 -binary -outform DER -in '" + plain_ +
                                  "' -out '" + envelope + "' user.pem"),
            0);
  const ToolResult result =
      Tool("decrypt " + Quote(envelope) + " -o " + Quote(PathOf("plain.out")));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lyr::test::ReadAll(PathOf("plain.out")), Content());
  struct stat info {};
  ASSERT_EQ(::stat(PathOf("plain.out").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(EnvelopeCommand, DecryptsWhatItEncrypted) {
  PutUserIntoMy();
  ASSERT_EQ(Tool("encrypt " + Quote(plain_) + " --cert " + Quote(SharedPki().user) + " -o " +
                 Quote(PathOf("out.p7m")))
                .status,
            0);
  const ToolResult result =
      Tool("decrypt " + Quote(PathOf("out.p7m")) + " -o " + Quote(PathOf("plain.out")));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lyr::test::ReadAll(PathOf("plain.out")), Content());
}

TEST_F(EnvelopeCommand, RefusesAnEnvelopeForWhichMyHoldsNoKey) {
  AddToStore("MY", PkiCertificate(SharedPki().inter));
  ASSERT_EQ(Tool("encrypt " + Quote(plain_) + " --cert " + Quote(SharedPki().user) + " -o " +
                 Quote(PathOf("out.p7m")))
                .status,
            0);
  const ToolResult result =
      Tool("decrypt " + Quote(PathOf("out.p7m")) + " -o " + Quote(PathOf("plain.out")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind(Utf8(u8"Ошибка при расшифровании (1): 0x8009200C (-2146885620): "), 0),
            0u)
      << result.err;
  EXPECT_FALSE(std::filesystem::exists(PathOf("plain.out")));
}

TEST_F(EnvelopeCommand, RefusesAFileThatIsNoEnvelope) {
  PutUserIntoMy();
  const ToolResult result = Tool("decrypt " + Quote(plain_) + " -o " + Quote(PathOf("plain.out")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err.rfind(Utf8(u8"Ошибка при расшифровании (1): 0x8009200D (-2146885619): "), 0),
            0u)
      << result.err;
}

TEST_F(EnvelopeCommand, ReportsAMissingInputFile) {
  const ToolResult result =
      Tool("decrypt " + Quote(PathOf("none.p7m")) + " -o " + Quote(PathOf("plain.out")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, Utf8(u8"Файл не найден: [") + PathOf("none.p7m") + "]\n");
}

struct UsageCase {
  std::string name;
  std::string arguments;
  std::string err;
};

class EnvelopeCommandUsage : public CryptToolTest,
                             public ::testing::WithParamInterface<UsageCase> {};

TEST_P(EnvelopeCommandUsage, FailsWithExitStatusTwo) {
  const ToolResult result = Tool(GetParam().arguments);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, GetParam().err);
}

const std::string kEncryptUsage =
    "usage: tdx880 encrypt FILE (--cert CERT | --for THUMBPRINT) -o OUT [--machine]\n";
const std::string kDecryptUsage = "usage: tdx880 decrypt FILE -o OUT [--machine]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, EnvelopeCommandUsage,
    ::testing::Values(
        UsageCase{"EncryptWithoutRecipient", "encrypt a -o b", kEncryptUsage},
        UsageCase{"EncryptWithTwoRecipients", "encrypt a --cert c --for d -o b", kEncryptUsage},
        UsageCase{"EncryptWithoutOutput", "encrypt a --cert c", kEncryptUsage},
        UsageCase{"EncryptForABadThumbprint", "encrypt a --for xyz -o b",
                  "tdx880: 'xyz' is not a SHA-1 thumbprint (40 hexadecimal digits)\n"},
        UsageCase{"DecryptWithoutOutput", "decrypt a", kDecryptUsage},
        UsageCase{"DecryptTwoFiles", "decrypt a b -o c", kDecryptUsage}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::tool
