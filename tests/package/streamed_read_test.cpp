// A large signed envelope is decrypted, inflated and hashed for its signatures as one stream; its
// failures give the messages of the whole-content reading and bombs are refused.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>

#include "crypt/tdx880_crypto_tool.h"
#include "package/item_fixture.h"
#include "package/os_abbrevia_tool.h"
#include "package/tdx880_signature.h"
#include "package/zip_bomb.h"
#include "rtl/format.h"

namespace lyr::package::test {
namespace {

// About size bytes of declaration-like rows with varying sums: it deflates to a tenth or so,
// which still makes an envelope above the streaming threshold.
std::string Rows(size_t size) {
  std::string text = "<?xml version=\"1.0\"?><Файл>";
  uint32_t state = 17;
  while (text.size() < size) {
    state = state * 1103515245U + 12345U;
    text += rtl::Format("<Строка Н=\"%d\" Сумма=\"%d\"/>", static_cast<int32_t>(text.size()),
                        static_cast<int32_t>(state >> 8));
  }
  return text + "</Файл>";
}

class StreamedReadTest : public ItemTest {
 protected:
  void SetUp() override {
    ItemTest::SetUp();
    InstallUser();
  }

  // A signed item of signed_content, then holding content, enveloped for the user and saved.
  void SaveSigned(const std::string& signed_content, const std::string& content) {
    const auto item = NewItem("01", signed_content);
    const crypt::CTdx880Key key = UserKey();
    ASSERT_TRUE(item->Sign(&key));
    item->SetContent(content);
    ASSERT_TRUE(item->Encrypt(&key));
    ASSERT_TRUE(item->Save());
  }

  // Replaces the saved item's file with bytes.
  void Overwrite(const std::string& bytes) {
    std::ofstream(WorkFile(EntryAt(0).FileName()), std::ios::binary | std::ios::trunc) << bytes;
  }
};

TEST_F(StreamedReadTest, ALargeSignedEnvelopeDecryptsWithDigestsAndVerifies) {
  const std::string rows = Rows(size_t{3} << 20);
  SaveSigned(rows, rows);
  const auto item = LoadItem(0);
  ASSERT_TRUE(item->Decrypt());
  EXPECT_EQ(item->RawContent(), rows);
  ASSERT_NE(item->DigestsOf(item->PlainBytes()), nullptr);
  EXPECT_TRUE(item->CheckSignEx(false, false));
  // Changed content drops the digests.
  item->SetContent(rows + " ");
  EXPECT_EQ(item->DigestsOf(item->PlainBytes()), nullptr);
}

// A changed document and a damaged envelope fail with the messages of the whole-content reading;
// the damaged envelope stays encrypted.
TEST_F(StreamedReadTest, FailuresGiveTheMessagesOfTheWholeReading) {
  const std::string rows = Rows(size_t{1} << 20);
  std::string changed = rows;
  changed[rows.size() / 2] = '7';
  SaveSigned(rows, changed);
  const auto item = LoadItem(0);
  std::string envelope = item->Content();
  envelope[envelope.size() - 5000] ^= 0x55;  // inside the encrypted deflated data
  Overwrite(envelope);
  rtl::DecompressionBudget budget;
  const std::string damaged = MessageOf([&] {
    COsAbbreviaTool::UnpackDocument(
        crypt::CTdx880CryptoTool().Decrypt(config_.FlagUsageUserStorage(), envelope), budget);
  });
  ASSERT_FALSE(damaged.empty());
  const auto damaged_item = LoadItem(0);
  ExpectRaises([&] { damaged_item->Decrypt(); }, damaged);
  EXPECT_TRUE(damaged_item->IsEncrypted());
  EXPECT_EQ(damaged_item->Content(), envelope);
  ASSERT_TRUE(item->Decrypt());
  ASSERT_NE(item->DigestsOf(item->PlainBytes()), nullptr);
  rtl::CStrArray signers;  // the check of the whole plain content, without digests
  const std::string expected = MessageOf([&] {
    crypt::CTdx880CryptoTool().CheckSignEx(config_.FlagUsageUserStorage(), *item->PlainBytes(),
                                           false, false, &signers,
                                           item->GetSignature(0)->SignatureContent());
  });
  EXPECT_NE(expected.find(Msg(u8"Ошибка при проверке подписи")), std::string::npos);
  ExpectRaises([&] { item->CheckSignEx(false, false); }, expected);
}

TEST_F(StreamedReadTest, BombsInASignedEnvelopeAreRefused) {
  SaveSigned("signed", "signed");
  const std::string certificate = SharedPki().user_party.certificate.Der();
  const auto enveloped = [&](uint64_t size, uint64_t declared) {
    return crypt::CTdx880CryptoTool().EncryptByCertificate(ZeroRunZip(size, declared), certificate);
  };
  // Lying about its size: stopped where it passes what it declared.
  Overwrite(enveloped(uint64_t{128} << 20, uint64_t{1} << 20));
  ExpectRaises([&] { LoadItem(0)->Decrypt(); },
               rtl::Format(Msg(u8"Размер файла в архиве больше заявленного: [%s]"), "file"));
  // Honest, over the budget: refused before anything is inflated.
  Overwrite(enveloped(uint64_t{128} << 20, 0));
  config_.Budget().Reset();
  config_.Budget().SetLimit(uint64_t{64} << 20);
  ExpectRaises([&] { LoadItem(0)->Decrypt(); },
               rtl::Format(Msg(u8"Слишком большой объём документов в пакете: [%s]"),
                           config_.Budget().Name()));
  EXPECT_EQ(config_.Budget().Used(), 0U);
}

}  // namespace
}  // namespace lyr::package::test
