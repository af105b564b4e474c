// CTdx880Document without cryptography: creation, properties, the stored form (a one-entry ZIP
// checked with Python's zipfile), loading back from the working folder, hostile names, closing
// while a holder keeps the item.
#include <gtest/gtest.h>

#include <filesystem>
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

bool IsFileId(const std::string& text) {
  return std::regex_match(text, std::regex("[0-9a-f]{32}"));
}

// ---- New ------------------------------------------------------------------------------------

using DocumentNew = ItemTest;

TEST_F(DocumentNew, NamesTheContentFileAndTheDocumentCodeWithNewIdentifiers) {
  const auto item = NewItem();
  EXPECT_TRUE(item->IsDocumentOpened());
  ASSERT_EQ(item->FileName().size(), 36U);
  EXPECT_TRUE(IsFileId(item->FileName().substr(0, 32))) << item->FileName();
  EXPECT_EQ(item->FileName().substr(32), ".bin");
  EXPECT_TRUE(IsFileId(item->DocumentCode())) << item->DocumentCode();
  EXPECT_NE(item->DocumentCode() + ".bin", item->FileName());
  EXPECT_NE(NewItem()->FileName(), item->FileName());
}

// ---- Properties -----------------------------------------------------------------------------

using DocumentProperties = ItemTest;

TEST_F(DocumentProperties, UnknownDocTypeCodeFailsAndKeepsTheOldType) {
  const auto item = NewItem("01");
  ExpectRaises([&] { item->SetDocTypeCode("99"); },
               Msg(u8"Неизвестный код документа [99] в документообороте [01][Декларация]"));
  EXPECT_EQ(item->DocTypeCode(), "01");
  EXPECT_EQ(item->DocType(), Msg(u8"декларация"));
}

struct NamePartCase {
  std::string name;
  std::string path;
  std::string expected;
};

class DocumentOriginalFilename : public ItemTest,
                                 public ::testing::WithParamInterface<NamePartCase> {};

TEST_P(DocumentOriginalFilename, KeepsOnlyTheNamePart) {
  const auto item = NewItem();
  item->SetOriginalFilename(GetParam().path);
  EXPECT_EQ(item->OriginalFilename(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DocumentOriginalFilename,
    ::testing::Values(NamePartCase{"Bare", "report.xml", "report.xml"},
                      NamePartCase{"WindowsPath", "C:\\Reports\\2026\\report.xml", "report.xml"},
                      NamePartCase{"PosixPath", "/home/user/report.xml", "report.xml"},
                      NamePartCase{"MixedSeparators", "a/b\\c.txt", "c.txt"},
                      NamePartCase{"TrailingSeparator", "folder/", ""},
                      NamePartCase{"Empty", "", ""}),
    [](const auto& info) { return info.param.name; });

struct SetterCase {
  std::string name;
  std::function<void(CTdx880Document&)> set;
  std::string expected;
};

class DocumentSetterChecks : public ItemTest, public ::testing::WithParamInterface<SetterCase> {};

TEST_P(DocumentSetterChecks, RefuseBadValuesWithTheArgumentMessage) {
  const auto item = NewItem();
  ExpectRaises([&] { GetParam().set(*item); },
               rtl::Utf8ToAnsi(std::string_view(GetParam().expected)));
}

INSTANTIATE_TEST_SUITE_P(
    Values, DocumentSetterChecks,
    ::testing::Values(
        SetterCase{"EmptyContentType", [](CTdx880Document& d) { d.SetContentType(""); },
                   "Передан пустой аргумент: ContentType"},
        SetterCase{"ShortDocumentCode", [](CTdx880Document& d) { d.SetDocumentCode("abc"); },
                   "Длина переменной [DocumentCode = \"abc\"] должна быть равной [32]"},
        SetterCase{"ShortFileName", [](CTdx880Document& d) { d.SetFileName("x.bin"); },
                   "Длина переменной [FileName = \"x.bin\"] должна быть равной [36]"},
        SetterCase{"OneCharacterTypeCode", [](CTdx880Document& d) { d.SetDocTypeCode("1"); },
                   "Неизвестный код документа [1] в документообороте [01][Декларация]"}),
    [](const auto& info) { return info.param.name; });

// ---- Content and the stored form ------------------------------------------------------------

using DocumentStoredForm = ItemTest;

TEST_F(DocumentStoredForm, SaveStoresAOneEntryZipNamedFileHoldingTheText) {
  const auto item = NewItem("02", "short text");
  ASSERT_TRUE(item->Save());
  EXPECT_TRUE(item->IsCompressed());
  EXPECT_FALSE(item->IsEncrypted());
  EXPECT_EQ(item->RawContent(), "short text");
  rtl::DecompressionBudget budget;
  EXPECT_EQ(COsAbbreviaTool::UnpackDocument(item->Content(), budget), "short text");
  EXPECT_EQ(PythonZipEntries(WorkFile(item->FileName())), "file=short text");
  const std::string xml = EntryAt(0).GetXML();
  EXPECT_NE(xml.find(Msg(u8"сжат=\"true\"")), std::string::npos) << xml;
  EXPECT_NE(xml.find(Msg(u8"зашифрован=\"false\"")), std::string::npos) << xml;
}

TEST_F(DocumentStoredForm, BinaryContentSurvivesTheRoundTrip) {
  std::string bytes;
  for (int i = 0; i < 70000; ++i) {
    bytes.push_back(static_cast<char>((i * 7919) & 0xFF));
  }
  const auto item = NewItem("01", bytes);
  ASSERT_TRUE(item->Save());
  const auto loaded = LoadItem(0);
  EXPECT_EQ(loaded->Content(), bytes);
  EXPECT_EQ(loaded->RawContent(), bytes);
}

// ---- Loading from the working folder --------------------------------------------------------

using DocumentLoad = ItemTest;

TEST_F(DocumentLoad, GivesThePlainContentBack) {
  NewItem("02", "declaration text")->Save();
  const auto loaded = LoadItem(0);
  EXPECT_TRUE(loaded->IsDocumentOpened());
  EXPECT_EQ(loaded->Content(), "declaration text");
  EXPECT_EQ(loaded->RawContent(), "declaration text");
  EXPECT_FALSE(loaded->IsCompressed());
  EXPECT_FALSE(loaded->IsEncrypted());
}

TEST_F(DocumentLoad, AnUncompressedEntryIsTakenAsItIs) {
  description_.Documents().Add();
  EntryAt(0).SetFileName(std::string(32, 'c') + ".bin");
  rtl::WriteStringToFile(WorkFile(EntryAt(0).FileName()), "PK but not compressed");
  const auto loaded = LoadItem(0);
  EXPECT_EQ(loaded->Content(), "PK but not compressed");
  EXPECT_EQ(loaded->RawContent(), "PK but not compressed");
}

TEST_F(DocumentLoad, AnEncryptedEntryKeepsItsBytesAndHasNoRawContent) {
  description_.Documents().Add();
  EntryAt(0).SetFileName(std::string(32, 'e') + ".bin");
  EntryAt(0).SetIsCompressed(true);
  EntryAt(0).SetIsEncrypted(true);
  rtl::WriteStringToFile(WorkFile(EntryAt(0).FileName()), "enveloped bytes");
  const auto loaded = LoadItem(0);
  EXPECT_EQ(loaded->Content(), "enveloped bytes");
  EXPECT_EQ(loaded->RawContent(), "");
  EXPECT_TRUE(loaded->IsEncrypted());
  EXPECT_TRUE(loaded->IsCompressed());
}

const std::string kName = std::string(32, 'd') + ".bin";
// Names of 36 characters, as a description may carry them, that leave the working folder.
const std::string kOutside = std::string(29, 'o') + ".bin";
const std::string kClimbing = "../" + kOutside;
const std::string kAbsolute = "/" + std::string(31, 'a') + ".bin";
const std::string kBackslash = "..\\" + kOutside;

struct LoadFailureCase {
  std::string name;
  std::string file_name;   // the entry's content file name
  std::string file_bytes;  // written under file_name in the working folder unless empty
  bool compressed;
  std::string expected;
};

class DocumentLoadFailure : public ItemTest,
                            public ::testing::WithParamInterface<LoadFailureCase> {};

TEST_P(DocumentLoadFailure, FailsWithTheMessageAndLeavesTheItemClosed) {
  const LoadFailureCase& c = GetParam();
  description_.Documents().Add();
  EntryAt(0).SetFileName(c.file_name);
  EntryAt(0).SetIsCompressed(c.compressed);
  if (!c.file_bytes.empty()) {
    rtl::WriteStringToFile(WorkFile(c.file_name), c.file_bytes);
  }
  // A file beside the working folder that a climbing name would reach.
  WriteFile(kOutside, COsAbbreviaTool::PackDocument("file", "secret"));
  CTdx880Document item;
  CTdx880ItemConfig config = ConfigFor(0);
  ExpectRaises([&] { item.Open(&config); }, rtl::Utf8ToAnsi(std::string_view(c.expected)));
  EXPECT_FALSE(item.IsDocumentOpened());
  EXPECT_EQ(item.Content(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentLoadFailure,
    ::testing::Values(LoadFailureCase{"MissingFile", kName, "", true,
                                      "Файл в пакете не найден: [" + kName + "]"},
                      LoadFailureCase{"NameClimbingOutOfTheFolder", kClimbing, "", true,
                                      "Файл в пакете не найден: [" + kClimbing + "]"},
                      LoadFailureCase{"AbsoluteName", kAbsolute, "", false,
                                      "Файл в пакете не найден: [" + kAbsolute + "]"},
                      LoadFailureCase{"BackslashName", kBackslash, "", true,
                                      "Файл в пакете не найден: [" + kBackslash + "]"}),
    [](const auto& info) { return info.param.name; });

TEST_F(DocumentLoad, ACompressedEntryOfTwoFilesFails) {
  description_.Documents().Add();
  EntryAt(0).SetFileName(kName);
  EntryAt(0).SetIsCompressed(true);
  std::filesystem::copy_file(PythonZip("two.zip", {{"'a.txt'", "a"}, {"'b.txt'", "b"}}),
                             WorkFile(kName));
  CTdx880Document item;
  CTdx880ItemConfig config = ConfigFor(0);
  ExpectRaises([&] { item.Open(&config); }, Msg(u8"Неверное число файлов в архиве: [2]"));
  EXPECT_FALSE(item.IsDocumentOpened());
}

TEST_F(DocumentLoad, AMissingSignatureFileFails) {
  NewItem("02", "signed")->Save();
  auto& signature_entry = EntryAt(0).Signatures().Add();
  signature_entry.SetFileName(std::string(32, 'f') + ".bin");
  signature_entry.SetRole(1);
  CTdx880Document item;
  CTdx880ItemConfig config = ConfigFor(0);
  ExpectRaises([&] { item.Open(&config); },
               Msg(u8"Файл в пакете не найден: [") + std::string(32, 'f') + ".bin]");
  EXPECT_FALSE(item.IsDocumentOpened());
  EXPECT_EQ(item.GetSignatureCount(), 0);
}

// ---- Saving under a hostile name ------------------------------------------------------------

TEST_F(DocumentStoredForm, RefusesToWriteOutsideTheWorkingFolder) {
  const auto item = NewItem();
  item->SetFileName("../../../../../../../../../../xx.bin");
  ExpectRaises([&] { item->Save(); },
               Msg(u8"Недопустимое имя файла в пакете: [../../../../../../../../../../xx.bin]"));
  EXPECT_FALSE(std::filesystem::exists(PathOf("xx.bin")));
}

// ---- Close and holders ----------------------------------------------------------------------

using DocumentClose = ItemTest;

TEST_F(DocumentClose, ForgetsContentAndEntryAndHolderKeepsAValidObject) {
  auto item = NewItem("02", "content");
  std::shared_ptr<CTdx880Document> holder = item;
  ASSERT_TRUE(item->Close());
  item.reset();
  description_.Documents().Clear();
  EXPECT_FALSE(holder->IsDocumentOpened());
  EXPECT_EQ(holder->Content(), "");
  EXPECT_EQ(holder->RawContent(), "");
  EXPECT_EQ(holder->GetSignatureCount(), 0);
  ExpectRaises([&] { static_cast<void>(holder->FileName()); }, Msg(u8"Документ не открыт"));
  ExpectRaises([&] { holder->SetContent("x"); }, Msg(u8"Документ не открыт"));
  ExpectRaises([&] { holder->Save(); }, Msg(u8"Документ не открыт"));
  EXPECT_TRUE(holder->Close());
}

}  // namespace
}  // namespace lyr::package::test
