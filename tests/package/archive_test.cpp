// COsAbbreviaTool against real peers: archives checked and made by Python's zipfile, `zip` and
// `unzip`, hostile archives refused, scratch files and atomic builds.
#include "package/os_abbrevia_tool.h"

#include <gtest/gtest.h>
#include <unistd.h>

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
using Names = std::set<std::string>;

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
  std::vector<std::string> PythonEntries(const std::string& archive) {
    return EntryNames(archive, "f'{i.filename}:{i.compress_type}:{i.file_size}'");
  }
  std::string Extract(const std::string& archive) {
    return COsAbbreviaTool::ExtractArchive(PathOf("out"), archive, false);
  }
  // A folder "in" with the files (name, bytes); its path.
  std::string Folder(const std::vector<std::pair<std::string, std::string>>& files) {
    for (const auto& [name, bytes] : files) {
      WriteFile("in/" + name, bytes);
    }
    return PathOf("in");
  }
};

// ---- One document ---------------------------------------------------------------------------

// Over 1 MiB the method is judged by samples of start, middle and end.
TEST_F(ArchiveTest, PackDocumentUnpacksAndPeersAgreeOnTheMethod) {
  for (const auto& [data, method] : {std::pair<std::string, int>{"", 0},
                                     {RandomBytes(2 << 20, 9), 0},
                                     {RandomBytes(1 << 20, 10) + Text(1 << 20), 8}}) {
    const std::string packed = COsAbbreviaTool::PackDocument("file", data);
    EXPECT_EQ(Unpack(packed), data);
    EXPECT_EQ(COsAbbreviaTool::EntryCount(packed), 1u);
    const std::string archive = WriteFile("one.zip", packed);
    EXPECT_EQ(PythonEntries(archive), std::vector<std::string>{"file:" + std::to_string(method) +
                                                               ":" + std::to_string(data.size())});
    EXPECT_EQ(Entry(archive, "file"), data);
  }
  EXPECT_EQ(Listing(PathOf("tmp")), Names{}) << "no scratch file remains";
}

TEST_F(ArchiveTest, UnpackReadsPythonsArchiveAndRefusesOthers) {
  EXPECT_EQ(Unpack(rtl::ReadFileToString(PythonZip("py.zip", {{"'file'", Text(3000)}}))),
            Text(3000));
  const std::string two = PythonZip("two.zip", {{"'file'", "one"}, {"'more'", "two"}});
  ExpectRaises([&] { Unpack(rtl::ReadFileToString(two)); },
               Msg(u8"Неверное число файлов в архиве: [2]"));
  ExpectRaises([&] { Unpack(RandomBytes(1000, 4)); }, "Not a zip archive");
  const std::string packed = COsAbbreviaTool::PackDocument("file", Text(10000));
  std::string corrupt = packed;
  corrupt[40] = static_cast<char>(corrupt[40] ^ 0x55);  // inside the deflated data
  EXPECT_TRUE(lyr::test::Raised([&] { Unpack(corrupt); }).has_value());
  EXPECT_TRUE(lyr::test::Raised([&] { Unpack(packed.substr(0, packed.size() / 2)); }).has_value());
  EXPECT_EQ(Listing(PathOf("tmp")), Names{});
}

// ---- Folders --------------------------------------------------------------------------------

// A Cyrillic name is written as UTF-8 (bit 11 set), which Python reads.
TEST_F(ArchiveTest, BuildStoresRandomDataAndDeflatesTextReadableByPeers) {
  // Over 1 MiB and incompressible: judged by samples and streamed from the file.
  const std::string folder = Folder({{"random.bin", RandomBytes(200000, 5)},
                                     {"text.xml", Text(200000)},
                                     {"empty.bin", ""},
                                     {"large.bin", RandomBytes(3 << 20, 11)}});
  rtl::WriteStringToFile(rtl::LibraryPath(folder) + Msg(u8"/Отчёт.txt"), Text(5000));
  fs::create_directory(folder + "/sub");                 // folders are not searched
  ::symlink("/etc/passwd", (folder + "/link").c_str());  // links are skipped
  ASSERT_TRUE(COsAbbreviaTool::BuildArchiveFromDirectory(folder, "*.*", PathOf("out.zip")));
  EXPECT_EQ(PythonEntries(PathOf("out.zip")),
            (std::vector<std::string>{"empty.bin:0:0", "large.bin:0:3145728", "random.bin:0:200000",
                                      "text.xml:8:200000", "Отчёт.txt:8:5000"}));
  EXPECT_EQ(Entry(PathOf("out.zip"), "large.bin"), RandomBytes(3 << 20, 11));
  EXPECT_EQ(Listing(Home()),
            (Names{"in", "in/empty.bin", "in/large.bin", "in/link", "in/random.bin", "in/sub",
                   "in/text.xml", "in/Отчёт.txt", "out.zip", "script.py", "tmp"}))
      << "no scratch file remains";
}

// A failed build (a sparse 5 GiB file cannot be read into memory; a folder stands where the
// archive goes) leaves the old archive and no scratch file.
TEST_F(ArchiveTest, FailedBuildLeavesTheOldArchiveAndNoScratchFile) {
  const std::string folder = Folder({{"a.bin", "a"}, {"b.bin", ""}});
  fs::resize_file(folder + "/b.bin", uint64_t{5} << 30);
  const std::string archive = WriteFile("out/package.zip", "old archive");
  ExpectRaises([&] { COsAbbreviaTool::BuildArchiveFromDirectory(folder, "*.*", archive); },
               Msg(u8"Файл слишком велик!"));
  EXPECT_EQ(rtl::ReadFileToString(archive), "old archive");
  EXPECT_EQ(Listing(PathOf("out")), Names{"package.zip"});
  fs::remove(folder + "/b.bin");
  fs::remove(archive);
  fs::create_directories(archive + "/inside");
  EXPECT_TRUE(lyr::test::Raised([&] {
                COsAbbreviaTool::BuildArchiveFromDirectory(folder, "*.*", archive);
              }).has_value());
  EXPECT_EQ(Listing(PathOf("out")), (Names{"package.zip", "package.zip/inside"}));
}

TEST_F(ArchiveTest, ExtractReadsArchivesOfPythonAndZip) {
  const std::string python = PythonZip("py.zip", {{"'packageDescription.xml'", "<a/>"},
                                                  {"'dir/'", ""},
                                                  {"'dir/inner.txt'", "inner"},
                                                  {"'stored.bin'", "stored"},
                                                  {"'Документ.txt'", "utf-8 name"}});
  const std::string target = Extract(python);
  EXPECT_EQ(Listing(PathOf("out")), (Names{"packageDescription.xml", "dir", "dir/inner.txt",
                                           "stored.bin", "Документ.txt"}));
  EXPECT_EQ(rtl::ReadFileToString(target + "dir/inner.txt"), "inner");
  EXPECT_EQ(rtl::ReadFileToString(target + Msg(u8"Документ.txt")), "utf-8 name");
  fs::remove_all(PathOf("out"));
  Folder({{"a.txt", Text(10000)}, {"b.bin", RandomBytes(10000, 7)}});
  ASSERT_EQ(lyr::test::RunCommand("cd " + PathOf("in") + " && zip -q -6 ../z.zip a.txt b.bin"), 0);
  Extract(PathOf("z.zip"));
  EXPECT_EQ(rtl::ReadFileToString(target + "a.txt"), Text(10000));
  EXPECT_EQ(rtl::ReadFileToString(target + "b.bin"), RandomBytes(10000, 7));
  // zipfile writes non-ASCII names as UTF-8, so the name is patched to CP866 bytes afterwards.
  const std::string legacy = PythonZip("legacy.zip", {{"'XXXXX.txt'", "legacy"}});
  Python(
      "import sys\ndata = open(sys.argv[1], 'rb').read().replace(b'XXXXX', "
      "'Отчёт'.encode('cp866'))\nopen(sys.argv[1], 'wb').write(data)\n",
      legacy);
  Extract(legacy);
  EXPECT_EQ(rtl::ReadFileToString(target + Msg(u8"Отчёт.txt")), "legacy");
}

// With nothing to write the folder is never asked for.
TEST_F(ArchiveTest, ExtractKeepingAsksForNoFolderWhenItKeepsEverything) {
  Names kept;
  COsAbbreviaTool::ExtractArchiveKeeping(
      []() -> std::string { throw std::logic_error("folder asked for"); },
      PythonZip("flat.zip", {{"'a'", "b"}, {"'c'", "d"}}), nullptr, UINT64_MAX,
      [&](const std::string& name, std::string bytes) { kept.insert(name + "=" + bytes); });
  EXPECT_EQ(kept, (Names{"a=b", "c=d"}));
}

// ---- Hostile archives -----------------------------------------------------------------------

struct HostileCase {
  std::string name;
  std::string python;  // statements adding the hostile entries to the ZipFile z
  std::u8string message;
};

class HostileArchive : public ArchiveTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(HostileArchive, IsRefusedAndNothingIsWritten) {
  const HostileCase& c = GetParam();
  const std::string archive = PathOf("hostile.zip");
  Python(
      "import sys, zipfile, warnings, struct\n"
      "warnings.simplefilter('ignore')\n"
      "path = sys.argv[1]\n"
      "with zipfile.ZipFile(path, 'w') as z:\n"
      "    z.writestr('good.txt', 'harmless')\n" +
          c.python,
      archive);
  const std::string target = PathOf("deep/er/target");
  fs::create_directories(target);
  ExpectRaises([&] { COsAbbreviaTool::ExtractArchive(target, archive, false); }, Msg(c.message));
  EXPECT_EQ(Listing(Home()),
            (Names{"deep", "deep/er", "deep/er/target", "hostile.zip", "script.py", "tmp"}));
}

// Patches the declared (uncompressed) size of every entry "big" in local and central headers.
std::string PatchBig(uint64_t size) {
  return "data = bytearray(open(path, 'rb').read())\n"
         "for sig, off, n_at, start_at in ((b'PK\\x03\\x04', 22, 26, 30), "
         "(b'PK\\x01\\x02', 24, 28, 46)):\n"
         "    i = data.find(sig)\n"
         "    while i >= 0:\n"
         "        n = struct.unpack_from('<H', data, i + n_at)[0]\n"
         "        if data[i + start_at:i + start_at + n] == b'big':\n"
         "            struct.pack_into('<I', data, i + off, " +
         std::to_string(size) +
         ")\n"
         "        i = data.find(sig, i + 4)\n"
         "open(path, 'wb').write(data)\n";
}

HostileCase BadName(const std::string& name, const std::string& entry) {
  return {
      name, "    z.writestr('" + entry + "', 'x')\n",
      u8"Недопустимое имя файла в архиве: [" + std::u8string(entry.begin(), entry.end()) + u8"]"};
}

INSTANTIATE_TEST_SUITE_P(
    Entries, HostileArchive,
    ::testing::Values(
        BadName("DotDot", "a/../../x"), BadName("Absolute", "/abs"), BadName("DotSegment", "./x"),
        BadName("DriveLetter", "C:/evil"), BadName("TrailingSlashes", "a//"),
        HostileCase{"Backslash",
                    "    zi = zipfile.ZipInfo('x')\n    zi.filename = '..\\\\evil'\n"
                    "    z.writestr(zi, 'x')\n",
                    u8"Недопустимое имя файла в архиве: [..\\evil]"},
        HostileCase{"Symlink",
                    "    zi = zipfile.ZipInfo('link')\n    zi.create_system = 3\n"
                    "    zi.external_attr = 0o120777 << 16\n    z.writestr(zi, '/etc/passwd')\n",
                    u8"Символическая ссылка в архиве недопустима: [link]"},
        HostileCase{"DuplicateFolderAndFile",
                    "    z.writestr('d', 'x')\n    z.writestr('d/', '')\n",
                    u8"Файл встречается в архиве дважды: [d/]"},
        HostileCase{"HugeDeclaredSize", "    z.writestr('big', 'x' * 10)\n" + PatchBig(3u << 30),
                    u8"Слишком большой файл в архиве: [big]"},
        HostileCase{"MoreDataThanDeclared",
                    "    z.writestr('big', 'x' * 100000, compress_type=zipfile.ZIP_DEFLATED)\n" +
                        PatchBig(10),
                    u8"Размер файла в архиве больше заявленного: [big]"},
        HostileCase{"AbsurdEntryCount", "    for i in range(65536): z.writestr(str(i), '')\n",
                    u8"Слишком много файлов в архиве: [65537]"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ArchiveTest, ExtractRefusesWhatIsNoArchiveAndFollowsNoLinkInTheTarget) {
  ExpectRaises([&] { Extract(PathOf("missing.zip")); },
               "No such file: [" + PathOf("missing.zip") + "]");
  const std::string random = WriteFile("random.zip", RandomBytes(5000, 8));
  ExpectRaises([&] { Extract(random); }, "Not a zip archive: [" + random + "]");
  fs::create_directories(PathOf("elsewhere"));
  fs::create_directory_symlink(PathOf("elsewhere"), PathOf("out/dir"));
  const std::string archive = PythonZip("a.zip", {{"'dir/file'", "x"}});
  EXPECT_TRUE(lyr::test::Raised([&] { Extract(archive); }).has_value());
  EXPECT_EQ(Listing(PathOf("elsewhere")), Names{});
}

}  // namespace
}  // namespace lyr::package
