// CTdx880Document without cryptography: creation, setters, the stored form (a one-entry ZIP read
// by Python's zipfile) loaded back, names that are not the item's, closing while a holder keeps it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <string>

#include "package/item_fixture.h"
#include "package/os_abbrevia_tool.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "rtl/text.h"
#include "rtl/whole_file.h"

namespace lyr::package::test {
namespace {

using rtl::Msg;

using DocumentTest = ItemTest;

// A new item has a content file and a document code of new identifiers, and keeps the name part
// of its original file name only.
TEST_F(DocumentTest, NewNamesTheContentFileAndKeepsTheNamePartOfTheOriginal) {
  const auto item = NewItem();
  EXPECT_TRUE(std::regex_match(item->FileName(), std::regex("[0-9a-f]{32}\\.bin")));
  EXPECT_TRUE(std::regex_match(item->DocumentCode(), std::regex("[0-9a-f]{32}")));
  EXPECT_NE(item->DocumentCode() + ".bin", item->FileName());
  EXPECT_NE(NewItem()->FileName(), item->FileName());
  for (const auto& [path, name] :
       {std::pair<std::string, std::string>{"C:\\Reports\\a.xml", "a.xml"},
        {"/home/user/a/b\\c.txt", "c.txt"},
        {"folder/", ""}}) {
    item->SetOriginalFilename(path);
    EXPECT_EQ(item->OriginalFilename(), name) << path;
  }
}

TEST_F(DocumentTest, SettersRefuseBadValuesWithTheArgumentMessage) {
  const auto item = NewItem("01");
  const std::pair<std::function<void()>, std::u8string> cases[] = {
      {[&] { item->SetDocumentCode("abc"); },
       u8"Длина переменной [DocumentCode = \"abc\"] должна быть равной [32]"},
      {[&] { item->SetFileName("x.bin"); },
       u8"Длина переменной [FileName = \"x.bin\"] должна быть равной [36]"},
      {[&] { item->SetDocTypeCode("1"); },
       u8"Неизвестный код документа [1] в документообороте [01][Декларация]"}};
  for (const auto& [set, message] : cases) {
    ExpectRaises(set, Msg(message));
  }
  EXPECT_EQ(item->DocTypeCode() + item->DocType(), "01" + Msg(u8"декларация"));
}

// The stored form is a one-entry ZIP named "file" (read by zipfile); loaded back, binary content
// is as it was, plain.
TEST_F(DocumentTest, SaveStoresAOneEntryZipAndLoadGivesThePlainContentBack) {
  const auto item = NewItem("02", "short text");
  ASSERT_TRUE(item->Save());
  EXPECT_TRUE(item->IsCompressed());
  EXPECT_EQ(PythonZipEntries(WorkFile(item->FileName())), "file=short text");
  EXPECT_NE(EntryAt(0).GetXML().find(Msg(u8"сжат=\"true\" зашифрован=\"false\"")),
            std::string::npos);
  const std::string bytes = lyr::test::Content(70000);
  ASSERT_TRUE(NewItem("01", bytes)->Save());
  const auto loaded = LoadItem(1);
  EXPECT_EQ(loaded->Content() + loaded->RawContent(), bytes + bytes);
  EXPECT_FALSE(loaded->IsCompressed() || loaded->IsEncrypted());
}

// A missing signature file, a missing content file and a name climbing out of the working folder
// (to a file that is there) fail to open; a name leaving the working folder fails to save.
TEST_F(DocumentTest, OpenAndSaveRefuseWhatIsNotTheirs) {
  NewItem("02", "signed")->Save();
  auto& signature_entry = EntryAt(0).Signatures().Add();
  signature_entry.SetFileName(std::string(32, 'f') + ".bin");
  signature_entry.SetRole(1);
  const std::string names[] = {std::string(32, 'm') + ".bin",
                               "../" + std::string(29, 'o') + ".bin"};
  for (const std::string& name : names) {
    description_.Documents().Add().SetFileName(name);
    description_.Documents().Items(description_.Documents().Count() - 1).SetIsCompressed(true);
  }
  WriteFile(names[1].substr(3), COsAbbreviaTool::PackDocument("file", "secret"));
  const std::pair<int, std::string> failures[] = {
      {0, Msg(u8"Файл в пакете не найден: [") + std::string(32, 'f') + ".bin]"},
      {1, Msg(u8"Файл в пакете не найден: [") + names[0] + "]"},
      {2, Msg(u8"Файл в пакете не найден: [") + names[1] + "]"}};
  for (const auto& [index, message] : failures) {
    CTdx880Document item;
    CTdx880ItemConfig config = ConfigFor(index);
    ExpectRaises([&] { item.Open(&config); }, message);
    EXPECT_FALSE(item.IsDocumentOpened());
    EXPECT_EQ(item.Content(), "");
    EXPECT_EQ(item.GetSignatureCount(), 0);
  }
  const auto item = NewItem();
  item->SetFileName("../../../../../../../../../../xx.bin");
  ExpectRaises([&] { item->Save(); },
               Msg(u8"Недопустимое имя файла в пакете: [../../../../../../../../../../xx.bin]"));
  EXPECT_FALSE(std::filesystem::exists(PathOf("xx.bin")));
}

TEST_F(DocumentTest, ForgetsContentAndEntryAndHolderKeepsAValidObject) {
  auto item = NewItem("02", "content");
  std::shared_ptr<CTdx880Document> holder = item;
  ASSERT_TRUE(item->Close());
  item.reset();
  description_.Documents().Clear();
  EXPECT_FALSE(holder->IsDocumentOpened());
  EXPECT_EQ(holder->Content() + holder->RawContent(), "");
  EXPECT_EQ(holder->GetSignatureCount(), 0);
  ExpectRaises([&] { holder->Save(); }, Msg(u8"Документ не открыт"));
  EXPECT_TRUE(holder->Close());
}

}  // namespace
}  // namespace lyr::package::test
