// The Crypt and Key objects driven by a host; keys and certificates made by the tdx880 tool.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "rtl/text.h"
#include "server_host.h"

namespace lyr::automation::host {
namespace {

using lyr::rtl::AnsiToUtf16;
using lyr::rtl::Utf16ToAnsi;
using lyr::test::TakeErrorDescription;
using C = ITdx880Crypt;
using K = ITdx880Key;

// "Sha1|SubjectCN|ContainerName|SignRole|CertificateBody" (windows-1251 bytes).
std::string KeyText(K* key) {
  std::string text;
  BSTR value = nullptr;
  for (auto get : {&K::get_Sha1, &K::get_SubjectCN, &K::get_ContainerName}) {
    EXPECT_EQ((key->*get)(&value), S_OK);
    text += Utf16ToAnsi(TakeBstr(value)) + "|";
  }
  SIGN_ROLE_TYPES role = SIGN_ROLE_TYPE_UNKNOWN;
  EXPECT_EQ(key->get_SignRole(&role), S_OK);
  EXPECT_EQ(key->get_CertificateBody(&value), S_OK);
  return text + std::to_string(role) + "|" + Utf16ToAnsi(TakeBstr(value));
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
    alice_ = out.substr(0, 40) + lyr::rtl::Utf8ToAnsi("|Алиса||1|");
  }
  void TearDown() override {
    crypt_.Reset();
    ServerHost::TearDown();
  }
  void Init() { ASSERT_TRUE(Call(crypt_.get(), u"init").Bool()); }

  Ref<C> crypt_;
  std::u16string sha1_;
  std::string der_;
  std::string alice_;  // KeyText up to the body
};

TEST_F(CryptHost, FindsKeysByIndexAndByNameWhichCarryEveryByteAndOutliveTheCryptObject) {
  K* key = nullptr;
  EXPECT_EQ(crypt_->GetPrivateKey(0, &key), kUnexpected);
  EXPECT_TRUE(TakeErrorDescription().starts_with(u"Не установлен СКЗИ"));  // before Init
  Init();
  EXPECT_EQ(Call(crypt_.get(), u"GetPrivateKeyCount").Long(), 1);
  EXPECT_EQ(Call(crypt_.get(), u"GetContainer", {Var(LONG{0})}).Str(), u"Ключ Алисы");
  ASSERT_EQ(crypt_->GetPrivateKey(0, &key), S_OK);
  EXPECT_EQ(KeyText(key), alice_ + der_);
  key->Release();
  const Var by_name = Call(crypt_.get(), u"GetPrivateKeyBySha1", {Var(sha1_)});
  std::string bytes;
  for (int i = 255; i >= 0; --i) {
    bytes += static_cast<char>(i);
  }
  Put(by_name.Object(), u"certificatebody", AnsiToUtf16(bytes));
  EXPECT_EQ(Utf16ToAnsi(Call(by_name.Object(), u"CertificateBody").Str()), bytes);
  SetSafeMode(crypt_.get(), true);
  ASSERT_EQ(crypt_->ImportOpponentCertificate(Text(AnsiToUtf16(der_)), &key), S_OK);
  key->Release();
  ASSERT_EQ(crypt_->GetOpponentKeyBySha1(Text(sha1_), &key), S_OK);
  EXPECT_TRUE(SafeModeOf(key));  // the Crypt object's mode
  crypt_.Reset();
  EXPECT_EQ(KeyText(key), alice_ + der_);
  key->Release();
}

// Guarded members follow SafeMode; unguarded ones fail whatever it is and leave LastError alone.
TEST_F(CryptHost, FailuresFollowTheirGuardAndSafeMode) {
  const struct {
    bool guarded;
    std::function<HRESULT(C*, K**)> call;
    std::u16string message;
  } cases[] = {
      {true, [](C* c, K** k) { return c->GetPrivateKey(1, k); },
       u"Значение параметра privateKeyIndex (1) должно находиться в интервале от 0 до 0"},
      {false,
       [](C* c, K**) {
         BSTR name = nullptr;
         return c->GetContainer(-1, &name);
       },
       u"Значение параметра containerIndex (-1) должно находиться в интервале от 0 до 0"},
      {false, [](C* c, K**) { return c->ImportP7BChain(nullptr); },
       u"Передан пустой аргумент: P7B-content"},
  };
  Init();
  const std::u16string earlier =
      u"-1: Значение параметра privateKeyIndex (7) должно находиться в интервале от 0 до 0";
  for (const auto& c : cases) {
    for (const bool safe_mode : {true, false}) {
      SCOPED_TRACE(Shown(c.message));
      SetSafeMode(crypt_.get(), true);
      K* key = nullptr;
      EXPECT_EQ(crypt_->GetPrivateKey(7, &key), S_OK);
      SetSafeMode(crypt_.get(), safe_mode);
      ::SetErrorInfo(0, nullptr);
      const bool fails = !c.guarded || !safe_mode;
      EXPECT_EQ(c.call(crypt_.get(), &key), fails ? kUnexpected : S_OK);
      EXPECT_EQ(key, nullptr);
      EXPECT_EQ(TakeErrorDescription(), fails ? c.message : u"(no error information)");
      EXPECT_EQ(LastErrorOf(crypt_.get()), c.guarded ? u"-1: " + c.message : earlier);
    }
  }
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
