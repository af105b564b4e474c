// The class registry file: registration functions, the file format, atomic writes and hostile
// files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "lyr/com/com.h"
#include "support/expect_error_info.h"
#include "support/sandbox.h"

namespace {

using lyr::test::DescribeErrorInfo;

using lyr::test::ReadAll;

constexpr GUID kFirst = {
    0x11111111, 0x2222, 0x4333, {0x84, 0x44, 0x55, 0x55, 0x66, 0x66, 0x77, 0x77}};
constexpr GUID kSecond = {
    0xAAAAAAAA, 0xBBBB, 0x4CCC, {0x8D, 0xDD, 0xEE, 0xEE, 0xFF, 0xFF, 0x00, 0x01}};
constexpr GUID kTypeLib = {
    0x12345678, 0x9ABC, 0x4DEF, {0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};

const char kHeaderComment[] =
    "# lyrcom class registry (see docs/com-registry.md). One class per line, tab-separated:\n"
    "# CLSID, threading model, ProgID, type library id, type library version, library path.\n"
    "lyrcom-registry 1\n";

LYRCOM_CLASS_ENTRY Entry(const GUID& clsid, const char* progId, const char* library) {
  LYRCOM_CLASS_ENTRY entry{};
  entry.clsid = clsid;
  entry.libraryPath = library;
  entry.threadingModel = "Apartment";
  entry.progId = progId;
  entry.typeLibId = kTypeLib;
  entry.typeLibMajor = 1;
  entry.typeLibMinor = 2;
  return entry;
}

HRESULT Register(const LYRCOM_CLASS_ENTRY& entry) {
  return LyrComRegisterClasses(&entry, 1);
}

using ComRegistry = lyr::test::Sandbox;

TEST_F(ComRegistry, RegisterWritesTheDocumentedLineFormat) {
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.First", "/opt/lyr/libfirst.so")), S_OK);
  EXPECT_EQ(ReadAll(PathOf("registry")),
            std::string(kHeaderComment) +
                "{11111111-2222-4333-8444-555566667777}\tApartment\tLyr.First\t"
                "{12345678-9ABC-4DEF-8011-223344556677}\t1.2\t/opt/lyr/libfirst.so\n");
  struct stat info {};
  ASSERT_EQ(::stat(PathOf("registry").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(ComRegistry, RegisteringKeepsOtherServersAndUnregisteringRemovesOnlyThisServer) {
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.First", "/opt/one.so")), S_OK);
  ASSERT_EQ(Register(Entry(kSecond, "Lyr.Second", "/opt/two.so")), S_OK);
  const std::string both = ReadAll(PathOf("registry"));
  EXPECT_NE(both.find("Lyr.First"), std::string::npos);
  EXPECT_NE(both.find("Lyr.Second"), std::string::npos);

  ASSERT_EQ(LyrComUnregisterServer("/opt/one.so"), S_OK);
  const std::string left = ReadAll(PathOf("registry"));
  EXPECT_EQ(left.find("Lyr.First"), std::string::npos);
  EXPECT_NE(left.find("Lyr.Second\t{12345678-9ABC-4DEF-8011-223344556677}\t1.2\t/opt/two.so"),
            std::string::npos);
  EXPECT_EQ(LyrComUnregisterServer("/opt/one.so"), S_FALSE);
  EXPECT_EQ(ReadAll(PathOf("registry")), left);
}

// Sets a file's modification time back by a minute, as if it had been written long ago.
void Age(const std::string& path) {
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  struct timespec times[2] = {info.st_atim, info.st_mtim};
  times[1].tv_sec -= 60;
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(ComRegistry, SettledFileIsReadAgainWhenRewrittenInPlace) {
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.First", "/opt/one.so")), S_OK);
  Age(PathOf("registry"));
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"Lyr.First", &clsid), S_OK);  // read and kept
  ASSERT_EQ(CLSIDFromProgID(u"Lyr.First", &clsid), S_OK);  // from the kept entries
  std::string text = ReadAll(PathOf("registry"));
  text.replace(text.find("Lyr.First"), 9, "Lyr.Other");
  WriteFile("registry", text);  // same file, same size, a new modification time
  EXPECT_EQ(CLSIDFromProgID(u"Lyr.First", &clsid), CO_E_CLASSSTRING);
  ASSERT_EQ(CLSIDFromProgID(u"Lyr.Other", &clsid), S_OK);
  EXPECT_EQ(clsid, kFirst);
}

TEST_F(ComRegistry, WritesLeaveNoTemporaryFilesAndReplaceTheFile) {
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.First", "/opt/one.so")), S_OK);
  struct stat before {};
  ASSERT_EQ(::stat(PathOf("registry").c_str(), &before), 0);
  ASSERT_EQ(Register(Entry(kSecond, "Lyr.Second", "/opt/two.so")), S_OK);
  struct stat after {};
  ASSERT_EQ(::stat(PathOf("registry").c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed into place, not rewritten
  for (const auto& item : std::filesystem::directory_iterator(Home())) {
    EXPECT_EQ(item.path().filename().string().rfind("registry.", 0), std::string::npos)
        << item.path();
  }
}

TEST_F(ComRegistry, ConcurrentWritersLoseNoEntry) {
  constexpr int kPerThread = 15;
  auto worker = [](uint8_t tag) {
    for (int i = 0; i < kPerThread; ++i) {
      GUID clsid = kFirst;
      clsid.Data4[6] = tag;
      clsid.Data4[7] = static_cast<uint8_t>(i);
      const std::string path = "/opt/server-" + std::to_string(tag) + ".so";
      LYRCOM_CLASS_ENTRY entry = Entry(clsid, nullptr, path.c_str());
      EXPECT_EQ(LyrComRegisterClasses(&entry, 1), S_OK);
    }
  };
  std::thread a(worker, 1);
  std::thread b(worker, 2);
  a.join();
  b.join();
  const std::string text = ReadAll(PathOf("registry"));
  size_t lines = 0;
  for (const char c : text) {
    lines += c == '\n' ? 1 : 0;
  }
  EXPECT_EQ(lines, 3u + 2 * kPerThread);
}

struct InvalidEntryCase {
  const char* name;
  const char* progId;
  const char* library;
  const char* threading;
  const char* message;
};

class ComRegistryInvalidEntry : public lyr::test::Sandbox,
                                public ::testing::WithParamInterface<InvalidEntryCase> {};

TEST_P(ComRegistryInvalidEntry, IsRefusedAndNothingIsWritten) {
  LYRCOM_CLASS_ENTRY entry = Entry(kFirst, GetParam().progId, GetParam().library);
  entry.threadingModel = GetParam().threading;
  EXPECT_EQ(Register(entry), E_INVALIDARG);
  EXPECT_EQ(DescribeErrorInfo(), GetParam().message);
  EXPECT_FALSE(std::filesystem::exists(PathOf("registry")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComRegistryInvalidEntry,
    ::testing::Values(
        InvalidEntryCase{"RelativeLibrary", "Lyr.A", "lib/a.so", "Apartment",
                         "library path is not an absolute path without control characters"},
        InvalidEntryCase{"TabInLibrary", "Lyr.A", "/lib/a\t.so", "Apartment",
                         "library path is not an absolute path without control characters"},
        InvalidEntryCase{"NewlineInLibrary", "Lyr.A", "/lib/a\n.so", "Apartment",
                         "library path is not an absolute path without control characters"},
        InvalidEntryCase{"ProgIdWithSpace", "Lyr A", "/lib/a.so", "Apartment",
                         "invalid ProgID \"Lyr A\""},
        InvalidEntryCase{"ProgIdStartingWithDigit", "1Lyr", "/lib/a.so", "Apartment",
                         "invalid ProgID \"1Lyr\""},
        InvalidEntryCase{"ProgIdTooLong", "Lyr.ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", "/lib/a.so",
                         "Apartment",
                         "invalid ProgID \"Lyr.ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\""},
        InvalidEntryCase{"UnknownThreadingModel", "Lyr.A", "/lib/a.so", "Single",
                         "unknown threading model \"Single\""}),
    [](const ::testing::TestParamInfo<InvalidEntryCase>& info) { return info.param.name; });

struct HostileFileCase {
  const char* name;
  std::string content;
  std::string reason;  // after "<path>:"
};

class ComRegistryHostileFile : public lyr::test::Sandbox,
                               public ::testing::WithParamInterface<HostileFileCase> {};

TEST_P(ComRegistryHostileFile, FailsClearlyAndIsNotOverwritten) {
  const std::string path = WriteFile("registry", GetParam().content);
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Lyr.First", &clsid), REGDB_E_READREGDB);
  EXPECT_EQ(DescribeErrorInfo(), path + ":" + GetParam().reason);
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  void* object = &clsid;
  EXPECT_EQ(CoCreateInstance(kFirst, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            REGDB_E_READREGDB);
  EXPECT_EQ(object, nullptr);
  CoUninitialize();
  EXPECT_EQ(Register(Entry(kSecond, "Lyr.Second", "/opt/two.so")), REGDB_E_READREGDB);
  EXPECT_EQ(ReadAll(path), GetParam().content);
}

const std::string kGood =
    "{11111111-2222-4333-8444-555566667777}\tApartment\tLyr.First\t-\t-\t/opt/one.so\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ComRegistryHostileFile,
    ::testing::Values(
        HostileFileCase{"NoHeader", kGood, "1: the file does not start with \"lyrcom-registry 1\""},
        HostileFileCase{"OtherVersion", "lyrcom-registry 2\n" + kGood,
                        "1: the file does not start with \"lyrcom-registry 1\""},
        HostileFileCase{"TooFewFields",
                        "lyrcom-registry 1\n{11111111-2222-4333-8444-555566667777}\tApartment\n",
                        "2: expected 6 tab-separated fields, found 2"},
        HostileFileCase{"TooManyFields",
                        "lyrcom-registry 1\n" + kGood.substr(0, kGood.size() - 1) + "\tx\n",
                        "2: expected 6 tab-separated fields, found 7"},
        HostileFileCase{"BadClsid",
                        "# c\nlyrcom-registry 1\n{1111-2222}\tApartment\t-\t-\t-\t/a.so\n",
                        "3: bad CLSID"},
        HostileFileCase{"BadTypeLibraryId",
                        "lyrcom-registry "
                        "1\n{11111111-2222-4333-8444-555566667777}\tApartment\t-\tx\t1.0\t/a.so\n",
                        "2: bad type library id"},
        HostileFileCase{"BadTypeLibraryVersion",
                        "lyrcom-registry 1\n{11111111-2222-4333-8444-555566667777}\tApartment\t-\t"
                        "{12345678-9ABC-4DEF-8011-223344556677}\t1.99999\t/a.so\n",
                        "2: bad type library version"},
        HostileFileCase{
            "RelativeLibrary",
            "lyrcom-registry 1\n{11111111-2222-4333-8444-555566667777}\tApartment\t-\t-\t-\ta.so\n",
            "2: library path is not an absolute path without control characters"},
        HostileFileCase{"CarriageReturn", "lyrcom-registry 1\r\n" + kGood,
                        "1: the file does not start with \"lyrcom-registry 1\""},
        HostileFileCase{
            "UnknownModel",
            "lyrcom-registry 1\n{11111111-2222-4333-8444-555566667777}\tSTA\t-\t-\t-\t/a.so\n",
            "2: unknown threading model \"STA\""},
        HostileFileCase{"DuplicateClsid", "lyrcom-registry 1\n" + kGood + kGood,
                        "3: CLSID {11111111-2222-4333-8444-555566667777} is listed twice"},
        HostileFileCase{
            "DuplicateProgId",
            "lyrcom-registry 1\n" + kGood +
                "{AAAAAAAA-BBBB-4CCC-8DDD-EEEEFFFF0001}\tApartment\tlyr.first\t-\t-\t/b.so\n",
            "3: ProgID lyr.first is listed twice"},
        HostileFileCase{"NulByte", std::string("lyrcom-registry 1\n\0\n", 20),
                        "2: NUL byte in the file"},
        HostileFileCase{"BinaryGarbage",
                        std::string("\x7F"
                                    "ELF\x02\x01\x01\xFF\xFE",
                                    9),
                        "1: the file does not start with \"lyrcom-registry 1\""}),
    [](const ::testing::TestParamInfo<HostileFileCase>& info) { return info.param.name; });

TEST_F(ComRegistry, OversizedFileIsRefused) {
  const std::string path =
      WriteFile("registry", "lyrcom-registry 1\n" + std::string(5 * 1024 * 1024, '#'));
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Lyr.First", &clsid), REGDB_E_READREGDB);
  EXPECT_EQ(DescribeErrorInfo(), path + " is larger than 4194304 bytes");
}

TEST_F(ComRegistry, FifoInPlaceOfTheFileIsRefusedWithoutBlocking) {
  ASSERT_EQ(::mkfifo(PathOf("registry").c_str(), 0600), 0);
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Lyr.First", &clsid), REGDB_E_READREGDB);
  EXPECT_EQ(DescribeErrorInfo(), PathOf("registry") + " is not a regular file");
}

// Restores an environment variable when the test ends.
class EnvRestore {
 public:
  explicit EnvRestore(const char* name) : name_(name) {
    const char* value = std::getenv(name);
    had_ = value != nullptr;
    value_ = had_ ? value : "";
  }
  ~EnvRestore() {
    if (had_) {
      ::setenv(name_, value_.c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string value_;
};

TEST_F(ComRegistry, DefaultLocationFollowsXdgConfigHomeThenHome) {
  EnvRestore home("HOME");
  EnvRestore xdg("XDG_CONFIG_HOME");
  char buffer[1024];
  ASSERT_GT(LyrComRegistryPath(buffer, sizeof buffer), 0u);
  EXPECT_EQ(std::string(buffer), PathOf("registry"));
  ::unsetenv("LYRCOM_REGISTRY");
  ::setenv("XDG_CONFIG_HOME", PathOf("config").c_str(), 1);
  ASSERT_GT(LyrComRegistryPath(buffer, sizeof buffer), 0u);
  EXPECT_EQ(std::string(buffer), PathOf("config") + "/lyrcom/registry");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", PathOf("home").c_str(), 1);
  ASSERT_GT(LyrComRegistryPath(buffer, sizeof buffer), 0u);
  EXPECT_EQ(std::string(buffer), PathOf("home") + "/.config/lyrcom/registry");
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.First", "/opt/one.so")), S_OK);
  EXPECT_TRUE(std::filesystem::is_regular_file(PathOf("home/.config/lyrcom/registry")));
  EXPECT_EQ(LyrComRegistryPath(buffer, 4), 0u);
  ::unsetenv("HOME");
  EXPECT_EQ(LyrComRegistryPath(buffer, sizeof buffer), 0u);
}

}  // namespace
