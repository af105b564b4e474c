// CTdx880Doc against real files: packages checked by zipfile and `unzip -t`, broken packages and
// bombs refused, working folders, safe saves, two threads and two processes in one folder.
#include "package/tdx880_doc.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "package/item_fixture.h"
#include "package/tdx880_document.h"
#include "package/zip_bomb.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/whole_file.h"

namespace lyr::package::test {
namespace {

namespace fs = std::filesystem;

class PackageDocTest : public PackageTest {
 public:
  using PackageTest::PythonZip;
  using PackageTest::SavedPackage;
  using Sandbox::PathOf;
  using Sandbox::WriteFile;

  std::string Tmp() const { return PathOf("tmp"); }
};

// ---- Saving ---------------------------------------------------------------------------------

// A package saved under its generated name and read by zipfile, unzip -t and xmllint (the
// description and one ".bin" entry per document, each named by the description), then opened: what
// was saved reads back; an entry the description does not name is not carried over. The archive's
// entries pass through memory up to the configuration's MaxStagedSize; the rest is written into
// the working folder (0: all of them; 600 bytes: some of them).
class SavedPackage : public PackageDocTest, public ::testing::WithParamInterface<uint64_t> {};

TEST_P(SavedPackage, PassesThePeersAndReadsBack) {
  CTdx880Doc saved;
  FillDeclarationPackage(saved);
  saved.SetSOSIdentifier("2AL");
  saved.SetThreadCode(std::string(32, 'a'));
  fs::create_directories(PathOf("out"));
  ASSERT_TRUE(saved.Save(PathOf("out")));
  const std::string archive = saved.FileName();
  const std::string name = fs::path(archive).filename().string();
  EXPECT_TRUE(std::regex_match(name, std::regex("TDX_7701000001_7702_[0-9a-f]{32}_01_01_01\\.zip")))
      << name;
  EXPECT_EQ(Listing(PathOf("out")), std::set<std::string>{name});
  EXPECT_EQ(lyr::test::RunCommand("unzip -tq '" + archive + "'"), 0);
  const std::string text = rtl::AnsiToUtf8String(Entry(archive, "packageDescription.xml"));
  EXPECT_NE(text.find("ВерсПрог=\"Lyr.Tdx.Package880\""), std::string::npos) << text;
  const std::vector<std::string> names = EntryNames(archive);
  ASSERT_EQ(names.size(), 3u);
  for (const std::string& entry : names) {
    EXPECT_TRUE(entry == "packageDescription.xml" ||
                (std::regex_match(entry, std::regex("[0-9a-f]{32}\\.bin")) &&
                 text.find("имяФайла=\"" + entry + "\"") != std::string::npos))
        << entry;
  }
  Python("import sys, zipfile\nzipfile.ZipFile(sys.argv[1], 'a').writestr('stray.txt', 'x')\n",
         archive);
  CTdx880Doc doc;
  doc.Config().SetMaxStagedSize(GetParam());
  ASSERT_TRUE(doc.Open(archive));
  EXPECT_EQ(Listing(Tmp()).empty(), GetParam() == CTdx880PackageConfig::kDefaultMaxStagedSize)
      << "only entries beyond the limit are written into a working folder";
  EXPECT_TRUE(doc.IsLoaded() && doc.IsReaded());
  EXPECT_EQ(doc.PackageDescriptionContent(), Entry(archive, "packageDescription.xml"));
  EXPECT_EQ(doc.ThreadType() + doc.TransactType(), Msg(u8"ДекларацияДекларацияНП"));
  EXPECT_EQ(doc.ThreadCode(), std::string(32, 'a'));
  EXPECT_EQ(doc.SenderIdentifier() + doc.ReceiverIdentifier() + doc.SOSIdentifier(),
            "77010000017702"
            "2AL");
  EXPECT_EQ(doc.SenderType(), kSubjectAbonent);
  EXPECT_EQ(doc.ReceiverType(), kSubjectTaxAuthority);
  ASSERT_EQ(doc.GetFileCount(), 2);
  EXPECT_EQ(doc.GetFile(0)->OriginalFilename(), "declaration.xml");
  EXPECT_EQ(doc.GetFile(0)->RawContent() + doc.GetFile(1)->RawContent(),
            std::string(kDeclaration) + kDescription);
  EXPECT_EQ(doc.GetMainFile(), doc.GetFile(0));
  ASSERT_TRUE(doc.SaveAs(PathOf("again.zip")));
  EXPECT_EQ(EntryNames(PathOf("again.zip")), names);
}

INSTANTIATE_TEST_SUITE_P(MemoryOrFolder, SavedPackage,
                         ::testing::Values(CTdx880PackageConfig::kDefaultMaxStagedSize, 0, 600));

// Refused saves give their message and leave the folder as it was: an old file kept, no scratch
// file, nothing outside.
TEST_F(PackageDocTest, RefusedSavesLeaveTheFolderAsItWas) {
  const std::string old = WriteFile("a/b/keep.zip", "the old package");
  const std::string occupied = PathOf("a/b/occupied.zip");
  fs::create_directories(occupied);
  CTdx880Doc doc;
  ASSERT_TRUE(doc.New());  // no codes: the description cannot be written
  ExpectRaises([&] { doc.SaveAs(old); },
               Msg(u8"Попытка записи пустого значения в атрибут [кодТипаДокументооборота]"));
  FillDeclarationPackage(doc);
  ExpectRaises([&] { doc.SaveAs(occupied); },
               Msg(u8"Файл уже существует: продолжение невозможно [") + occupied + "]");
  doc.SetSenderIdentifier("../../escape");
  EXPECT_TRUE(lyr::test::MessageOf([&] {
                doc.Save(PathOf("a/b"));
              }).starts_with(Msg(u8"Недопустимое имя файла пакета: [TDX_../../escape_")));
  doc.Description()->Sender().AssignSubjectIdentifier("77\r\n01");  // as answer packages write
  EXPECT_TRUE(lyr::test::MessageOf([&] {
                doc.Save(PathOf("a/b"));
              }).starts_with(Msg(u8"Недопустимое имя файла пакета: [TDX_77\r\n01_")));
  doc.SetSenderIdentifier("7701000001");
  ASSERT_TRUE(doc.DeleteFile(0));
  ExpectRaises([&] { doc.Save(PathOf("a/b")); }, Msg(u8"В пакете не найден главный документ"));
  EXPECT_EQ(lyr::test::ReadAll(old), "the old package");
  EXPECT_EQ(Listing(PathOf("a")), (std::set<std::string>{"b", "b/keep.zip", "b/occupied.zip"}));
}

// ---- Opening --------------------------------------------------------------------------------

struct OpenFailureCase {
  std::string name;
  std::function<std::string(PackageDocTest&)> make;  // the file to open in the sandbox; its path
  std::u8string message;  // "%s" stands for the path; "" when only the archive library's is known
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
  const std::string expected = rtl::Format(Msg(c.message), path);
  EXPECT_TRUE(expected.empty() ? !error.empty() : error == expected) << error;
  EXPECT_FALSE(doc.IsLoaded());
  EXPECT_EQ(doc.WorkingDirectory() + doc.FileName(), "");
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{}) << "working folder removed";
  ExpectRaises([&] { static_cast<void>(doc.GetFileCount()); }, Msg(u8"Документ не открыт"));
}

// An archive Python makes of entries (Python name expressions and data) and its message.
OpenFailureCase Zip(const std::string& name,
                    const std::vector<std::pair<std::string, std::string>>& entries,
                    const std::u8string& message) {
  return {name, [name, entries](PackageDocTest& t) { return t.PythonZip(name + ".zip", entries); },
          message};
}

const std::string kDescriptionEntry = "'packageDescription.xml'";

INSTANTIATE_TEST_SUITE_P(
    Archives, PackageOpenFailure,
    ::testing::Values(
        OpenFailureCase{"MissingFile", [](PackageDocTest& t) { return t.PathOf("none.zip"); },
                        u8"Файл с пакетом [%s] не существует!"},
        OpenFailureCase{"Truncated",
                        [](PackageDocTest& t) {
                          const std::string whole = lyr::test::ReadAll(t.SavedPackage());
                          return t.WriteFile("cut.zip", whole.substr(0, whole.size() / 2));
                        },
                        u8""},
        Zip("WithoutDescription", {{"'a.bin'", "data"}},
            u8"Неверный формат пакета: не найден главный файл [packageDescription.xml]"),
        Zip("DescribedFileMissing", {{kDescriptionEntry, DescriptionWith("01", kContentName)}},
            u8"Файл в пакете не найден: [" +
                std::u8string(kContentName.begin(), kContentName.end()) + u8"]"),
        Zip("CodesNotAllowedTogether",
            {{kDescriptionEntry, DescriptionWith("09", kContentName)},
             {"'" + kContentName + "'", "x"}},
            u8"Неверная комбинация кодов документооборота [01], транзакции [01] и документа [09]"),
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
    ASSERT_TRUE(doc.New());
    folder = doc.WorkingDirectory();
    EXPECT_TRUE(std::regex_match(folder, std::regex(Tmp() + "/[0-9a-f]{32}/"))) << folder;
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    ASSERT_TRUE(doc.New());
    EXPECT_EQ(doc.WorkingDirectory(), folder) << "New keeps the folder of an open package";
    ASSERT_TRUE(doc.Close());
    EXPECT_FALSE(fs::exists(folder) || !doc.WorkingDirectory().empty());
    ASSERT_TRUE(doc.New());
    folder = doc.WorkingDirectory();
    EXPECT_TRUE(fs::exists(folder));
  }
  EXPECT_FALSE(fs::exists(folder)) << "destruction deletes the folder";
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{});
}

// ---- Items ----------------------------------------------------------------------------------

TEST_F(PackageDocTest, IndexesOutOfRangeAreRefused) {
  CTdx880Doc doc;
  ASSERT_TRUE(doc.New("01", "02"));
  ExpectRaises([&] { static_cast<void>(doc.GetFile(0)); },
               Msg(u8"FileIndex: ошибка задания диапазона - минимальное значение (0) больше "
                   u8"максимального(-1)"));
  doc.AddFile("01", "xml", "a.xml", "a");
  ExpectRaises([&] { static_cast<void>(doc.GetFile(1)); },
               Msg(u8"Значение параметра FileIndex (1) должно находиться в интервале от 0 до 0"));
  ExpectRaises([&] { static_cast<void>(doc.GetFileSignature(0, 0)); },
               Msg(u8"iSignaturesCount: ошибка задания диапазона - минимальное значение (0) больше "
                   u8"максимального(-1)"));
}

// ---- Two threads and two processes in one folder ---------------------------------------------

// Builds count packages into folder; how many were saved (none when one is refused).
size_t BuildPackages(const std::string& folder, size_t count) {
  size_t saved = 0;
  try {
    for (; saved < count; ++saved) {
      CTdx880Doc doc;
      FillDeclarationPackage(doc);
      doc.Save(folder);
    }
  } catch (const std::exception&) {
    return 0;
  }
  return saved;
}

TEST_F(PackageDocTest, TwoThreadsAndTwoProcessesSavingIntoOneFolderNeverCollide) {
  constexpr size_t kEach = 12;
  const std::string folder = PathOf("shared");
  fs::create_directories(folder);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::_exit(BuildPackages(folder, kEach) == kEach ? 0 : 1);
  }
  size_t a = 0;
  size_t b = 0;
  std::thread first([&] { a = BuildPackages(folder, kEach); });
  std::thread second([&] { b = BuildPackages(folder, kEach); });
  first.join();
  second.join();
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(a + b, 2 * kEach);
  const std::set<std::string> files = Listing(folder);
  EXPECT_EQ(files.size(), 3 * kEach) << "every package has a file of its own";
  for (const std::string& name : files) {
    CTdx880Doc doc;
    ASSERT_TRUE(doc.Open(folder + "/" + name)) << name;
    EXPECT_EQ(doc.GetFile(0)->RawContent(), kDeclaration);
  }
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{}) << "no working folder or scratch file left";
}

// The content cipher of the items' envelopes: GOST 28147-89 unless the environment names another.
TEST_F(PackageDocTest, EnvelopeCipherComesFromTheEnvironment) {
  const std::pair<const char*, crypt::ContentCipher> cases[] = {
      {nullptr, crypt::ContentCipher::kGost28147},
      {"kuznyechik-ctr-acpkm-omac", crypt::ContentCipher::kKuznyechikCtrAcpkmOmac},
      {"magma-ctr-acpkm", crypt::ContentCipher::kMagmaCtrAcpkm},
      {"Kuznyechik", crypt::ContentCipher::kGost28147}};
  for (const auto& [value, cipher] : cases) {
    if (value == nullptr) {
      ::unsetenv("LYR_TDX_ENVELOPE_CIPHER");
    } else {
      ::setenv("LYR_TDX_ENVELOPE_CIPHER", value, 1);
    }
    EXPECT_EQ(CTdx880Doc().Config().EnvelopeCipher(), cipher) << (value ? value : "unset");
  }
  ::unsetenv("LYR_TDX_ENVELOPE_CIPHER");
}

// ---- Limits: the decompression budget -------------------------------------------------------

struct BudgetCase {
  const char* name;
  uint64_t size;            // zero bytes each document inflates to
  const char* environment;  // LYR_TDX_MAX_PLAIN_SIZE (nullptr: unset)
  bool refused;
};

class PackageBudget : public PackageDocTest, public ::testing::WithParamInterface<BudgetCase> {};

constexpr uint64_t kMiB = uint64_t{1} << 20;

// Opens a package of two documents whose stored forms are ZIPs of a zero run in a child process,
// which reports the error and fails when its peak resident size came near what was declared (a
// bound, not a timing) or the first document opened at another size.
TEST_P(PackageBudget, RefusesNestedArchivesBeforeTheyInflate) {
  const BudgetCase& c = GetParam();
  const std::string archive = WithEntries(SavedPackage("plain"), "replaced.zip",
                                          "name.endswith('.bin')", ZeroRunZip(c.size));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (c.environment != nullptr) {
      ::setenv("LYR_TDX_MAX_PLAIN_SIZE", c.environment, 1);
    }
    CTdx880Doc doc;
    rtl::WriteStringToFile(PathOf("report.txt"), lyr::test::MessageOf([&] { doc.Open(archive); }));
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    ::_exit(doc.IsOpened() ? (doc.GetFile(0)->RawContent().size() == c.size ? 0 : 1)
                           : (usage.ru_maxrss < 256 * 1024 ? 0 : 2));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lyr::test::ReadAll(PathOf("report.txt")),
            c.refused ? Msg(u8"Слишком большой объём документов в пакете: [") + archive + "]" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Bombs, PackageBudget,
    ::testing::Values(BudgetCase{"OverTheDefaultBudget", 2048 * kMiB, nullptr, true},
                      BudgetCase{"OverTheBudgetOfTheEnvironment", 48 * kMiB, "67108864", true},
                      BudgetCase{"WithinTheBudget", 8 * kMiB, "67108864", false}),
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
    doc.AddFile("02", "bin", "large.bin", lyr::test::Content(32 * kMiB));
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
