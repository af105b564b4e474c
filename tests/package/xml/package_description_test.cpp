// Tests of the package description: exact text, round trips, reading rules and messages, setters.
#include "package/xml/xml_gpr_package.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "package/xml/subject_code_words.h"
#include "test_support.h"

namespace lyr::xml {
namespace {

using test::ExpectRaises;
using test::W;

const std::string kThreadCode = "0123456789abcdef0123456789abcdef";
const std::string kDocumentCode = "fedcba9876543210fedcba9876543210";

std::string FileId(char c) {
  return std::string(32, c) + ".bin";
}

void FillHeader(CXMLGprPackage& package) {
  package.SetThreadType(W(u8"ДекларацияНП"));
  package.SetThreadTypeCode("01");
  package.SetTransactType(W(u8"ДекларацияНП"));
  package.SetTransactTypeCode("01");
  package.SetProgVersion("Lyr.Tdx.Package880");
  package.Sender().SetSubjectIdentifier("2AA_7701234567");
  package.Sender().SetSubjectCode(1);
  package.Receiver().SetSubjectIdentifier("7701");
  package.Receiver().SetSubjectCode(2);
}

CXMLGprDocument& AddDocument(CXMLGprPackage& package, char file, int signatures) {
  CXMLGprDocument& document = package.Documents().Add();
  document.SetDocumentType(W(u8"декларация"));
  document.SetDocumentTypeCode("01");
  document.SetContentType("xml");
  document.SetIsCompressed(true);
  document.SetOriginalFilename(W(u8"NO_NDS_7701_7701_Отчёт.xml"));
  document.SetFileName(FileId(file));
  for (int i = 0; i < signatures; ++i) {
    CXMLGprSignature& signature = document.Signatures().Add();
    signature.SetFileName(FileId(static_cast<char>(file + 1 + i)));
    signature.SetRole(static_cast<uint8_t>(1 + i));
  }
  return document;
}

TEST(PackageDescription, WritesExactText) {
  CXMLGprPackage package;
  FillHeader(package);
  package.SetThreadCode(kThreadCode);
  package.SpecialOperator().SetSubjectIdentifier("2AA");
  package.SpecialOperator().SetSubjectCode(3);
  AddDocument(package, 'a', 2).SetDocumentCode(kDocumentCode);
  EXPECT_EQ(package.GetXML(),
            test::kDeclaration +
                W(u8"\r\n<ТрансИнф версияФормата=\"ТДХ:1.0\" кодТипаДокументооборота=\"01\" "
                  u8"типДокументооборота=\"ДекларацияНП\" кодТипаТранзакции=\"01\" "
                  u8"типТранзакции=\"ДекларацияНП\" "
                  u8"идентификаторДокументооборота=\"0123456789abcdef0123456789abcdef\" "
                  u8"ВерсПрог=\"Lyr.Tdx.Package880\">\r\n"
                  u8"\t<отправитель идентификаторСубъекта=\"2AA_7701234567\" "
                  u8"типСубъекта=\"абонент\"/>\r\n"
                  u8"\t<спецоператор идентификаторСубъекта=\"2AA\" "
                  u8"типСубъекта=\"спецоператор\"/>\r\n"
                  u8"\t<получатель идентификаторСубъекта=\"7701\" "
                  u8"типСубъекта=\"налоговыйОрган\"/>\r\n"
                  u8"\t<документ кодТипаДокумента=\"01\" типДокумента=\"декларация\" "
                  u8"типСодержимого=\"xml\" сжат=\"true\" зашифрован=\"false\" "
                  u8"идентификаторДокумента=\"fedcba9876543210fedcba9876543210\" "
                  u8"исходноеИмяФайла=\"NO_NDS_7701_7701_Отчёт.xml\">\r\n"
                  u8"\t\t<содержимое имяФайла=\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.bin\"/>\r\n"
                  u8"\t\t<подпись имяФайла=\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.bin\" "
                  u8"роль=\"абонент\"/>\r\n"
                  u8"\t\t<подпись имяФайла=\"cccccccccccccccccccccccccccccccc.bin\" "
                  u8"роль=\"налоговыйОрган\"/>\r\n"
                  u8"\t</документ>\r\n"
                  u8"</ТрансИнф>\r\n"));
}

TEST(PackageDescription, ThreeDocumentsTwoSignaturesEachAndSpecialOperatorRoundTrip) {
  CXMLGprPackage package;
  FillHeader(package);
  package.SpecialOperator().SetSubjectIdentifier(W(u8"оператор & <сын>"));
  package.SpecialOperator().SetSubjectCode(3);
  for (char file : {'a', 'd', 'g'}) {
    AddDocument(package, file, 2);
  }
  package.Documents().Items(1).SetIsCompressed(false);
  package.Documents().Items(1).SetIsEncrypted(true);
  package.Documents().Items(1).SetOriginalFilename("A&B \"x\" >y<  'z'.xml");
  package.Documents().Items(2).SetFileName("");
  package.Documents().Items(2).SetOriginalFilename("");
  CXMLGprPackage read;
  read.SetXML(package.GetXML());
  read.Read();
  // What is read writes the same text again: every field survived.
  ASSERT_EQ(read.Documents().Count(), 3);
  EXPECT_EQ(read.GetXML(), package.GetXML());
}

// Every subject code as sender, special operator, receiver and signature role reads back as
// written, except 4, which is written with the word of 1.
TEST(PackageDescription, EverySubjectCodeRoundTrips) {
  for (uint8_t code = 1; code <= 11; ++code) {
    CXMLGprPackage package;
    FillHeader(package);
    package.Sender().SetSubjectCode(code);
    package.SpecialOperator().SetSubjectIdentifier("op");
    package.SpecialOperator().SetSubjectCode(code);
    package.Receiver().SetSubjectCode(code);
    AddDocument(package, 'a', 1).Signatures().Items(0).SetRole(code);
    CXMLGprPackage read;
    read.SetXML(package.GetXML());
    read.Read();
    const uint8_t expected = code == 4 ? 1 : code;
    EXPECT_EQ(read.Sender().SubjectCode(), expected) << int{code};
    EXPECT_EQ(read.SpecialOperator().SubjectCode(), expected) << int{code};
    EXPECT_EQ(read.Receiver().SubjectCode(), expected) << int{code};
    EXPECT_EQ(read.Documents().Items(0).Signatures().Items(0).Role(), expected) << int{code};
  }
}

struct WriteFailureCase {
  std::string name;
  std::function<void(CXMLGprPackage&)> spoil;
  std::string message;
};

class PackageDescriptionWriteFailure : public ::testing::TestWithParam<WriteFailureCase> {};

TEST_P(PackageDescriptionWriteFailure, GivesMessage) {
  CXMLGprPackage package;
  FillHeader(package);
  AddDocument(package, 'a', 1);
  GetParam().spoil(package);
  ExpectRaises([&] { (void)package.GetXML(); }, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageDescriptionWriteFailure,
    ::testing::Values(
        WriteFailureCase{"SenderCodeZero", [](auto& p) { p.Sender().SetSubjectCode(0); },
                         W(u8"Неизвестный тип субъекта: [0]")},
        WriteFailureCase{"ReceiverCodeTwelve", [](auto& p) { p.Receiver().SetSubjectCode(12); },
                         W(u8"Неизвестный тип субъекта: [12]")},
        WriteFailureCase{"RoleZero",
                         [](auto& p) { p.Documents().Items(0).Signatures().Items(0).SetRole(0); },
                         W(u8"Неизвестная роль: [0]")},
        WriteFailureCase{"ReceiverWithoutIdentifier",
                         [](auto& p) {
                           p.Receiver().Clear();
                           p.Receiver().SetSubjectCode(2);
                         },
                         W(u8"Попытка записи пустого значения в атрибут [идентификаторСубъекта]")},
        WriteFailureCase{"DocumentWithoutType",
                         [](auto& p) {
                           CXMLGprDocument& document = p.Documents().Add();
                           document.SetDocumentTypeCode("02");
                         },
                         W(u8"Попытка записи пустого значения в атрибут [типДокумента]")}),
    [](const auto& info) { return info.param.name; });

std::string Description(const std::u8string_view body) {
  return test::kDeclaration +
         W(u8"\r\n<ТрансИнф версияФормата=\"ТДХ:1.0\" кодТипаДокументооборота=\"01\" "
           u8"типДокументооборота=\"Поток\" кодТипаТранзакции=\"02\" типТранзакции=\"Тр\" "
           u8"идентификаторДокументооборота=\"0123456789abcdef0123456789abcdef\" "
           u8"ВерсПрог=\"v1\">\r\n"
           u8"<отправитель идентификаторСубъекта=\"S\" типСубъекта=\"абонент\"/>\r\n"
           u8"<получатель идентификаторСубъекта=\"R\" типСубъекта=\"налоговыйОрган\"/>\r\n") +
         W(body) + W(u8"</ТрансИнф>\r\n");
}

std::string Document(const std::u8string_view attributes, const std::u8string_view children) {
  return "<" + W(u8"документ") + W(attributes) + ">" + W(children) + "</" + W(u8"документ") + ">";
}

const std::u8string_view kGoodAttributes =
    u8" кодТипаДокумента=\"01\" типДокумента=\"декларация\" типСодержимого=\"xml\" "
    u8"идентификаторДокумента=\"fedcba9876543210fedcba9876543210\"";

TEST(PackageDescriptionReading, ReadsHeaderSubjectsAndDocuments) {
  CXMLGprPackage read;
  read.SetXML(Description(u8"") + Document(kGoodAttributes, u8"<содержимое имяФайла=\"short\"/>"));
  read.Read();
  EXPECT_EQ(read.ThreadType(), W(u8"Поток"));
  EXPECT_EQ(read.ThreadTypeCode(), "01");
  EXPECT_EQ(read.TransactType(), W(u8"Тр"));
  EXPECT_EQ(read.TransactTypeCode(), "02");
  EXPECT_EQ(read.ThreadCode(), kThreadCode);
  EXPECT_EQ(read.ProgVersion(), "v1");
  EXPECT_EQ(read.Sender().SubjectIdentifier(), "S");
  EXPECT_EQ(read.Sender().SubjectCode(), 1);
  EXPECT_EQ(read.SpecialOperator().SubjectIdentifier(), "");
  EXPECT_EQ(read.SpecialOperator().SubjectCode(), 0);
  EXPECT_EQ(read.Receiver().SubjectIdentifier(), "R");
  EXPECT_EQ(read.Receiver().SubjectCode(), 2);
  ASSERT_EQ(read.Documents().Count(), 1);
  const CXMLGprDocument& document = read.Documents().Items(0);
  EXPECT_EQ(document.DocumentType(), W(u8"декларация"));
  EXPECT_EQ(document.DocumentCode(), kDocumentCode);
  EXPECT_EQ(document.FileName(), "short");
  EXPECT_EQ(document.OriginalFilename(), "");
  EXPECT_EQ(document.Signatures().Count(), 0);
}

TEST(PackageDescriptionReading, Utf8DescriptionIsConverted) {
  CXMLGprPackage written;
  FillHeader(written);
  AddDocument(written, 'a', 1);
  std::string text = rtl::AnsiToUtf8String(written.GetXML());
  text.replace(text.find("windows-1251"), 12, "utf-8");
  CXMLGprPackage read;
  read.SetXML(text);
  read.Read();
  EXPECT_EQ(read.ThreadType(), W(u8"ДекларацияНП"));
  EXPECT_EQ(read.Documents().Items(0).OriginalFilename(), W(u8"NO_NDS_7701_7701_Отчёт.xml"));
}

struct FlagCase {
  std::string name;
  std::u8string_view value;
  bool expected;
};

class PackageDescriptionFlag : public ::testing::TestWithParam<FlagCase> {};

TEST_P(PackageDescriptionFlag, ReadsCompressedAndEncrypted) {
  const std::u8string attributes = std::u8string(kGoodAttributes) + u8" сжат=\"" +
                                   std::u8string(GetParam().value) + u8"\" зашифрован=\"" +
                                   std::u8string(GetParam().value) + u8"\"";
  CXMLGprPackage read;
  read.SetXML(Description(u8"") + Document(attributes, u8""));
  read.Read();
  EXPECT_EQ(read.Documents().Items(0).IsCompressed(), GetParam().expected);
  EXPECT_EQ(read.Documents().Items(0).IsEncrypted(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, PackageDescriptionFlag,
                         ::testing::Values(FlagCase{"LowerTrue", u8"true", true},
                                           FlagCase{"CapitalTrue", u8"TRUE", true},
                                           FlagCase{"One", u8"1", true},
                                           FlagCase{"Yes", u8"yes", false},
                                           FlagCase{"False", u8"false", false},
                                           FlagCase{"Empty", u8"", false}),
                         [](const auto& info) { return info.param.name; });

struct ReadFailureCase {
  std::string name;
  std::string text;
  std::string message;
};

class PackageDescriptionReadFailure : public ::testing::TestWithParam<ReadFailureCase> {};

TEST_P(PackageDescriptionReadFailure, GivesMessage) {
  CXMLGprPackage read;
  read.SetXML(GetParam().text);
  ExpectRaises([&] { read.Read(); }, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageDescriptionReadFailure,
    ::testing::Values(
        ReadFailureCase{"NoRoot", W(u8"<?xml version=\"1.0\"?>\r\n<Файл/>"),
                        W(u8"Элемент [ТрансИнф] не найден")},
        ReadFailureCase{"EmptyText", "", W(u8"Элемент [ТрансИнф] не найден")},
        ReadFailureCase{"OneCharacterTypeCode",
                        Description(u8"") + Document(u8" кодТипаДокумента=\"1\" типДокумента=\"д\" "
                                                     u8"типСодержимого=\"xml\"",
                                                     u8""),
                        W(u8"Длина переменной [DocumentTypeCode = \"1\"] должна быть равной [2]")},
        ReadFailureCase{"MissingDocumentType",
                        Description(u8"") + Document(u8" кодТипаДокумента=\"01\"", u8""),
                        W(u8"Передан пустой аргумент: DocumentType")},
        ReadFailureCase{
            "LongDocumentType",
            Description(u8"") + Document(u8" типДокумента=\"123456789012345678901234567890123456789"
                                         u8"012345678901\"",
                                         u8""),
            W(u8"Длина переменной [DocumentType] больше [50]")},
        ReadFailureCase{
            "MissingContentType",
            Description(u8"") + Document(u8" кодТипаДокумента=\"01\" типДокумента=\"д\"", u8""),
            W(u8"Передан пустой аргумент: ContentType")},
        ReadFailureCase{
            "ShortDocumentCode",
            Description(u8"") + Document(u8" кодТипаДокумента=\"01\" типДокумента=\"д\" "
                                         u8"типСодержимого=\"xml\" идентификаторДокумента=\"12\"",
                                         u8""),
            W(u8"Длина переменной [DocumentCode = \"12\"] должна быть равной [32]")},
        ReadFailureCase{"RoleWithCapital",
                        Description(u8"") +
                            Document(kGoodAttributes,
                                     u8"<подпись имяФайла=\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.bin\" "
                                     u8"роль=\"Абонент\"/>"),
                        W(u8"Неизвестная роль: {Абонент}")},
        ReadFailureCase{
            "SignatureFileNameShort",
            Description(u8"") +
                Document(kGoodAttributes, u8"<подпись имяФайла=\"b.bin\" роль=\"абонент\"/>"),
            W(u8"Длина переменной [FileName = \"b.bin\"] должна быть равной [36]")},
        ReadFailureCase{"UnknownSubjectWord",
                        W(u8"<ТрансИнф><отправитель идентификаторСубъекта=\"S\" "
                          u8"типСубъекта=\"банк\"/></ТрансИнф>"),
                        W(u8"Неизвестный тип субъекта: [банк]")},
        ReadFailureCase{"SubjectWithoutIdentifier",
                        W(u8"<ТрансИнф><отправитель типСубъекта=\"абонент\"/></ТрансИнф>"),
                        W(u8"Передан пустой аргумент: SubjectIdentifier")},
        ReadFailureCase{"ReceiverBeforeSender",
                        W(u8"<ТрансИнф><получатель идентификаторСубъекта=\"R\" "
                          u8"типСубъекта=\"абонент\"/></ТрансИнф>"),
                        W(u8"Не найден ожидаемый узел [отправитель] (вместо найденного "
                          u8"<получатель идентификаторСубъекта=\"R\" типСубъекта=\"абонент\"/>)")},
        ReadFailureCase{"NoReceiver",
                        W(u8"<ТрансИнф><отправитель идентификаторСубъекта=\"S\" "
                          u8"типСубъекта=\"абонент\"/></ТрансИнф>"),
                        W(u8"Передан пустой аргумент: SubjectIdentifier")}),
    [](const auto& info) { return info.param.name; });

struct SetterCase {
  std::string name;
  std::function<void()> set;
  std::string message;
};

class PackageDescriptionSetter : public ::testing::TestWithParam<SetterCase> {};

TEST_P(PackageDescriptionSetter, Refuses) {
  ExpectRaises(GetParam().set, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageDescriptionSetter,
    ::testing::Values(
        SetterCase{"EmptyThreadType", [] { CXMLGprPackage().SetThreadType(""); },
                   W(u8"Передан пустой аргумент: ThreadType")},
        SetterCase{"LongThreadType", [] { CXMLGprPackage().SetThreadType(std::string(51, 'x')); },
                   W(u8"Длина переменной [ThreadType] больше [50]")},
        SetterCase{"ThreadTypeCodeOfThree", [] { CXMLGprPackage().SetThreadTypeCode("011"); },
                   W(u8"Длина переменной [ThreadTypeCode = \"011\"] должна быть равной [2]")},
        SetterCase{"LongTransactType",
                   [] { CXMLGprPackage().SetTransactType(std::string(51, 'x')); },
                   W(u8"Длина переменной [TransactType] больше [50]")},
        SetterCase{"EmptyTransactTypeCode", [] { CXMLGprPackage().SetTransactTypeCode(""); },
                   W(u8"Передан пустой аргумент: TransactTypeCode")},
        SetterCase{"ThreadCodeOfOne", [] { CXMLGprPackage().SetThreadCode("1"); },
                   W(u8"Длина переменной [ThreadCode = \"1\"] должна быть равной [32]")},
        SetterCase{"EmptyProgVersion", [] { CXMLGprPackage().SetProgVersion(""); },
                   W(u8"ProgVersion: длина строки должна быть от 1 до 40 символов")},
        SetterCase{"ProgVersionOf41", [] { CXMLGprPackage().SetProgVersion(std::string(41, 'v')); },
                   W(u8"ProgVersion: длина строки должна быть от 1 до 40 символов")},
        SetterCase{"EmptySubjectIdentifier",
                   [] { CXMLGprPackage().Sender().SetSubjectIdentifier(""); },
                   W(u8"Передан пустой аргумент: SubjectIdentifier")},
        SetterCase{"EmptyContentType", [] { CXMLGprDocument().SetContentType(""); },
                   W(u8"Передан пустой аргумент: ContentType")},
        SetterCase{"DocumentFileNameOf35",
                   [] { CXMLGprDocument().SetFileName(std::string(35, 'f')); },
                   W(u8"Длина переменной [FileName = \"fffffffffffffffffffffffffffffffffff\"] "
                     u8"должна быть равной [36]")},
        SetterCase{"EmptySignatureFileName", [] { CXMLGprSignature().SetFileName(""); },
                   W(u8"Передан пустой аргумент: FileName")}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::xml
