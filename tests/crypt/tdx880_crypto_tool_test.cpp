// CTdx880CryptoTool and CCryptoAPI20Tool: signing by thumbprint at both locations, encryption by
// thumbprint and by certificate body, decryption, the signer of a stored signature, the checks
// and messages, and operations from several threads at once.
#include "crypt/tdx880_crypto_tool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "crypt/crypt_error.h"
#include "crypt/crypto_api20_tool.h"
#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/private_key.h"
#include "crypt/tdx880_key.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/text.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using rtl::Msg;
using test::SharedPki;

template <typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

std::string LengthMessage(const std::string& value) {
  return rtl::Format(Msg(u8"Длина переменной [%0:s = \"%1:s\"] должна быть равной [%2:d]"), "sha1",
                     value, 40);
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return text;
}

using test::Content;

// The sandbox with the test PKI's user as a personal key ("MY" bound to a container) and as a
// correspondent ("addressbook") at a location.
class CryptoToolTest : public test::PkiSandbox {
 protected:
  void InstallPersonal(StoreLocation location) {
    test::InstallSigner(SharedPki().user_party, "user-key", location);
  }
  void InstallCorrespondent(StoreLocation location) {
    test::AddToStore(user_, "addressbook", location);
  }

  const Certificate& user_ = SharedPki().user_party.certificate;
  CTdx880CryptoTool tool_;
};

struct LocationCase {
  const char* name;
  bool user_storage;
  StoreLocation location;
};

const LocationCase kLocations[] = {{"CurrentUser", true, StoreLocation::kCurrentUser},
                                   {"LocalMachine", false, StoreLocation::kLocalMachine}};

class CryptoToolAtLocation : public CryptoToolTest,
                             public ::testing::WithParamInterface<LocationCase> {};

INSTANTIATE_TEST_SUITE_P(Locations, CryptoToolAtLocation, ::testing::ValuesIn(kLocations),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- signing ------------------------------------------------------------------------------

TEST_P(CryptoToolAtLocation, SignsWithTheKeyOfItsLocation) {
  InstallPersonal(GetParam().location);
  const std::string content = Content(20000);
  const std::string signature = tool_.Sign(GetParam().user_storage, content, user_.Thumbprint());
  EXPECT_TRUE(OpenSslVerifies(content, signature));
  EXPECT_FALSE(OpenSslVerifies(content + "x", signature));
  EXPECT_EQ(CTdx880CryptoTool::SignerFromSignature(signature).sha1, user_.Thumbprint());
}

TEST_P(CryptoToolAtLocation, DoesNotSignWithTheKeyOfTheOtherLocation) {
  InstallPersonal(GetParam().location);
  EXPECT_EQ(
      MessageOf([&] { (void)tool_.Sign(!GetParam().user_storage, "x", user_.Thumbprint()); }),
      rtl::Format(Msg(u8"Личный сертификат с отпечатком [%s] не найден"), user_.Thumbprint()));
}

TEST_F(CryptoToolTest, LowerCaseThumbprintFindsNoSigningCertificate) {
  InstallPersonal(StoreLocation::kCurrentUser);
  const std::string lower = Lower(user_.Thumbprint());
  ASSERT_NE(lower, user_.Thumbprint());
  EXPECT_EQ(MessageOf([&] { (void)tool_.Sign(true, "x", lower); }),
            rtl::Format(Msg(u8"Личный сертификат с отпечатком [%s] не найден"), lower));
}

struct ThumbprintLengthCase {
  const char* name;
  size_t length;
};

class SignThumbprintLength : public CryptoToolTest,
                             public ::testing::WithParamInterface<ThumbprintLengthCase> {};

TEST_P(SignThumbprintLength, FailsBeforeAnyStoreIsOpened) {
  const std::string thumbprint = std::string(GetParam().length, 'A');
  // An empty thumbprint is an empty argument rather than one of the wrong length.
  EXPECT_EQ(
      MessageOf([&] { (void)tool_.Sign(true, "content", thumbprint); }),
      thumbprint.empty() ? Msg(u8"Передан пустой аргумент: sha1") : LengthMessage(thumbprint));
  EXPECT_FALSE(std::filesystem::exists(Home() / "user")) << "a store was opened";
}

INSTANTIATE_TEST_SUITE_P(Lengths, SignThumbprintLength,
                         ::testing::Values(ThumbprintLengthCase{"Empty", 0},
                                           ThumbprintLengthCase{"ThirtyNine", 39},
                                           ThumbprintLengthCase{"FortyOne", 41}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CryptoToolTest, EmptyContentIsCheckedBeforeTheThumbprint) {
  EXPECT_EQ(MessageOf([&] { (void)tool_.Sign(true, "", "short"); }),
            Msg(u8"Передан пустой аргумент: content"));
}

TEST_F(CryptoToolTest, CertificateWithoutContainerCannotSign) {
  test::AddToStore(user_, "MY");
  const std::string message = MessageOf([&] { (void)tool_.Sign(true, "x", user_.Thumbprint()); });
  EXPECT_TRUE(message.starts_with("0x8009200B")) << message;
}

// ---- encryption and decryption -----------------------------------------------------------

TEST_P(CryptoToolAtLocation, EncryptsByThumbprintAndDecryptsWithThePersonalKey) {
  InstallPersonal(GetParam().location);
  InstallCorrespondent(GetParam().location);
  const std::string content = Content(70000);
  const std::string envelope =
      tool_.EncryptBySha1(GetParam().user_storage, content, user_.Thumbprint());
  EXPECT_NE(envelope.find(content.substr(0, 64)), 0U);
  EXPECT_EQ(tool_.Decrypt(GetParam().user_storage, envelope), content);
}

TEST_P(CryptoToolAtLocation, EncryptionByThumbprintLooksOnlyAtItsLocation) {
  InstallCorrespondent(GetParam().location);
  const std::string thumbprint = user_.Thumbprint();
  EXPECT_EQ(
      MessageOf([&] { (void)tool_.EncryptBySha1(!GetParam().user_storage, "x", thumbprint); }),
      rtl::Format(Msg(u8"Сертификат для шифрования с отпечатком [%s] не найден в храниилище "
                      u8"\"Другие пользователи\""),
                  thumbprint));
}

TEST_F(CryptoToolTest, EncryptionByLowerCaseThumbprintFindsNoRecipient) {
  InstallCorrespondent(StoreLocation::kCurrentUser);
  const std::string lower = Lower(user_.Thumbprint());
  EXPECT_EQ(MessageOf([&] { (void)tool_.EncryptBySha1(true, "x", lower); }),
            rtl::Format(Msg(u8"Сертификат для шифрования с отпечатком [%s] не найден в храниилище "
                            u8"\"Другие пользователи\""),
                        lower));
}

TEST_F(CryptoToolTest, EncryptionByThumbprintDoesNotLookAtPersonalCertificates) {
  InstallPersonal(StoreLocation::kCurrentUser);
  EXPECT_NE(MessageOf([&] { (void)tool_.EncryptBySha1(true, "x", user_.Thumbprint()); }),
            "(no error)");
}

struct BodyCase {
  const char* name;
  std::string (*body)(const std::filesystem::path& pem);
};

const BodyCase kBodies[] = {
    {"Der", [](const std::filesystem::path& pem) { return test::PemFileToDer(pem); }},
    {"Pem", [](const std::filesystem::path& pem) { return test::FileBytes(pem); }},
    {"BareBase64",
     [](const std::filesystem::path& pem) {
       std::string text = test::FileBytes(pem);
       for (const std::string marker :
            {"-----BEGIN CERTIFICATE-----", "-----END CERTIFICATE-----"}) {
         text.erase(text.find(marker), marker.size());
       }
       return text;
     }},
};

class EncryptByCertificateBody : public CryptoToolTest,
                                 public ::testing::WithParamInterface<BodyCase> {};

TEST_P(EncryptByCertificateBody, NeedsNoStoreEntryAndDecrypts) {
  const std::string content = Content(3000);
  const std::string envelope =
      tool_.EncryptByCertificate(content, GetParam().body(SharedPki().user));
  EXPECT_FALSE(std::filesystem::exists(Home() / "user" / "stores" / "addressbook"));
  InstallPersonal(StoreLocation::kCurrentUser);
  EXPECT_EQ(tool_.Decrypt(true, envelope), content);
}

INSTANTIATE_TEST_SUITE_P(Bodies, EncryptByCertificateBody, ::testing::ValuesIn(kBodies),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CryptoToolTest, EnvelopeForSomeoneElseCannotBeOpened) {
  InstallPersonal(StoreLocation::kCurrentUser);
  const std::string envelope =
      tool_.EncryptByCertificate("secret", test::PemFileToDer(SharedPki().root));
  const std::string message = MessageOf([&] { (void)tool_.Decrypt(true, envelope); });
  EXPECT_EQ(message, Msg(u8"Ошибка при расшифровании (1): ") +
                         CryptErrorCodeText(code::kCryptENoDecryptCert));
}

TEST_F(CryptoToolTest, EnvelopeCannotBeOpenedFromTheOtherLocation) {
  InstallPersonal(StoreLocation::kCurrentUser);
  const std::string envelope = tool_.EncryptByCertificate("secret", user_.Der());
  EXPECT_EQ(
      MessageOf([&] { (void)tool_.Decrypt(false, envelope); }),
      Msg(u8"Ошибка при расшифровании (1): ") + CryptErrorCodeText(code::kCryptENoDecryptCert));
  EXPECT_EQ(tool_.Decrypt(true, envelope), "secret");
}

TEST_F(CryptoToolTest, EncryptionByBodyThatIsNoCertificateFailsWithTheOsError) {
  // The body is loaded as a CKORALCertificate: a failed load is the OS error of the last error.
  try {
    (void)tool_.EncryptByCertificate("x", "not a certificate at all!");
    FAIL() << "encrypted for no certificate";
  } catch (const rtl::EOSError& error) {
    EXPECT_EQ(static_cast<uint32_t>(error.ErrorCode()), code::kCryptEAsn1BadTag);
    EXPECT_TRUE(error.Message().starts_with(
        rtl::Format("System Error.  Code: %d.\r\n", static_cast<int32_t>(code::kCryptEAsn1BadTag))))
        << error.Message();
  }
}

// ---- certificate bodies by thumbprint -----------------------------------------------------

TEST_F(CryptoToolTest, CertificateBodyBySha1LooksInMyOrInTheAddressBook) {
  InstallPersonal(StoreLocation::kCurrentUser);
  const std::string thumbprint = user_.Thumbprint();
  EXPECT_EQ(tool_.GetCertificateBodyBySha1(true, thumbprint, true), user_.Der());
  EXPECT_EQ(MessageOf([&] { (void)tool_.GetCertificateBodyBySha1(true, thumbprint, false); }),
            rtl::Format(Msg(u8"Сертификат по отпечатку [%s] не найден в хранилище [%s]"),
                        thumbprint, "addressbook"));
  InstallCorrespondent(StoreLocation::kCurrentUser);
  EXPECT_EQ(tool_.GetCertificateBodyBySha1(true, thumbprint, false), user_.Der());
  EXPECT_EQ(MessageOf([&] { (void)tool_.GetCertificateBodyBySha1(false, thumbprint, true); }),
            rtl::Format(Msg(u8"Сертификат по отпечатку [%s] не найден в хранилище [%s]"),
                        thumbprint, "MY"));
}

TEST_F(CryptoToolTest, CertificateBodyBySha1ComparesTheThumbprintExactly) {
  InstallPersonal(StoreLocation::kCurrentUser);
  const std::string lower = Lower(user_.Thumbprint());
  EXPECT_EQ(
      MessageOf([&] { (void)tool_.GetCertificateBodyBySha1(true, lower, true); }),
      rtl::Format(Msg(u8"Сертификат по отпечатку [%s] не найден в хранилище [%s]"), lower, "MY"));
  EXPECT_EQ(MessageOf([&] { (void)tool_.GetCertificateBodyBySha1(true, "", true); }),
            Msg(u8"Передан пустой аргумент: sSha1"));
}

// ---- the signer of a stored signature -------------------------------------------------------

TEST_F(CryptoToolTest, SignerFromSignatureGivesBodyThumbprintAndName) {
  InstallPersonal(StoreLocation::kCurrentUser);
  const SignatureSigner signer =
      CTdx880CryptoTool::SignerFromSignature(tool_.Sign(true, "signed", user_.Thumbprint()));
  EXPECT_EQ(signer.certificate_body, user_.Der());
  EXPECT_EQ(signer.sha1, user_.Thumbprint());
  EXPECT_EQ(signer.subject_cn, user_.SubjectCN().value());
}

TEST_F(CryptoToolTest, SignerFromOpenSslSignatureWithoutCertificatesIsRefused) {
  WriteFile("content.bin", "text");
  ASSERT_EQ(
      OpenSsl("cms -sign -binary -md md_gost94 -nocerts -outform DER -in content.bin -signer '" +
              SharedPki().user.string() + "' -inkey '" + SharedPki().user_key.string() +
              "' -out nocerts.p7s"),
      0);
  EXPECT_EQ(MessageOf([&] {
              (void)CTdx880CryptoTool::SignerFromSignature(test::ReadAll(PathOf("nocerts.p7s")));
            }),
            Msg(u8"Подпись не содержит сертификата подписанта"));
}

TEST_F(CryptoToolTest, SignerFromBytesThatAreNoSignatureIsRefused) {
  const std::string message =
      MessageOf([&] { (void)CTdx880CryptoTool::SignerFromSignature("garbage"); });
  EXPECT_TRUE(message.starts_with(
      Msg(u8"Не удалось извлечь подписанта из подписи. Неверный формат подписи: 0x")))
      << message;
}

// ---- the provider -------------------------------------------------------------------------

TEST_F(CryptoToolTest, CryptographyIsAvailableWithTheGostEngineOnly) {
  EXPECT_TRUE(CTdx880CryptoTool::IsCryptographyOk());
  HideEngine();
  EXPECT_FALSE(CTdx880CryptoTool::IsCryptographyOk());
}

TEST_F(CryptoToolTest, ToolWithoutTheProviderFailsWithTheInitialisationMessage) {
  HideEngine();
  const std::string message = MessageOf([] { const CCryptoAPI20Tool tool; });
  EXPECT_TRUE(message.starts_with(Msg(u8"Ошибка при инициализации криптопровайдера: ") +
                                  CryptErrorCodeText(code::kNteProviderDllFail)))
      << message;
}

// ---- the worker's argument checks -----------------------------------------------------------

struct ToolCheckCase {
  const char* name;
  void (*call)(CCryptoAPI20Tool& tool);
  const char8_t* message;
};

const ToolCheckCase kToolChecks[] = {
    {"LoadStoreAtLocationZero",
     [](CCryptoAPI20Tool& tool) {
       rtl::CStrArray list;
       tool.SetStoreLocation(0);
       tool.LoadStore(store_code::kMy, &list);
     },
     u8"Неизвестное хранилище"},
    {"LoadStoreOfStoreZero",
     [](CCryptoAPI20Tool& tool) {
       rtl::CStrArray list;
       tool.LoadStore(0, &list);
     },
     u8"Неизвестное имя хранилища"},
    {"LoadStoreOfStoreFive",
     [](CCryptoAPI20Tool& tool) {
       rtl::CStrArray list;
       tool.LoadStore(5, &list);
     },
     u8"Недоступное имя хранилища: [5]"},
    {"LoadStoreWithoutList",
     [](CCryptoAPI20Tool& tool) { tool.LoadStore(store_code::kMy, nullptr); },
     u8"Передан пустой аргумент: certArray"},
    {"FindBySha1AtLocationZero",
     [](CCryptoAPI20Tool& tool) {
       tool.SetStoreLocation(0);
       (void)tool.FindBySha1(store_code::kMy, "A");
     },
     u8"Неизвестное хранилище"},
    {"FindBySha1OfStoreZero", [](CCryptoAPI20Tool& tool) { (void)tool.FindBySha1(0, "A"); },
     u8"Неизвестное имя хранилища"},
    {"FindBySha1Empty", [](CCryptoAPI20Tool& tool) { (void)tool.FindBySha1(store_code::kMy, ""); },
     u8"Передан пустой аргумент: sSha1"},
    {"FindBySha1AtLocationThree",
     [](CCryptoAPI20Tool& tool) {
       tool.SetStoreLocation(3);
       (void)tool.FindBySha1(store_code::kMy, "A");
     },
     u8"Недоступное хранилище: [3]"},
    {"CertificateFromEmptyBody", [](CCryptoAPI20Tool& tool) { (void)tool.CertificateFromBody(""); },
     u8"Передан пустой аргумент: CertificateBody"},
    {"SubjectOfNoCertificate", [](CCryptoAPI20Tool& tool) { (void)tool.GetSubjectCN(nullptr); },
     u8"Передан пустой аргумент: certcontext"},
    {"Sha1OfNoCertificate", [](CCryptoAPI20Tool& tool) { (void)tool.GetSha1(nullptr); },
     u8"Передан пустой аргумент: certcontext"},
    {"BodyOfNoCertificate", [](CCryptoAPI20Tool& tool) { (void)tool.GetCertificateBody(nullptr); },
     u8"Передан пустой аргумент: CertContext"},
    {"VerifyEmptyContent",
     [](CCryptoAPI20Tool& tool) { tool.VerifySignature(true, "", "s", false, false, 0, nullptr); },
     u8"Передан пустой аргумент: content"},
    {"VerifyEmptySignature",
     [](CCryptoAPI20Tool& tool) { tool.VerifySignature(true, "c", "", false, false, 0, nullptr); },
     u8"Передан пустой аргумент: signature"},
};

class CryptoAPI20ToolCheck : public CryptoToolTest,
                             public ::testing::WithParamInterface<ToolCheckCase> {};

TEST_P(CryptoAPI20ToolCheck, FailsWithTheUniformMessage) {
  CCryptoAPI20Tool tool;
  EXPECT_EQ(MessageOf([&] { GetParam().call(tool); }), Msg(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(Checks, CryptoAPI20ToolCheck, ::testing::ValuesIn(kToolChecks),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CryptoToolTest, WorkerListsEveryCertificateOfAStoreByThumbprint) {
  InstallPersonal(StoreLocation::kLocalMachine);
  const Certificate& root = SharedPki().root_party.certificate;
  test::AddToStore(root, "MY", StoreLocation::kLocalMachine);
  CCryptoAPI20Tool tool;
  rtl::CStrArray list;
  list.SetOwnershipMode(rtl::StrArrayOwnership::kDestroy);
  tool.LoadStore(store_code::kMy, &list);
  EXPECT_EQ(list.Count(), 0) << "the current user's MY is empty";
  tool.SetStoreLocation(1);
  tool.LoadStore(store_code::kMy, &list);
  ASSERT_EQ(list.Count(), 2);
  for (int32_t i = 0; i < list.Count(); ++i) {
    EXPECT_EQ(list.Strings(i), list.Object<Certificate>(i)->Thumbprint());
  }
  EXPECT_NE(list.IndexOf(root.Thumbprint()), -1);
  EXPECT_NE(list.IndexOf(user_.Thumbprint()), -1);
}

// ---- several threads ----------------------------------------------------------------------

TEST_F(CryptoToolTest, OperationsRunFromTwoThreadsAtOnce) {
  InstallPersonal(StoreLocation::kCurrentUser);
  InstallCorrespondent(StoreLocation::kCurrentUser);
  constexpr int kRounds = 12;
  struct Outcome {
    std::vector<std::string> contents, signatures, opened;
    std::string failure;
  };
  std::vector<Outcome> outcomes(2);
  auto work = [&](int thread) {
    Outcome& outcome = outcomes[static_cast<size_t>(thread)];
    try {
      const CTdx880CryptoTool tool;
      for (int round = 0; round < kRounds; ++round) {
        const std::string content = Content(1000 + static_cast<size_t>(round) * 97,
                                            static_cast<unsigned>(thread * 100 + round));
        outcome.contents.push_back(content);
        outcome.signatures.push_back(tool.Sign(true, content, user_.Thumbprint()));
        const std::string envelope = round % 2 == 0
                                         ? tool.EncryptBySha1(true, content, user_.Thumbprint())
                                         : tool.EncryptByCertificate(content, user_.Der());
        outcome.opened.push_back(tool.Decrypt(true, envelope));
      }
    } catch (const rtl::Exception& error) {
      outcome.failure = error.Message();
    }
  };
  std::thread first(work, 0);
  std::thread second(work, 1);
  first.join();
  second.join();
  for (const Outcome& outcome : outcomes) {
    EXPECT_EQ(outcome.failure, "");
    ASSERT_EQ(outcome.opened.size(), static_cast<size_t>(kRounds));
    EXPECT_EQ(outcome.opened, outcome.contents);
    EXPECT_TRUE(OpenSslVerifies(outcome.contents.back(), outcome.signatures.back()));
    EXPECT_EQ(CTdx880CryptoTool::SignerFromSignature(outcome.signatures.front()).sha1,
              user_.Thumbprint());
  }
}

}  // namespace
}  // namespace lyr::crypt
