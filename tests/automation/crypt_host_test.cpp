// The Crypt and Key objects driven by a host through the public COM headers. Keys and
// certificates are made by the tdx880 tool, as another program would; rtl's windows-1251 table
// stands for the byte mapping a host implements.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "lyr/com/com.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "rtl/text.h"
#include "server_host.h"
#include "support/expect_error_info.h"

namespace {

using lyr::automation::host::LastErrorOf;
using lyr::automation::host::SafeModeOf;
using lyr::automation::host::SetSafeMode;
using lyr::test::TakeBstr;
using lyr::test::TakeErrorDescription;

using lyr::rtl::AnsiToUtf16;
using lyr::rtl::Utf16ToAnsi;
using C = ITdx880Crypt;
using K = ITdx880Key;
constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFF);

// A BSTR for one call, of text or of bytes (one unit per byte).
struct Text : lyr::automation::host::Text {
  using lyr::automation::host::Text::Text;
  explicit Text(const std::string& bytes) : lyr::automation::host::Text(AnsiToUtf16(bytes)) {}
};

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

class CryptHost : public lyr::automation::host::ServerHost {
 protected:
  void SetUp() override {
    ServerHost::SetUp();
    crypt_ = Create<ITdx880Crypt>(u"LyrTdxPackage880.Tdx880Crypt", IID_ITdx880Crypt);
    ASSERT_NE(crypt_, nullptr);
    // A key container with a self-signed certificate in "MY", trusted in "ROOT".
    const std::string pem = PathOf("alice.pem");
    std::string out;
    ASSERT_EQ(Tool("container new 'Ключ Алисы' --subject 'CN=Алиса' --self-signed -o " + pem, &out),
              0);
    ASSERT_EQ(Tool("cert import " + pem + " --store ROOT"), 0);
    ASSERT_EQ(lyr::test::RunCommand("sed '1d;$d' " + pem + " | base64 -d >" + pem + ".der"), 0);
    sha1_ = AnsiToUtf16(out.substr(0, 40));
    der_ = lyr::test::ReadAll(pem + ".der");
    alice_ = out.substr(0, 40) + lyr::rtl::Utf8ToAnsi("|Алиса||");
    ::SetErrorInfo(0, nullptr);
  }
  void TearDown() override {
    if (crypt_ != nullptr) {
      crypt_->Release();
    }
    ::unsetenv("LYR_TDX_GOST_ENGINE");
    ServerHost::TearDown();
  }

  void Init() {
    VARIANT_BOOL done = VARIANT_FALSE;
    ASSERT_EQ(crypt_->Init(&done), S_OK);
    ASSERT_EQ(done, VARIANT_TRUE);
  }
  LONG PrivateCount() {
    LONG count = -1;
    EXPECT_EQ(crypt_->GetPrivateKeyCount(&count), S_OK);
    return count;
  }

  // KeyText of the certificate with a role and a body.
  std::string Alice(char role, const std::string& body) const { return alice_ + role + "|" + body; }

  C* crypt_ = nullptr;
  std::u16string sha1_;
  std::string der_;
  std::string alice_;
};

TEST_F(CryptHost, ListsAndFindsKeysWhichOutliveTheCryptObject) {
  K* key = nullptr;
  EXPECT_EQ(PrivateCount(), 0);
  EXPECT_EQ(crypt_->GetPrivateKey(0, &key), kUnexpected);
  EXPECT_EQ(TakeErrorDescription(),
            u"Не установлен СКЗИ КриптоПро, который требуется для операции: "
            u"получение личного ключа");
  Init();
  EXPECT_EQ(PrivateCount(), 1);
  BSTR name = nullptr;
  ASSERT_EQ(crypt_->GetContainer(0, &name), S_OK);
  EXPECT_EQ(TakeBstr(name), u"Ключ Алисы");
  ASSERT_EQ(crypt_->GetPrivateKey(0, &key), S_OK);
  EXPECT_EQ(KeyText(key), Alice('1', der_));
  key->Release();
  SetSafeMode(crypt_, true);
  ASSERT_EQ(crypt_->ImportOpponentCertificate(Text(der_).value, &key), S_OK);
  key->Release();
  ASSERT_EQ(crypt_->GetOpponentKeyBySha1(Text(sha1_).value, &key), S_OK);
  EXPECT_TRUE(SafeModeOf(key));  // the Crypt object's mode
  crypt_->Release();
  crypt_ = nullptr;
  EXPECT_EQ(KeyText(key), Alice('1', der_));
  key->Release();
}

TEST_F(CryptHost, KeysWorkByNameThroughIDispatchAndCarryEveryByte) {
  using lyr::automation::host::Call;
  using lyr::automation::host::Var;
  Call(crypt_, u"init");
  const Var key = Call(crypt_, u"GetPrivateKeyBySha1", {Var(sha1_)});
  EXPECT_EQ(Utf16ToAnsi(Call(key.Object(), u"CertificateBody").Str()), der_);
  std::string bytes;
  for (int i = 255; i >= 0; --i) {
    bytes += static_cast<char>(i);
  }
  Call(key.Object(), u"certificatebody", {Var(AnsiToUtf16(bytes))}, DISPATCH_PROPERTYPUT);
  K* typed = nullptr;
  ASSERT_EQ(key.Object()->QueryInterface(IID_ITdx880Key, reinterpret_cast<void**>(&typed)), S_OK);
  EXPECT_EQ(KeyText(typed), Alice('1', bytes));
  typed->Release();
}

// A failing member: a guarded one follows SafeMode; an unguarded one fails whatever SafeMode is
// and leaves LastError as an earlier member set it.
struct Failure {
  const char* name;
  bool guarded;
  std::function<HRESULT(C*, K**)> call;
  std::u16string message;
};

class CryptFailure : public CryptHost, public ::testing::WithParamInterface<Failure> {};

TEST_P(CryptFailure, FollowsItsGuardAndSafeMode) {
  Init();
  for (const bool safe_mode : {true, false}) {
    SetSafeMode(crypt_, true);
    K* key = nullptr;
    EXPECT_EQ(crypt_->GetPrivateKey(7, &key), S_OK);
    const std::u16string earlier = LastErrorOf(crypt_);
    EXPECT_EQ(earlier,
              u"-1: Значение параметра privateKeyIndex (7) должно находиться в "
              u"интервале от 0 до 0");
    SetSafeMode(crypt_, safe_mode);
    ::SetErrorInfo(0, nullptr);
    const bool fails = !GetParam().guarded || !safe_mode;
    EXPECT_EQ(GetParam().call(crypt_, &key), fails ? kUnexpected : S_OK);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(TakeErrorDescription(), fails ? GetParam().message : u"(no error information)");
    EXPECT_EQ(LastErrorOf(crypt_), GetParam().guarded ? u"-1: " + GetParam().message : earlier);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Members, CryptFailure,
    ::testing::Values(
        Failure{"PrivateIndex", true, [](C* c, K** k) { return c->GetPrivateKey(1, k); },
                u"Значение параметра privateKeyIndex (1) должно находиться в интервале от 0 до 0"},
        Failure{"OpponentIndex", true, [](C* c, K** k) { return c->GetOpponentKey(0, k); },
                u"opponentKeyIndex: ошибка задания диапазона - минимальное значение (0) больше "
                u"максимального(-1)"},
        Failure{"ContainerIndex", false,
                [](C* c, K**) {
                  BSTR name = nullptr;
                  return c->GetContainer(-1, &name);
                },
                u"Значение параметра containerIndex (-1) должно находиться в интервале от 0 до 0"},
        Failure{"EmptySha1", true, [](C* c, K** k) { return c->GetPrivateKeyBySha1(nullptr, k); },
                u"Передан пустой аргумент: sha1"},
        Failure{"UnknownSha1", true,
                [](C* c, K** k) { return c->GetOpponentKeyBySha1(Text(u"AB").value, k); },
                u"Внутренняя ошибка: Сертификат не найден"},
        Failure{"EmptyBody", true,
                [](C* c, K** k) { return c->ImportPrivateCertificate(nullptr, nullptr, k); },
                u"Передан пустой аргумент: certificateBody"},
        Failure{"EmptyChain", false, [](C* c, K**) { return c->ImportP7BChain(nullptr); },
                u"Передан пустой аргумент: P7B-content"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CryptHost, CheckSignatureChecksTheHostsBytesAndFailsEvenInSafeMode) {
  std::string content;
  for (int i = 0; i < 512; ++i) {
    content += static_cast<char>(i * 7);
  }
  ASSERT_EQ(Tool("sign " + WriteFile("content", content) + " --key " + Utf16ToAnsi(sha1_) + " -o " +
                 PathOf("sig")),
            0);
  const Text signature(lyr::test::ReadAll(PathOf("sig")));
  SetSafeMode(crypt_, true);
  EXPECT_EQ(crypt_->CheckSignature(Text(content).value, signature.value), S_OK);
  content[0x98] ^= 1;
  EXPECT_EQ(crypt_->CheckSignature(Text(content).value, signature.value), kUnexpected);
  EXPECT_TRUE(TakeErrorDescription().starts_with(u"Ошибка при проверке подписи [0x80090006"));
  EXPECT_EQ(LastErrorOf(crypt_), u"0: ");
}

}  // namespace
