// The Crypt and Key objects driven by a host; keys and certificates made by the tdx880 tool.
#include <gtest/gtest.h>

#include <string>

#include "rtl/text.h"
#include "server_host.h"

namespace lyr::automation::host {
namespace {

using lyr::rtl::AnsiToUtf16;
using lyr::rtl::Utf16ToAnsi;
using lyr::test::TakeErrorDescription;
using K = ITdx880Key;

// A BSTR property of a key read through its vtable (windows-1251 bytes).
std::string KeyValue(K* key, HRESULT (K::*get)(BSTR*)) {
  BSTR value = nullptr;
  EXPECT_EQ((key->*get)(&value), S_OK);
  return Utf16ToAnsi(TakeBstr(value));
}

class CryptHost : public ServerHost {
 protected:
  void SetUp() override {
    ServerHost::SetUp();
    Create(u"LyrTdxPackage880.Tdx880Crypt", IID_ITdx880Crypt, crypt_);
    ASSERT_NE(crypt_.get(), nullptr);
    // A key container with a self-signed certificate in "MY", trusted in "ROOT".
    const std::string pem = PathOf("alice.pem");
    std::string out;
    ASSERT_EQ(Tool("container new 'Ключ Алисы' --subject 'CN=Алиса' --self-signed -o " + pem, &out),
              0);
    ASSERT_EQ(Tool("cert import " + pem + " --store ROOT"), 0);
    ASSERT_EQ(lyr::test::RunCommand("sed '1d;$d' " + pem + " | base64 -d >" + pem + ".der"), 0);
    sha1_ = AnsiToUtf16(out.substr(0, 40));
    der_ = lyr::test::ReadAll(pem + ".der");
  }
  void TearDown() override {
    crypt_.Reset();
    ServerHost::TearDown();
  }
  void Init() { ASSERT_TRUE(Call(crypt_.get(), u"init").Bool()); }

  Ref<ITdx880Crypt> crypt_;
  std::u16string sha1_;
  std::string der_;
};

// Keys by index and by thumbprint carry the certificate's bytes and outlive the Crypt object; a
// getter fails whatever SafeMode is, and a guarded member records LastError.
TEST_F(CryptHost, FindsKeysWhichCarryEveryByteAndOutliveTheCryptObject) {
  Init();
  EXPECT_EQ(Call(crypt_.get(), u"GetPrivateKeyCount").Long(), 1);
  EXPECT_EQ(Call(crypt_.get(), u"GetContainer", {Var(LONG{0})}).Str(), u"Ключ Алисы");
  K* key = nullptr;
  ASSERT_EQ(crypt_->GetPrivateKey(0, &key), S_OK);
  EXPECT_EQ(KeyValue(key, &K::get_Sha1), Utf16ToAnsi(sha1_));
  EXPECT_EQ(KeyValue(key, &K::get_CertificateBody), der_);
  key->Release();
  SetSafeMode(crypt_.get(), true);
  EXPECT_EQ(crypt_->GetPrivateKey(1, &key), S_OK);
  EXPECT_EQ(key, nullptr);
  const std::u16string range =
      u"Значение параметра privateKeyIndex (1) должно находиться в интервале от 0 до 0";
  EXPECT_EQ(LastErrorOf(crypt_.get()), u"-1: " + range);
  BSTR name = nullptr;
  EXPECT_EQ(crypt_->GetContainer(-1, &name), kUnexpected);
  EXPECT_EQ(TakeErrorDescription(),
            u"Значение параметра containerIndex (-1) должно находиться в интервале от 0 до 0");
  EXPECT_EQ(LastErrorOf(crypt_.get()), u"-1: " + range);
  lyr::test::ExpectErrorInfo(crypt_->ImportP7BChain(nullptr), kUnexpected,
                             u"Передан пустой аргумент: P7B-content");  // a null BSTR is empty
  ASSERT_EQ(crypt_->ImportOpponentCertificate(Text(AnsiToUtf16(der_)), &key), S_OK);
  key->Release();
  ASSERT_EQ(crypt_->GetOpponentKeyBySha1(Text(sha1_), &key), S_OK);
  EXPECT_TRUE(SafeModeOf(key));  // the Crypt object's mode
  crypt_.Reset();
  EXPECT_EQ(KeyValue(key, &K::get_CertificateBody), der_);
  key->Release();
}

TEST_F(CryptHost, CheckSignatureChecksTheHostsBytesAndFailsEvenInSafeMode) {
  std::string content;
  for (int i = 0; i < 512; ++i) {
    content += static_cast<char>(i * 7);
  }
  ASSERT_EQ(Tool("sign " + WriteFile("content", content) + " --key " + Utf16ToAnsi(sha1_) + " -o " +
                 PathOf("sig")),
            0);
  const Text signature(AnsiToUtf16(lyr::test::ReadAll(PathOf("sig"))));
  SetSafeMode(crypt_.get(), true);
  EXPECT_EQ(crypt_->CheckSignature(Text(AnsiToUtf16(content)), signature), S_OK);
  content[0x98] ^= 1;
  EXPECT_EQ(crypt_->CheckSignature(Text(AnsiToUtf16(content)), signature), kUnexpected);
  EXPECT_TRUE(TakeErrorDescription().starts_with(u"Ошибка при проверке подписи [0x80090006"));
  EXPECT_EQ(LastErrorOf(crypt_.get()), u"0: ");
}

}  // namespace
}  // namespace lyr::automation::host
