// CTdx880Doc against real files and peers: packages saved and checked by Python's zipfile,
// `unzip -t` and `xmllint`, hostile and broken archives refused, working folders, safe saves,
// shared items, and packages built by two threads and two processes in one folder.
#include "package/tdx880_doc.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "package/item_fixture.h"
#include "package/tdx880_document.h"
#include "rtl/file_utils.h"
#include "rtl/whole_file.h"
#include "zip_bomb.h"

namespace lyr::package::test {
namespace {

namespace fs = std::filesystem;

constexpr char kSender[] = "7701000001";
constexpr char kReceiver[] = "7702";

class PackageDocTest : public PackageTest {
 public:
  using PackageTest::PythonZip;
  using PackageTest::SavedPackage;
  using Sandbox::PathOf;
  using Sandbox::WriteFile;

  std::string Tmp() const { return PathOf("tmp"); }

  // A saved declaration package whose documents' stored forms (the ".bin" entries) are replaced
  // by stored_form; returns its path.
  std::string PackageWithStoredForms(const std::string& stored_form) {
    const std::string saved = SavedPackage("plain");
    const std::string replacement = WriteFile("stored-form.bin", stored_form);
    const std::string archive = PathOf("replaced.zip");
    Python(
        "import sys, zipfile\n"
        "src, dst, form = sys.argv[1:4]\n"
        "with zipfile.ZipFile(src) as z, zipfile.ZipFile(dst, 'w', zipfile.ZIP_DEFLATED) as out:\n"
        "    for i in z.infolist():\n"
        "        data = open(form, 'rb').read() if i.filename.endswith('.bin') else z.read(i)\n"
        "        out.writestr(i.filename, data)\n",
        saved + " " + archive + " " + replacement);
    return archive;
  }
};

// ---- Saving ---------------------------------------------------------------------------------

// The saved package under its generated name, read by zipfile, unzip -t and xmllint: the
// description and one ".bin" entry per document, each named by the description.
TEST_F(PackageDocTest, SavedPackagePassesThePeers) {
  const std::string archive = SavedPackage();
  const std::string name = fs::path(archive).filename().string();
  EXPECT_TRUE(std::regex_match(name, std::regex("TDX_7701000001_7702_[0-9a-f]{32}_01_01_01\\.zip")))
      << archive;
  EXPECT_EQ(Listing(PathOf("out")), std::set<std::string>{name});
  EXPECT_EQ(lyr::test::RunCommand("unzip -tq '" + archive + "'"), 0);
  const std::string path = WriteFile("description.xml", Entry(archive, "packageDescription.xml"));
  EXPECT_EQ(lyr::test::RunCommand("xmllint --noout '" + path + "' 2>&1"), 0);
  const std::string text = rtl::AnsiToUtf8String(lyr::test::ReadAll(path));
  for (const char* attribute : {"encoding=\"windows-1251\"", "ВерсПрог=\"Lyr.Tdx.Package880\"",
                                "версияФормата=\"ТДХ:1.0\""}) {
    EXPECT_NE(text.find(attribute), std::string::npos) << attribute;
  }
  EXPECT_EQ(text.find("спецоператор"), std::string::npos);
  const std::vector<std::string> names = EntryNames(archive);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(std::count(names.begin(), names.end(), "packageDescription.xml"), 1);
  for (const std::string& entry : names) {
    if (entry != "packageDescription.xml") {
      EXPECT_TRUE(std::regex_match(entry, std::regex("[0-9a-f]{32}\\.bin"))) << entry;
      EXPECT_NE(text.find("имяФайла=\"" + entry + "\""), std::string::npos) << entry;
    }
  }
}

TEST_F(PackageDocTest, SaveWithoutMainDocumentFails) {
  CTdx880Doc doc;
  ASSERT_TRUE(doc.New("01", "01"));
  doc.SetSenderIdentifier(kSender);
  doc.SetReceiverIdentifier(kReceiver);
  doc.AddFile("02", "xml", "TR_DEKL.xml", "<description/>");
  ExpectRaises([&] { doc.Save(Home().string()); }, Msg(u8"В пакете не найден главный документ"));
  EXPECT_EQ(doc.FileName(), "");
}

TEST_F(PackageDocTest, GeneratedNameRefusesAnIdentifierThatLeavesTheFolder) {
  CTdx880Doc doc;
  FillDeclarationPackage(doc);
  doc.SetSenderIdentifier("../../escape");
  fs::create_directories(PathOf("a/b"));
  const std::string error = lyr::test::MessageOf([&] { doc.Save(PathOf("a/b")); });
  EXPECT_TRUE(error.starts_with(Msg(u8"Недопустимое имя файла пакета: [TDX_../../escape_")))
      << error;
  EXPECT_EQ(Listing(PathOf("a")), std::set<std::string>{"b"});
}

TEST_F(PackageDocTest, FailedSaveLeavesTheExistingFileAsItWas) {
  const std::string target = WriteFile("keep.zip", "the old package");
  CTdx880Doc doc;
  ASSERT_TRUE(doc.New());  // no codes: the description cannot be written
  ExpectRaises([&] { doc.SaveAs(target); },
               Msg(u8"Попытка записи пустого значения в атрибут [кодТипаДокументооборота]"));
  EXPECT_EQ(lyr::test::ReadAll(target), "the old package");
  EXPECT_EQ(Listing(Home()).count("keep.zip"), 1u);
  for (const std::string& name : Listing(Home())) {
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << "scratch file left: " << name;
  }
}

TEST_F(PackageDocTest, TargetThatCannotBeReplacedFails) {
  fs::create_directories(PathOf("out/occupied.zip"));
  CTdx880Doc doc;
  FillDeclarationPackage(doc);
  ExpectRaises(
      [&] { doc.SaveAs(PathOf("out/occupied.zip")); },
      Msg(u8"Файл уже существует: продолжение невозможно [") + PathOf("out/occupied.zip") + "]");
  EXPECT_TRUE(fs::is_directory(PathOf("out/occupied.zip")));
}

// ---- Opening --------------------------------------------------------------------------------

// The archive's entries pass through memory up to the configuration's MaxStagedSize; the rest
// is written into the working folder (0: all of them; 600 bytes: some of them).
class OpenStaged : public PackageDocTest, public ::testing::WithParamInterface<uint64_t> {};

TEST_P(OpenStaged, OpenReadsBackWhatWasSaved) {
  CTdx880Doc saved;
  FillDeclarationPackage(saved);
  saved.SetSOSIdentifier("2AL");
  saved.SetThreadCode(std::string(32, 'a'));
  ASSERT_TRUE(saved.SaveAs(PathOf("p.zip")));

  CTdx880Doc doc;
  doc.Config().SetMaxStagedSize(GetParam());
  ASSERT_TRUE(doc.Open(PathOf("p.zip")));
  EXPECT_EQ(Listing(Tmp()).empty(), GetParam() == CTdx880PackageConfig::kDefaultMaxStagedSize)
      << "only entries beyond the limit are written into a working folder";
  EXPECT_TRUE(doc.IsOpened());
  EXPECT_TRUE(doc.IsLoaded());
  EXPECT_TRUE(doc.IsReaded());
  EXPECT_EQ(doc.FileName(), PathOf("p.zip"));
  EXPECT_EQ(doc.PackageDescriptionContent(), Entry(PathOf("p.zip"), "packageDescription.xml"));
  EXPECT_EQ(doc.ThreadTypeCode(), "01");
  EXPECT_EQ(doc.TransactTypeCode(), "01");
  EXPECT_EQ(doc.ThreadType(), Msg(u8"Декларация"));
  EXPECT_EQ(doc.TransactType(), Msg(u8"ДекларацияНП"));
  EXPECT_EQ(doc.ThreadCode(), std::string(32, 'a'));
  EXPECT_EQ(doc.SenderIdentifier(), kSender);
  EXPECT_EQ(doc.SenderType(), kSubjectAbonent);
  EXPECT_EQ(doc.ReceiverIdentifier(), kReceiver);
  EXPECT_EQ(doc.ReceiverType(), kSubjectTaxAuthority);
  EXPECT_EQ(doc.SOSIdentifier(), "2AL");
  ASSERT_EQ(doc.GetFileCount(), 2);
  EXPECT_EQ(doc.GetFile(0)->OriginalFilename(), "declaration.xml");
  EXPECT_EQ(doc.GetFile(0)->RawContent(), kDeclaration);
  EXPECT_EQ(doc.GetFile(0)->DocType(), Msg(u8"декларация"));
  EXPECT_EQ(doc.GetFile(1)->RawContent(), "<description/>");
  EXPECT_EQ(doc.GetMainFile(), doc.GetFile(0));
  EXPECT_FALSE(doc.IsEncrypted());
  ASSERT_TRUE(doc.SaveAs(PathOf("again.zip")));
  EXPECT_EQ(EntryNames(PathOf("again.zip")), EntryNames(PathOf("p.zip")));
}

INSTANTIATE_TEST_SUITE_P(MemoryOrFolder, OpenStaged,
                         ::testing::Values(CTdx880PackageConfig::kDefaultMaxStagedSize, 0, 600));

TEST_F(PackageDocTest, EntriesTheDescriptionDoesNotNameAreNotCarriedOver) {
  const std::string archive = SavedPackage();
  Python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'a') as z: z.writestr('stray.txt', 'x')\n",
      archive);
  CTdx880Doc doc;
  ASSERT_TRUE(doc.Open(archive));
  ASSERT_TRUE(doc.SaveAs(PathOf("again.zip")));
  EXPECT_EQ(EntryNames(PathOf("again.zip")).size(), 3u);
}

struct OpenFailureCase {
  std::string name;
  // Makes the file to open in the sandbox and returns its path.
  std::function<std::string(PackageDocTest&)> make;
  // The expected message, given the path ("" when only the archive library's text is known).
  std::function<std::string(const std::string&)> message;
};

class PackageOpenFailure : public PackageDocTest,
                           public ::testing::WithParamInterface<OpenFailureCase> {};

// A description of flow 01 / transaction 01 with one document of type code doc_code whose
// content file is file_name.
std::string DescriptionWith(const std::string& doc_code, const std::string& file_name) {
  return rtl::Utf8ToAnsi(
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
      "<ТрансИнф версияФормата=\"ТДХ:1.0\" кодТипаДокументооборота=\"01\" "
      "типДокументооборота=\"Декларация\" кодТипаТранзакции=\"01\" типТранзакции=\"ДекларацияНП\" "
      "идентификаторДокументооборота=\"" +
      std::string(32, 'b') +
      "\" ВерсПрог=\"x\">\n"
      "<отправитель идентификаторСубъекта=\"1\" типСубъекта=\"абонент\"/>\n"
      "<получатель идентификаторСубъекта=\"2\" типСубъекта=\"налоговыйОрган\"/>\n"
      "<документ кодТипаДокумента=\"" +
      doc_code +
      "\" типДокумента=\"декларация\" типСодержимого=\"xml\" сжат=\"false\" зашифрован=\"false\" "
      "идентификаторДокумента=\"" +
      std::string(32, 'c') + "\">\n<содержимое имяФайла=\"" + file_name +
      "\"/>\n</документ>\n</ТрансИнф>\n");
}

const std::string kContentName = std::string(32, 'd') + ".bin";

TEST_P(PackageOpenFailure, FailsWithItsMessageAndLeavesNothingBehind) {
  const OpenFailureCase& c = GetParam();
  const std::string path = c.make(*this);
  CTdx880Doc doc;
  const std::string error = lyr::test::MessageOf([&] { doc.Open(path); });
  const std::string expected = c.message(path);
  if (expected.empty()) {
    EXPECT_NE(error, "");
  } else {
    EXPECT_EQ(error, expected);
  }
  EXPECT_FALSE(doc.IsDocumentOpened());
  EXPECT_FALSE(doc.IsLoaded());
  EXPECT_FALSE(doc.IsReaded());
  EXPECT_EQ(doc.WorkingDirectory(), "");
  EXPECT_EQ(doc.FileName(), "");
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{}) << "working folder removed";
  EXPECT_FALSE(fs::exists(PathOf("x"))) << "nothing written outside";
  EXPECT_FALSE(fs::exists("/tmp/lyr-tdx880-absolute-entry"));
  ExpectRaises([&] { static_cast<void>(doc.GetFileCount()); }, Msg(u8"Документ не открыт"));
}

std::string NotExisting(const std::string& path) {
  return Msg(u8"Файл с пакетом [") + path + Msg(u8"] не существует!");
}

// An archive Python makes of entries (Python name expressions and data); message "" when only
// the archive library's text is known. A file lies beside the working folders for names that
// would leave them.
OpenFailureCase Zip(const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& entries,
                    const std::u8string& message = u8"") {
  return {name,
          [name, entries](PackageDocTest& t) {
            t.WriteFile("outside.txt", "outside the working folder");
            return t.PythonZip(name + ".zip", entries);
          },
          [message](const std::string&) { return message.empty() ? "" : Msg(message); }};
}

const std::string kDescriptionEntry = "'packageDescription.xml'";

INSTANTIATE_TEST_SUITE_P(
    Archives, PackageOpenFailure,
    ::testing::Values(
        OpenFailureCase{"MissingFile", [](PackageDocTest& t) { return t.PathOf("none.zip"); },
                        NotExisting},
        OpenFailureCase{"FolderInsteadOfFile",
                        [](PackageDocTest& t) {
                          fs::create_directories(t.PathOf("folder.zip"));
                          return t.PathOf("folder.zip");
                        },
                        NotExisting},
        OpenFailureCase{
            "RandomBytes",
            [](PackageDocTest& t) {
              std::string bytes(4096, '\0');
              for (size_t i = 0; i < bytes.size(); ++i) {
                bytes[i] = static_cast<char>((i * 7919 + 13) & 0xFF);
              }
              return t.WriteFile("random.zip", bytes);
            },
            [](const std::string& path) { return "Not a zip archive: [" + path + "]"; }},
        OpenFailureCase{"EmptyFile", [](PackageDocTest& t) { return t.WriteFile("e.zip", ""); },
                        [](const std::string&) { return std::string(); }},
        OpenFailureCase{"Truncated",
                        [](PackageDocTest& t) {
                          const std::string whole = lyr::test::ReadAll(t.SavedPackage());
                          return t.WriteFile("cut.zip", whole.substr(0, whole.size() / 2));
                        },
                        [](const std::string&) { return std::string(); }},
        Zip("WithoutDescription", {{"'a.bin'", "data"}},
            u8"Неверный формат пакета: не найден главный файл [packageDescription.xml]"),
        Zip("DescriptionInAFolder", {{"'sub/packageDescription.xml'", "<a/>"}}),
        Zip("DotDotEntry",
            {{kDescriptionEntry, DescriptionWith("01", kContentName)}, {"'../x'", "outside"}}),
        Zip("AbsoluteEntry", {{kDescriptionEntry, DescriptionWith("01", kContentName)},
                              {"zipfile.ZipInfo('/tmp/lyr-tdx880-absolute-entry')", "outside"}}),
        Zip("DescribedFileMissing", {{kDescriptionEntry, DescriptionWith("01", kContentName)}},
            u8"Файл в пакете не найден: [" +
                std::u8string(kContentName.begin(), kContentName.end()) + u8"]"),
        Zip("ContentNameLeavesTheFolder",
            {{kDescriptionEntry, DescriptionWith("01", "../../outside.txt")}},
            u8"Файл в пакете не найден: [../../outside.txt]"),
        Zip("CodesNotAllowedTogether",
            {{kDescriptionEntry, DescriptionWith("09", kContentName)},
             {"'" + kContentName + "'", "x"}},
            u8"Неверная комбинация кодов документооборота [01], транзакции [01] и документа [09]"),
        Zip("NotXml", {{kDescriptionEntry, "just text"}},
            u8"Неверный формат XML: данные вне корневого элемента (строка 1)"),
        Zip("DescriptionCutBeforeTheRootCloses",
            {{kDescriptionEntry, DescriptionWith("01", kContentName)
                                     .substr(0, DescriptionWith("01", kContentName).rfind('<'))},
             {"'" + kContentName + "'", "x"}},
            u8"Неверный формат XML: документ закончился внутри элемента [ТрансИнф]")),
    [](const auto& info) { return info.param.name; });

// ---- Working folder and lifecycle -----------------------------------------------------------

TEST_F(PackageDocTest, WorkingFolderIsPrivateAndGoesWithCloseAndDestruction) {
  std::string folder;
  {
    CTdx880Doc doc;
    EXPECT_EQ(doc.TmpDir(), Tmp());
    EXPECT_EQ(doc.WorkingDirectory(), "");
    ASSERT_TRUE(doc.New());
    folder = doc.WorkingDirectory();
    EXPECT_TRUE(std::regex_match(folder, std::regex(Tmp() + "/[0-9a-f]{32}/"))) << folder;
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    ASSERT_TRUE(doc.New());
    EXPECT_EQ(doc.WorkingDirectory(), folder) << "New keeps the folder of an open package";
    ASSERT_TRUE(doc.Close());
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_EQ(doc.WorkingDirectory(), "");
    EXPECT_TRUE(doc.Close()) << "closing twice";
    ASSERT_TRUE(doc.New());
    folder = doc.WorkingDirectory();
    EXPECT_TRUE(fs::exists(folder));
  }
  EXPECT_FALSE(fs::exists(folder)) << "destruction deletes the folder";
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{});
}

struct ClosedCase {
  std::string name;
  std::function<void(CTdx880Doc&)> call;
};

class ClosedPackage : public PackageDocTest, public ::testing::WithParamInterface<ClosedCase> {};

TEST_P(ClosedPackage, FailsWithDocumentNotOpened) {
  CTdx880Doc doc;
  ExpectRaises([&] { GetParam().call(doc); }, Msg(u8"Документ не открыт"));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ClosedPackage,
    ::testing::Values(
        ClosedCase{"GetFileCount", [](CTdx880Doc& d) { static_cast<void>(d.GetFileCount()); }},
        ClosedCase{"GetFile", [](CTdx880Doc& d) { static_cast<void>(d.GetFile(0)); }},
        ClosedCase{"AddFile", [](CTdx880Doc& d) { d.AddFile("01", "xml", "a", "b"); }},
        ClosedCase{"DeleteFile", [](CTdx880Doc& d) { d.DeleteFile(0); }},
        ClosedCase{"DeleteFileSignatures", [](CTdx880Doc& d) { d.DeleteFileSignatures(0); }},
        ClosedCase{"GetFileSignatureCount",
                   [](CTdx880Doc& d) { static_cast<void>(d.GetFileSignatureCount(0)); }},
        ClosedCase{"GetFileSignature",
                   [](CTdx880Doc& d) { static_cast<void>(d.GetFileSignature(0, 0)); }},
        ClosedCase{"GetMainFile", [](CTdx880Doc& d) { static_cast<void>(d.GetMainFile()); }},
        ClosedCase{"Save", [](CTdx880Doc& d) { d.Save("/tmp"); }},
        ClosedCase{"SaveAs", [](CTdx880Doc& d) { d.SaveAs("/tmp/x.zip"); }},
        ClosedCase{"SetSenderIdentifier", [](CTdx880Doc& d) { d.SetSenderIdentifier("1"); }},
        ClosedCase{"SetReceiverIdentifier", [](CTdx880Doc& d) { d.SetReceiverIdentifier("1"); }},
        ClosedCase{"SetSOSIdentifier", [](CTdx880Doc& d) { d.SetSOSIdentifier("1"); }},
        ClosedCase{"SenderIdentifier",
                   [](CTdx880Doc& d) { static_cast<void>(d.SenderIdentifier()); }},
        ClosedCase{"ThreadTypeCode", [](CTdx880Doc& d) { static_cast<void>(d.ThreadTypeCode()); }},
        ClosedCase{"SetThreadCode", [](CTdx880Doc& d) { d.SetThreadCode(std::string(32, 'a')); }}),
    [](const auto& info) { return info.param.name; });

TEST_F(PackageDocTest, NewWithUnknownCodesFailsAndLeavesAnEmptyPackage) {
  CTdx880Doc doc;
  ExpectRaises([&] { doc.New("01", "99"); },
               Msg(u8"Неизвестный код транзацкии [99] в документообороте [01][Декларация]"));
  EXPECT_TRUE(doc.IsOpened());
  EXPECT_EQ(doc.ThreadTypeCode(), "");
}

// ---- Items ----------------------------------------------------------------------------------

TEST_F(PackageDocTest, IndexesAreRangeChecked) {
  CTdx880Doc doc;
  ASSERT_TRUE(doc.New("01", "01"));
  EXPECT_EQ(doc.GetFileCount(), 0);
  ExpectRaises([&] { static_cast<void>(doc.GetFile(0)); },
               Msg(u8"FileIndex: ошибка задания диапазона - минимальное значение (0) больше "
                   u8"максимального(-1)"));
  doc.AddFile("01", "xml", "a.xml", "a");
  ExpectRaises([&] { static_cast<void>(doc.GetFile(1)); },
               Msg(u8"Значение параметра FileIndex (1) должно находиться в интервале от 0 до 0"));
  ExpectRaises([&] { doc.DeleteFile(-1); },
               Msg(u8"Значение параметра iFileIndex (-1) должно находиться в интервале от 0 до 0"));
  ExpectRaises([&] { static_cast<void>(doc.GetFileSignatureCount(2)); },
               Msg(u8"Значение параметра iFileIndex (2) должно находиться в интервале от 0 до 0"));
  ExpectRaises([&] { static_cast<void>(doc.GetFileSignature(0, 0)); },
               Msg(u8"iSignaturesCount: ошибка задания диапазона - минимальное значение (0) больше "
                   u8"максимального(-1)"));
}

TEST_F(PackageDocTest, ItemsOutliveCloseAndTheContainer) {
  std::shared_ptr<CTdx880Document> item;
  {
    CTdx880Doc doc;
    FillDeclarationPackage(doc);
    item = doc.GetFile(0);
    ASSERT_TRUE(doc.Close());
    EXPECT_FALSE(item->IsDocumentOpened());
    ASSERT_TRUE(doc.New("01", "01"));
    doc.AddFile("01", "xml", "a.xml", "a");
  }
  EXPECT_FALSE(item->IsDocumentOpened());
  EXPECT_EQ(item.use_count(), 1);
  EXPECT_TRUE(item->Close());
}

TEST_F(PackageDocTest, MainFileLookupFailsForCodesNotAllowedTogether) {
  CTdx880Doc doc;
  ASSERT_TRUE(doc.New("01", "02"));
  doc.AddFile("01", "xml", "a.xml", "a");  // a known type of the flow, not allowed here
  ExpectRaises([&] { static_cast<void>(doc.GetMainFile()); },
               Msg(u8"Неверная комбинация кодов документооборота [01], транзакции [02] и "
                   u8"документа [01]"));
}

// ---- Two threads and two processes in one folder ---------------------------------------------

// Builds count packages into folder; returns the paths.
std::vector<std::string> BuildPackages(const std::string& folder, int count) {
  std::vector<std::string> paths;
  for (int i = 0; i < count; ++i) {
    CTdx880Doc doc;
    FillDeclarationPackage(doc);
    if (!doc.Save(folder)) {
      break;
    }
    paths.push_back(doc.FileName());
  }
  return paths;
}

TEST_F(PackageDocTest, TwoThreadsAndTwoProcessesSavingIntoOneFolderNeverCollide) {
  constexpr int kEach = 12;
  const std::string folder = PathOf("shared");
  fs::create_directories(folder);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int status = 0;
    try {
      status = BuildPackages(folder, kEach).size() == kEach ? 0 : 1;
    } catch (...) {
      status = 2;
    }
    ::_exit(status);
  }
  std::vector<std::string> a;
  std::vector<std::string> b;
  std::string error_a;
  std::string error_b;
  std::thread first(
      [&] { error_a = lyr::test::MessageOf([&] { a = BuildPackages(folder, kEach); }); });
  std::thread second(
      [&] { error_b = lyr::test::MessageOf([&] { b = BuildPackages(folder, kEach); }); });
  first.join();
  second.join();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(error_a, "");
  EXPECT_EQ(error_b, "");
  ASSERT_EQ(a.size() + b.size(), 2u * kEach);

  const std::set<std::string> files = Listing(folder);
  EXPECT_EQ(files.size(), 3u * kEach) << "every package has a file of its own";
  for (const std::string& name : files) {
    CTdx880Doc doc;
    ASSERT_TRUE(doc.Open(folder + "/" + name)) << name;
    EXPECT_EQ(doc.GetFile(0)->RawContent(), kDeclaration);
  }
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{}) << "no working folder or scratch file left";
}

// ---- Limits: the decompression budget -------------------------------------------------------

struct BudgetCase {
  const char* name;
  uint64_t size;            // zero bytes each document inflates to
  uint64_t declared;        // what its headers say (0: size)
  const char* environment;  // LYR_TDX_MAX_PLAIN_SIZE (nullptr: unset)
  uint64_t limit;           // Config().SetMaxPlainSize (0: left alone)
  std::u8string message;    // "" opens; "[" + path + "]" follows a message ending in ": "
};

class PackageBudget : public PackageDocTest, public ::testing::WithParamInterface<BudgetCase> {};

constexpr uint64_t kMiB = uint64_t{1} << 20;

// Opens a package of two documents whose stored forms are ZIPs of a zero run in a child process,
// which reports the error, its peak resident size and the first document's size.
TEST_P(PackageBudget, RefusesNestedArchivesBeforeTheyInflate) {
  const BudgetCase& c = GetParam();
  const std::string archive =
      PackageWithStoredForms(lyr::package::test::ZeroRunZip(c.size, c.declared));
  const std::string report = PathOf("report.txt");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (c.environment != nullptr) {
      ::setenv("LYR_TDX_MAX_PLAIN_SIZE", c.environment, 1);
    }
    CTdx880Doc doc;
    if (c.limit != 0) {
      doc.Config().SetMaxPlainSize(c.limit);
    }
    std::string error = lyr::test::MessageOf([&] { doc.Open(archive); });
    const size_t size = doc.IsOpened() ? doc.GetFile(0)->RawContent().size() : 0;
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    rtl::WriteStringToFile(report, error + "\n" + std::to_string(usage.ru_maxrss) + "\n" +
                                       std::to_string(size) + "\n");
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  std::istringstream lines(lyr::test::ReadAll(report));
  std::string error;
  std::string peak_kib;
  std::string size;
  std::getline(lines, error);
  std::getline(lines, peak_kib);
  std::getline(lines, size);
  if (c.message.empty()) {
    EXPECT_EQ(error, "");
    EXPECT_EQ(std::stoull(size), c.size);
    return;
  }
  const std::string expected = Msg(c.message);
  EXPECT_EQ(error, expected.back() == ' ' ? expected + "[" + archive + "]" : expected);
  // Nothing near the declared gigabytes was inflated (a bound, not a timing).
  EXPECT_LT(std::stoull(peak_kib), 256u * 1024u) << "KiB";
}

INSTANTIATE_TEST_SUITE_P(
    Bombs, PackageBudget,
    ::testing::Values(BudgetCase{"HonestSizesOverTheDefaultBudget", 2048 * kMiB, 0, nullptr, 0,
                                 u8"Слишком большой объём документов в пакете: "},
                      BudgetCase{"HonestSizesOverALoweredBudget", 48 * kMiB, 0, nullptr, 64 * kMiB,
                                 u8"Слишком большой объём документов в пакете: "},
                      BudgetCase{"HonestSizesOverTheBudgetOfTheEnvironment", 48 * kMiB, 0,
                                 "67108864", 0, u8"Слишком большой объём документов в пакете: "},
                      BudgetCase{"LyingSizes", 64 * kMiB, kMiB, nullptr, 0,
                                 u8"Размер файла в архиве больше заявленного: [file]"},
                      BudgetCase{"WithinTheBudget", 8 * kMiB, 0, "67108864", 0, u8""}),
    [](const auto& info) { return info.param.name; });

TEST_F(PackageDocTest, KilledSaveLeavesNoScratchFileAndItsWorkingFolderIsSwept) {
  const std::string target = SavedPackage();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Saves a package with a large document over the target again and again until killed.
    CTdx880Doc doc;
    FillDeclarationPackage(doc);
    static_cast<void>(doc.WorkingDirectory());  // made on first use: a folder for the sweep
    std::string noise(32 * kMiB, '\0');
    uint64_t state = 88172645463325252ULL;
    for (char& c : noise) {
      state ^= state << 13;
      state ^= state >> 7;
      state ^= state << 17;
      c = static_cast<char>(state);
    }
    doc.AddFile("02", "bin", "noise.bin", std::move(noise));
    for (;;) {
      doc.SaveAs(target);
    }
  }
  ::usleep(1'500'000);
  ::kill(child, SIGKILL);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  EXPECT_EQ(Listing(PathOf("out")), std::set<std::string>{fs::path(target).filename().string()})
      << "no scratch file in the target folder";
  EXPECT_FALSE(Listing(Tmp()).empty()) << "the killed process left its working folder";
  CTdx880Doc doc;
  ASSERT_TRUE(doc.Open(target)) << "the target is a whole package, old or new";
  EXPECT_EQ(doc.GetFile(0)->RawContent(), kDeclaration);
  const std::string own = fs::path(doc.WorkingDirectory()).parent_path().filename().string();
  std::set<std::string> expected{own, own + ".lock"};
  for (const std::string& name : Listing(doc.WorkingDirectory())) {
    expected.insert(own + "/" + name);
  }
  EXPECT_EQ(Listing(Tmp()), expected) << "Open swept the folder nobody holds";
}

}  // namespace
}  // namespace lyr::package::test
