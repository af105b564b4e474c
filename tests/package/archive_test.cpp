// COsAbbreviaTool against real peers: archives checked and made by Python's zipfile, `zip` and
// `unzip -t`, hostile archives refused, scratch files and atomic builds.
#include "package/os_abbrevia_tool.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "package/item_fixture.h"
#include "rtl/file_utils.h"
#include "rtl/whole_file.h"

namespace lyr::package {
namespace {

namespace fs = std::filesystem;
using rtl::Msg;
using test::ExpectRaises;
using test::Listing;

// UnpackDocument with the default budget.
std::string Unpack(std::string_view bytes) {
  rtl::DecompressionBudget budget;
  return COsAbbreviaTool::UnpackDocument(bytes, budget);
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    c = static_cast<char>(generator() & 0xFF);
  }
  return bytes;
}

std::string Text(size_t size) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) {
    text += "Line " + std::to_string(line) + ": the tax declaration for the period, form 1151001\n";
  }
  text.resize(size);
  return text;
}

class ArchiveTest : public test::PackageTest {
 protected:
  // "name:method:size" per entry, as Python's zipfile sees the archive, after testzip passed.
  std::string PythonEntries(const std::string& archive) {
    return Python(
        "import sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "assert z.testzip() is None\n"
        "print(' '.join(f'{i.filename}:{i.compress_type}:{i.file_size}' for i in z.infolist()))\n",
        archive);
  }

  std::string Tmp() const { return PathOf("tmp"); }
};

// ---- One document ---------------------------------------------------------------------------

struct RoundTripCase {
  std::string name;
  std::string data;
  int method;  // 0 stored, 8 deflated
};

class PackDocumentRoundTrip : public ArchiveTest,
                              public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(PackDocumentRoundTrip, UnpackGivesTheDataBackAndPeersAgreeOnTheMethod) {
  const RoundTripCase& c = GetParam();
  const std::string packed = COsAbbreviaTool::PackDocument("file", c.data);
  EXPECT_EQ(Unpack(packed), c.data);
  EXPECT_EQ(COsAbbreviaTool::EntryCount(packed), 1u);

  const std::string archive = WriteFile("one.zip", packed);
  EXPECT_EQ(PythonEntries(archive),
            "file:" + std::to_string(c.method) + ":" + std::to_string(c.data.size()) + "\n");
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand("unzip -tq " + archive, &output), 0) << output;
  std::string unzipped;
  EXPECT_EQ(lyr::test::RunCommand("unzip -p " + archive + " file", &unzipped), 0);
  EXPECT_EQ(unzipped, c.data);
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{}) << "no scratch file remains";
}

INSTANTIATE_TEST_SUITE_P(
    Data, PackDocumentRoundTrip,
    ::testing::Values(RoundTripCase{"Empty", "", 0}, RoundTripCase{"OneByte", "x", 0},
                      RoundTripCase{"ShortText", "hello, world\n", 0},
                      RoundTripCase{"Text1MB", Text(1 << 20), 8},
                      RoundTripCase{"Random100000", RandomBytes(100000, 1), 0},
                      RoundTripCase{"Zeros3MB", std::string(3 << 20, '\0'), 8},
                      RoundTripCase{"RandomThenText", RandomBytes(50000, 2) + Text(200000), 8},
                      // Over 1 MiB the method is judged by samples of start, middle and end.
                      RoundTripCase{"Random2MB", RandomBytes(2 << 20, 9), 0},
                      RoundTripCase{"Random1MBThenText", RandomBytes(1 << 20, 10) + Text(1 << 20),
                                    8}),
    [](const auto& info) { return info.param.name; });

TEST_F(ArchiveTest, UnpackRefusesAnArchiveWithoutEntries) {
  const std::string empty = std::string("PK\x05\x06", 4) + std::string(18, '\0');
  ExpectRaises([&] { Unpack(empty); }, Msg(u8"Неверное число файлов в архиве: [0]"));
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{});
}

TEST_F(ArchiveTest, UnpackRefusesAnArchiveWithTwoEntries) {
  const std::string archive = PathOf("two.zip");
  Python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    z.writestr('file', 'one')\n"
      "    z.writestr('more', 'two')\n",
      archive);
  ExpectRaises([&] { Unpack(rtl::ReadFileToString(archive)); },
               Msg(u8"Неверное число файлов в архиве: [2]"));
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{});
}

TEST_F(ArchiveTest, UnpackReadsAnArchiveMadeByPython) {
  const std::string archive = PathOf("py.zip");
  Python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    z.writestr('file', 'abc' * 1000)\n",
      archive);
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    expected += "abc";
  }
  EXPECT_EQ(Unpack(rtl::ReadFileToString(archive)), expected);
}

TEST_F(ArchiveTest, UnpackRefusesDamagedBytes) {
  const std::string packed = COsAbbreviaTool::PackDocument("file", Text(10000));
  ExpectRaises([&] { Unpack(RandomBytes(1000, 4)); }, "Not a zip archive");
  std::string corrupt = packed;
  corrupt[40] = static_cast<char>(corrupt[40] ^ 0x55);  // inside the deflated data
  EXPECT_TRUE(lyr::test::Raised([&] { Unpack(corrupt); }).has_value());
  EXPECT_TRUE(lyr::test::Raised([&] { Unpack(packed.substr(0, packed.size() / 2)); }).has_value());
  EXPECT_EQ(Listing(Tmp()), std::set<std::string>{});
}

// ---- Folders --------------------------------------------------------------------------------

TEST_F(ArchiveTest, BuildStoresRandomDataAndDeflatesTextReadableByPeers) {
  const std::string folder = PathOf("in");
  fs::create_directory(folder);
  rtl::WriteStringToFile(folder + "/random.bin", RandomBytes(200000, 5));
  rtl::WriteStringToFile(folder + "/text.xml", Text(200000));
  rtl::WriteStringToFile(folder + "/empty.bin", "");
  // Over 1 MiB and incompressible: judged by samples and streamed from the file.
  rtl::WriteStringToFile(folder + "/large.bin", RandomBytes(3 << 20, 11));
  fs::create_directory(folder + "/sub");                 // folders are not searched
  ::symlink("/etc/passwd", (folder + "/link").c_str());  // links are skipped
  const std::string archive = PathOf("out.zip");

  ASSERT_TRUE(COsAbbreviaTool::BuildArchiveFromDirectory(folder, "*.*", archive));

  EXPECT_EQ(PythonEntries(archive),
            "empty.bin:0:0 large.bin:0:3145728 random.bin:0:200000 text.xml:8:200000\n");
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand("unzip -tq " + archive, &output), 0) << output;
  std::string large;
  EXPECT_EQ(lyr::test::RunCommand("unzip -p " + archive + " large.bin", &large), 0);
  EXPECT_EQ(large, RandomBytes(3 << 20, 11));
  EXPECT_EQ(Listing(Home()),
            (std::set<std::string>{"in", "in/empty.bin", "in/large.bin", "in/link", "in/random.bin",
                                   "in/sub", "in/text.xml", "out.zip", "script.py", "tmp"}))
      << "no scratch file remains";
}

TEST_F(ArchiveTest, BuildAndExtractRoundTripWithCyrillicNames) {
  const std::string folder = PathOf("in");
  fs::create_directory(folder);
  const std::string cyrillic = Msg(u8"Отчёт за 2026 год.txt");  // windows-1251
  rtl::WriteStringToFile(rtl::LibraryPath(folder) + "/" + cyrillic, Text(5000));
  rtl::WriteStringToFile(folder + "/a.bin", RandomBytes(3000, 6));
  const std::string archive = PathOf("out.zip");
  ASSERT_TRUE(COsAbbreviaTool::BuildArchiveFromDirectory(folder, "*.*", archive));

  // Python reads the name as UTF-8 (bit 11 set).
  EXPECT_EQ(Python("import sys, zipfile\n"
                   "z = zipfile.ZipFile(sys.argv[1])\n"
                   "print(' '.join(f'{i.filename}:{i.flag_bits & 0x800}' for i in z.infolist()))\n",
                   archive),
            "a.bin:0 " + rtl::AnsiToUtf8String(cyrillic) + ":2048\n");

  const std::string target = COsAbbreviaTool::ExtractArchive(PathOf("out"), archive, false);
  EXPECT_EQ(target, PathOf("out") + "/");
  EXPECT_EQ(rtl::ReadFileToString(target + cyrillic), Text(5000));
  EXPECT_EQ(rtl::ReadFileToString(target + "a.bin"), RandomBytes(3000, 6));
}

TEST_F(ArchiveTest, FailedBuildLeavesTheOldArchiveAndNoScratchFile) {
  const std::string folder = PathOf("in");
  fs::create_directory(folder);
  rtl::WriteStringToFile(folder + "/a.bin", "a");
  // A sparse file of 5 GiB cannot be read into memory: the build fails while writing entries.
  std::ofstream(folder + "/b.bin").close();
  fs::resize_file(folder + "/b.bin", uint64_t{5} << 30);
  const std::string archive = PathOf("out/package.zip");
  fs::create_directory(PathOf("out"));
  rtl::WriteStringToFile(archive, "old archive");

  ExpectRaises([&] { COsAbbreviaTool::BuildArchiveFromDirectory(folder, "*.*", archive); },
               Msg(u8"Файл слишком велик!"));
  EXPECT_EQ(rtl::ReadFileToString(archive), "old archive");
  EXPECT_EQ(Listing(PathOf("out")), std::set<std::string>{"package.zip"});
}

TEST_F(ArchiveTest, FailedMoveLeavesNoScratchFile) {
  const std::string folder = PathOf("in");
  fs::create_directory(folder);
  rtl::WriteStringToFile(folder + "/a.bin", Text(1000));
  fs::create_directories(PathOf("out/package.zip/inside"));  // a folder stands in the way
  EXPECT_TRUE(lyr::test::Raised([&] {
                COsAbbreviaTool::BuildArchiveFromDirectory(folder, "*.*",
                                                           PathOf("out/package.zip"));
              }).has_value());
  EXPECT_EQ(Listing(PathOf("out")), (std::set<std::string>{"package.zip", "package.zip/inside"}));
}

TEST_F(ArchiveTest, ExtractReadsArchivesMadeByPythonWithFolders) {
  const std::string archive = PathOf("py.zip");
  Python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    z.writestr('packageDescription.xml', '<a/>' * 100)\n"
      "    z.writestr('dir/', '')\n"
      "    z.writestr('dir/inner.txt', 'inner')\n"
      "    z.writestr('stored.bin', 'stored', compress_type=zipfile.ZIP_STORED)\n"
      "    z.writestr('Документ.txt', 'utf-8 name')\n",
      archive);
  const std::string target = COsAbbreviaTool::ExtractArchive(PathOf("out"), archive, false);
  EXPECT_EQ(Listing(PathOf("out")),
            (std::set<std::string>{"packageDescription.xml", "dir", "dir/inner.txt", "stored.bin",
                                   "Документ.txt"}));
  EXPECT_EQ(rtl::ReadFileToString(target + "dir/inner.txt"), "inner");
  EXPECT_EQ(rtl::ReadFileToString(target + Msg(u8"Документ.txt")), "utf-8 name");
}

TEST_F(ArchiveTest, ExtractKeepingHandsRootFilesUpToTheLimitOverAndWritesTheRest) {
  const std::string archive = PathOf("py.zip");
  Python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    z.writestr('a.txt', 'first')\n"
      "    z.writestr('dir/inner.txt', 'inner')\n"
      "    z.writestr('b.txt', 'second')\n",
      archive);
  struct Case {
    uint64_t limit;
    std::set<std::string> kept;
    std::set<std::string> written;
  };
  int round = 0;
  for (const Case& c : {Case{UINT64_MAX, {"a.txt=first", "b.txt=second"}, {"dir", "dir/inner.txt"}},
                        Case{5, {"a.txt=first"}, {"b.txt", "dir", "dir/inner.txt"}},
                        Case{0, {}, {"a.txt", "b.txt", "dir", "dir/inner.txt"}}}) {
    const std::string folder = PathOf("out" + std::to_string(round++)) + "/";
    ASSERT_TRUE(rtl::ForceDirectories(folder));
    std::set<std::string> kept;
    COsAbbreviaTool::ExtractArchiveKeeping(
        [&] { return folder; }, archive, nullptr, c.limit,
        [&](const std::string& name, std::string bytes) { kept.insert(name + "=" + bytes); });
    EXPECT_EQ(kept, c.kept) << c.limit;
    EXPECT_EQ(Listing(folder), c.written) << c.limit;
  }
  // Nothing to write: the folder is never asked for.
  const std::string flat = PathOf("flat.zip");
  Python("import sys, zipfile\nzipfile.ZipFile(sys.argv[1], 'w').writestr('a', 'b')\n", flat);
  COsAbbreviaTool::ExtractArchiveKeeping(
      []() -> std::string { throw std::logic_error("folder asked for"); }, flat, nullptr,
      UINT64_MAX, [](const std::string&, std::string) {});
}

TEST_F(ArchiveTest, ExtractReadsArchivesMadeByZip) {
  fs::create_directory(PathOf("in"));
  WriteFile("in/a.txt", Text(10000));
  WriteFile("in/b.bin", RandomBytes(10000, 7));
  std::string output;
  ASSERT_EQ(
      lyr::test::RunCommand("cd " + PathOf("in") + " && zip -q -6 ../z.zip a.txt b.bin", &output),
      0)
      << output;
  const std::string target = COsAbbreviaTool::ExtractArchive(PathOf("out"), PathOf("z.zip"), false);
  EXPECT_EQ(rtl::ReadFileToString(target + "a.txt"), Text(10000));
  EXPECT_EQ(rtl::ReadFileToString(target + "b.bin"), RandomBytes(10000, 7));
}

TEST_F(ArchiveTest, ExtractReadsLegacyCp866Names) {
  const std::string archive = PathOf("legacy.zip");
  // zipfile writes non-ASCII names as UTF-8, so the name is patched to CP866 bytes afterwards.
  Python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    z.writestr('XXXXX.txt', 'legacy')\n"
      "data = open(sys.argv[1], 'rb').read().replace(b'XXXXX', 'Отчёт'.encode('cp866'))\n"
      "open(sys.argv[1], 'wb').write(data)\n",
      archive);
  const std::string target = COsAbbreviaTool::ExtractArchive(PathOf("out"), archive, false);
  EXPECT_EQ(rtl::ReadFileToString(target + Msg(u8"Отчёт.txt")), "legacy");
}

TEST_F(ArchiveTest, ExtractOfAMissingOrRandomFileFailsWithTheArchiveLibrarysText) {
  ExpectRaises(
      [&] { COsAbbreviaTool::ExtractArchive(PathOf("out"), PathOf("missing.zip"), false); },
      "No such file: [" + PathOf("missing.zip") + "]");
  const std::string random = WriteFile("random.zip", RandomBytes(5000, 8));
  ExpectRaises([&] { COsAbbreviaTool::ExtractArchive(PathOf("out"), random, false); },
               "Not a zip archive: [" + random + "]");
  EXPECT_EQ(Listing(PathOf("out")), std::set<std::string>{});
}

// ---- Hostile archives -----------------------------------------------------------------------

struct HostileCase {
  std::string name;
  std::string python;     // statements adding the hostile entries to the ZipFile z
  std::u8string message;  // expected error
};

// The expected message in windows-1251, with "%ARCHIVE%" replaced by the archive's path.
std::string ExpectedMessage(std::u8string_view message, const std::string& archive) {
  std::string text = Msg(message);
  if (const size_t at = text.find("%ARCHIVE%"); at != std::string::npos) {
    text.replace(at, 9, archive);
  }
  return text;
}

class HostileArchive : public ArchiveTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileArchive, IsRefusedAndNothingIsWritten) {
  const HostileCase& c = GetParam();
  const std::string archive = PathOf("hostile.zip");
  Python(
      "import sys, zipfile, warnings\n"
      "warnings.simplefilter('ignore')\n"
      "path = sys.argv[1]\n"
      "with zipfile.ZipFile(path, 'w') as z:\n"
      "    z.writestr('good.txt', 'harmless')\n" +
          c.python,
      archive);
  fs::create_directories(PathOf("deep/er/target"));
  const std::string target = PathOf("deep/er/target");
  ExpectRaises([&] { COsAbbreviaTool::ExtractArchive(target, archive, false); },
               ExpectedMessage(c.message, archive));
  EXPECT_EQ(Listing(Home()), (std::set<std::string>{"deep", "deep/er", "deep/er/target",
                                                    "hostile.zip", "script.py", "tmp"}));
}

// Patches the declared (uncompressed) size of every entry "big" in local and central headers.
constexpr const char* kPatchBigSize =
    "data = bytearray(open(path, 'rb').read())\n"
    "import struct\n"
    "for sig, off in ((b'PK\\x03\\x04', 22), (b'PK\\x01\\x02', 24)):\n"
    "    i = data.find(sig)\n"
    "    while i >= 0:\n"
    "        n = struct.unpack_from('<H', data, i + (26 if sig == b'PK\\x03\\x04' else 28))[0]\n"
    "        start = i + (30 if sig == b'PK\\x03\\x04' else 46)\n"
    "        if data[start:start + n] == b'big':\n"
    "            struct.pack_into('<I', data, i + off, SIZE)\n"
    "        i = data.find(sig, i + 4)\n"
    "open(path, 'wb').write(data)\n";

std::string PatchBig(uint64_t size) {
  std::string script = kPatchBigSize;
  script.replace(script.find("SIZE"), 4, std::to_string(size));
  return script;
}

INSTANTIATE_TEST_SUITE_P(
    Entries, HostileArchive,
    ::testing::Values(
        HostileCase{"DotDot", "    z.writestr('../evil', 'x')\n",
                    u8"Недопустимое имя файла в архиве: [../evil]"},
        HostileCase{"DotDotDeep", "    z.writestr('../../../evil', 'x')\n",
                    u8"Недопустимое имя файла в архиве: [../../../evil]"},
        HostileCase{"Absolute", "    z.writestr('/abs', 'x')\n",
                    u8"Недопустимое имя файла в архиве: [/abs]"},
        HostileCase{"DotDotInside", "    z.writestr('a/../../x', 'x')\n",
                    u8"Недопустимое имя файла в архиве: [a/../../x]"},
        HostileCase{"DotSegment", "    z.writestr('./x', 'x')\n",
                    u8"Недопустимое имя файла в архиве: [./x]"},
        HostileCase{"DriveLetter", "    z.writestr('C:/evil', 'x')\n",
                    u8"Недопустимое имя файла в архиве: [C:/evil]"},
        HostileCase{"Backslash",
                    "    zi = zipfile.ZipInfo('x')\n"
                    "    zi.filename = '..\\\\evil'\n"
                    "    z.writestr(zi, 'x')\n",
                    u8"Недопустимое имя файла в архиве: [..\\evil]"},
        HostileCase{"EmptySegment", "    z.writestr('a//b', 'x')\n",
                    u8"Недопустимое имя файла в архиве: [a//b]"},
        HostileCase{"Symlink",
                    "    zi = zipfile.ZipInfo('link')\n"
                    "    zi.create_system = 3\n"
                    "    zi.external_attr = 0o120777 << 16\n"
                    "    z.writestr(zi, '/etc/passwd')\n",
                    u8"Символическая ссылка в архиве недопустима: [link]"},
        // libzip itself refuses an archive whose central directory names a file twice.
        HostileCase{"Duplicate", "    z.writestr('good.txt', 'other')\n",
                    u8"File already exists: [%ARCHIVE%]"},
        HostileCase{"DuplicateFolderAndFile",
                    "    z.writestr('d', 'x')\n"
                    "    z.writestr('d/', '')\n",
                    u8"Файл встречается в архиве дважды: [d/]"},
        HostileCase{"HugeDeclaredSize", "    z.writestr('big', 'x' * 10)\n" + PatchBig(3u << 30),
                    u8"Слишком большой файл в архиве: [big]"},
        HostileCase{"MoreDataThanDeclared",
                    "    z.writestr('big', 'x' * 100000, compress_type=zipfile.ZIP_DEFLATED)\n" +
                        PatchBig(10),
                    u8"Размер файла в архиве больше заявленного: [big]"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ArchiveTest, ExtractRefusesAnAbsurdEntryCount) {
  const std::string archive = PathOf("many.zip");
  Python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    for i in range(65537):\n"
      "        z.writestr(str(i), '')\n",
      archive);
  ExpectRaises([&] { COsAbbreviaTool::ExtractArchive(PathOf("out"), archive, false); },
               Msg(u8"Слишком много файлов в архиве: [65537]"));
  EXPECT_EQ(Listing(PathOf("out")), std::set<std::string>{});
}

TEST_F(ArchiveTest, ExtractDoesNotFollowALinkAlreadyInTheTarget) {
  fs::create_directories(PathOf("out"));
  fs::create_directories(PathOf("elsewhere"));
  fs::create_directory_symlink(PathOf("elsewhere"), PathOf("out/dir"));
  const std::string archive = PathOf("a.zip");
  Python(
      "import sys, zipfile\n"
      "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
      "    z.writestr('dir/file', 'x')\n",
      archive);
  EXPECT_TRUE(lyr::test::Raised([&] {
                COsAbbreviaTool::ExtractArchive(PathOf("out"), archive, false);
              }).has_value());
  EXPECT_EQ(Listing(PathOf("elsewhere")), std::set<std::string>{});
}

}  // namespace
}  // namespace lyr::package
