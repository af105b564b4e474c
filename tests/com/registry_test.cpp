// The class registry files: registration functions, the file format, atomic writes, hostile
// files, and the machine-wide registry beside the user's.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

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
constexpr GUID kMine = {0x3, 0x4, 0x4005, {0x86, 0, 0, 0, 0, 0, 0, 0x7}};
constexpr GUID kTypeLib = {
    0x12345678, 0x9ABC, 0x4DEF, {0x80, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}};

LYRCOM_CLASS_ENTRY Entry(const GUID& clsid, const char* progId, const char* library,
                         const char* threading = "Apartment") {
  return LYRCOM_CLASS_ENTRY{clsid, library, threading, progId, kTypeLib, 1, 2};
}

HRESULT Register(const LYRCOM_CLASS_ENTRY& entry) {
  return LyrComRegisterClasses(&entry, 1);
}

// The library registered for clsid among the classes in force ("" when none).
std::string Library(const GUID& clsid) {
  LYRCOM_CLASS_ENTRY entry{};
  char buffer[1024];
  return LyrComQueryClass(clsid, &entry, buffer, sizeof buffer) == S_OK ? entry.libraryPath : "";
}

using ComRegistry = lyr::test::Sandbox;

TEST_F(ComRegistry, WritesTheDocumentedFormatAndUnregistersOnlyOneServer) {
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.First", "/opt/one.so")), S_OK);
  const std::string line =
      "{11111111-2222-4333-8444-555566667777}\tApartment\tLyr.First\t"
      "{12345678-9ABC-4DEF-8011-223344556677}\t1.2\t/opt/one.so\n";
  const std::string written = ReadAll(PathOf("registry"));
  EXPECT_TRUE(written.starts_with("# lyrcom class registry (see docs/com-registry.md).") &&
              written.ends_with("\nlyrcom-registry 1\n" + line))
      << written;
  struct stat before {};
  ASSERT_EQ(::stat(PathOf("registry").c_str(), &before), 0);
  EXPECT_EQ(before.st_mode & 0777, 0644u);
  ASSERT_EQ(Register(Entry(kSecond, "Lyr.Second", "/opt/two.so")), S_OK);
  struct stat after {};
  ASSERT_EQ(::stat(PathOf("registry").c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);  // a new file renamed into place, not rewritten
  for (const auto& item : std::filesystem::directory_iterator(Home())) {
    EXPECT_FALSE(item.path().filename().string().starts_with("registry.")) << item.path();
  }
  ASSERT_EQ(LyrComUnregisterServer("/opt/two.so"), S_OK);
  EXPECT_EQ(ReadAll(PathOf("registry")), written);
  EXPECT_EQ(LyrComUnregisterServer("/opt/two.so"), S_FALSE);
  EXPECT_EQ(ReadAll(PathOf("registry")), written);
}

TEST_F(ComRegistry, SettledFileIsReadAgainWhenRewrittenInPlace) {
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.First", "/opt/one.so")), S_OK);
  struct stat info {};
  ASSERT_EQ(::stat(PathOf("registry").c_str(), &info), 0);
  struct timespec times[2] = {info.st_atim, info.st_mtim};
  times[1].tv_sec -= 60;  // as if written long ago
  ASSERT_EQ(::utimensat(AT_FDCWD, PathOf("registry").c_str(), times, 0), 0);
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

TEST_F(ComRegistry, ConcurrentWritersLoseNoEntry) {
  constexpr int kPerThread = 15;
  auto worker = [](uint8_t tag) {
    for (int i = 0; i < kPerThread; ++i) {
      GUID clsid = kFirst;
      clsid.Data4[6] = tag;
      clsid.Data4[7] = static_cast<uint8_t>(i);
      const std::string path = "/opt/server-" + std::to_string(tag) + ".so";
      EXPECT_EQ(Register(Entry(clsid, nullptr, path.c_str())), S_OK);
    }
  };
  std::thread a(worker, 1);
  std::thread b(worker, 2);
  a.join();
  b.join();
  const std::string text = ReadAll(PathOf("registry"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + 2 * kPerThread);
}

TEST_F(ComRegistry, InvalidEntriesAreRefusedAndNothingIsWritten) {
  const std::string bad_path = "library path is not an absolute path without control characters";
  const struct {
    LYRCOM_CLASS_ENTRY entry;
    std::string message;
  } cases[] = {
      {Entry(kFirst, "Lyr.A", "lib/a.so"), bad_path},
      {Entry(kFirst, "Lyr.A", "/lib/a\t.so"), bad_path},
      {Entry(kFirst, "Lyr A", "/lib/a.so"), "invalid ProgID \"Lyr A\""},
      {Entry(kFirst, "1Lyr", "/lib/a.so"), "invalid ProgID \"1Lyr\""},
      {Entry(kFirst, "Lyr.ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789", "/lib/a.so"),
       "invalid ProgID \"Lyr.ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\""},
      {Entry(kFirst, "Lyr.A", "/lib/a.so", "Single"), "unknown threading model \"Single\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    EXPECT_EQ(Register(c.entry), E_INVALIDARG);
    EXPECT_EQ(DescribeErrorInfo(), c.message);
    EXPECT_FALSE(std::filesystem::exists(PathOf("registry")));
  }
}

// A damaged, foreign or oversized file fails every look-up with its reason and is not rewritten.
TEST_F(ComRegistry, HostileFilesFailClearlyAndAreNotOverwritten) {
  const std::string good =
      "{11111111-2222-4333-8444-555566667777}\tApartment\tLyr.First\t-\t-\t/opt/one.so\n";
  const std::string head = "lyrcom-registry 1\n{11111111-2222-4333-8444-555566667777}\t";
  const std::string no_header = ":1: the file does not start with \"lyrcom-registry 1\"";
  const struct {
    std::string content;
    std::string reason;  // after the file's path
  } cases[] = {
      {good, no_header},
      {head + "Apartment\n", ":2: expected 6 tab-separated fields, found 2"},
      {"# c\nlyrcom-registry 1\n{1111-2222}\tApartment\t-\t-\t-\t/a.so\n", ":3: bad CLSID"},
      {head + "Apartment\t-\tx\t1.0\t/a.so\n", ":2: bad type library id"},
      {head + "Apartment\t-\t{12345678-9ABC-4DEF-8011-223344556677}\t1.99999\t/a.so\n",
       ":2: bad type library version"},
      {head + "Apartment\t-\t-\t-\ta.so\n",
       ":2: library path is not an absolute path without control characters"},
      {head + "STA\t-\t-\t-\t/a.so\n", ":2: unknown threading model \"STA\""},
      {"lyrcom-registry 1\n" + good + good,
       ":3: CLSID {11111111-2222-4333-8444-555566667777} is listed twice"},
      {"lyrcom-registry 1\n" + good +
           "{AAAAAAAA-BBBB-4CCC-8DDD-EEEEFFFF0001}\tApartment\tlyr.first\t-\t-\t/b.so\n",
       ":3: ProgID lyr.first is listed twice"},
      {std::string("lyrcom-registry 1\n\0\n", 20), ":2: NUL byte in the file"},
      {"lyrcom-registry 1\n" + std::string(5 * 1024 * 1024, '#'), " is larger than 4194304 bytes"},
  };
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    const std::string path = WriteFile("registry", c.content);
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"Lyr.First", &clsid), REGDB_E_READREGDB);
    EXPECT_EQ(DescribeErrorInfo(), path + c.reason);
    void* object = &clsid;
    EXPECT_EQ(CoCreateInstance(kFirst, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              REGDB_E_READREGDB);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(Register(Entry(kSecond, "Lyr.Second", "/opt/two.so")), REGDB_E_READREGDB);
    EXPECT_EQ(ReadAll(path), c.content);
  }
  CoUninitialize();
  std::filesystem::remove(PathOf("registry"));
  ASSERT_EQ(::mkfifo(PathOf("registry").c_str(), 0600), 0);
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Lyr.First", &clsid), REGDB_E_READREGDB);  // without blocking
  EXPECT_EQ(DescribeErrorInfo(), PathOf("registry") + " is not a regular file");
}

TEST_F(ComRegistry, DefaultLocationFollowsXdgConfigHomeThenHome) {
  const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
  const auto path = [] {
    char buffer[1024];
    return LyrComRegistryPath(buffer, sizeof buffer) > 0 ? std::string(buffer) : "<none>";
  };
  ::unsetenv("LYRCOM_REGISTRY");
  ::setenv("XDG_CONFIG_HOME", PathOf("config").c_str(), 1);
  EXPECT_EQ(path(), PathOf("config") + "/lyrcom/registry");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", PathOf("home").c_str(), 1);
  EXPECT_EQ(path(), PathOf("home") + "/.config/lyrcom/registry");
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.First", "/opt/one.so")), S_OK);
  EXPECT_TRUE(std::filesystem::is_regular_file(PathOf("home/.config/lyrcom/registry")));
  char small[4];
  EXPECT_EQ(LyrComRegistryPath(small, sizeof small), 0u);
  ::unsetenv("HOME");
  EXPECT_EQ(path(), "<none>");
  ::setenv("HOME", home.c_str(), 1);
}

TEST_F(ComRegistry, MachineClassesAreFoundAndUserEntriesOverrideThem) {
  const std::string user = PathOf("registry");
  const std::string machine = PathOf("etc/lyrcom/registry");
  setenv("LYRCOM_REGISTRY", machine.c_str(), 1);  // as `tdx880 register --machine` does
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.Shared", "/usr/lib/libshared.so")), S_OK);
  ASSERT_EQ(Register(Entry(kSecond, "Lyr.Other", "/usr/lib/libother.so")), S_OK);
  setenv("LYRCOM_REGISTRY", user.c_str(), 1);
  GUID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Lyr.Shared", &clsid), S_OK);
  EXPECT_EQ(clsid, kFirst);
  EXPECT_EQ(Library(kFirst), "/usr/lib/libshared.so");
  struct stat info {};
  ASSERT_EQ(stat(PathOf("etc/lyrcom").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);  // readable by all
  char path[4096];
  ASSERT_EQ(LyrComMachineRegistryPath(path, sizeof path), machine.size());
  EXPECT_EQ(std::string(path), machine);
  // The user's own build of the shared class, and a class of the user's taking Lyr.Other.
  ASSERT_EQ(Register(Entry(kFirst, "Lyr.Shared", "/home/u/lib/libshared.so")), S_OK);
  ASSERT_EQ(Register(Entry(kMine, "Lyr.Other", "/home/u/lib/libmine.so")), S_OK);
  EXPECT_EQ(Library(kFirst), "/home/u/lib/libshared.so");
  EXPECT_EQ(Library(kSecond), "/usr/lib/libother.so");
  EXPECT_EQ(CLSIDFromProgID(u"Lyr.Other", &clsid), S_OK);
  EXPECT_EQ(clsid, kMine);
  LPOLESTR progId = nullptr;
  EXPECT_EQ(ProgIDFromCLSID(kSecond, &progId), REGDB_E_CLASSNOTREG);
}

// Names cross between the hosts' UTF-16 and the registry's UTF-8 letter for letter (two-, three-
// and four-byte letters, a surrogate pair among them): a damaged registry in a folder so named is
// reported by its path. A ProgID of such letters, or a lone surrogate, names no class.
TEST_F(ComRegistry, NamesKeepTheirLettersBetweenUtf16AndUtf8) {
  const std::string folder = "etc/\xD0\x9F\xD0\xB0\xD0\xBA\xE2\x82\xAC\xF0\x9D\x84\x9E";
  WriteFile(folder + "/registry", "lyrcom-registry 1\nnot a class\n");
  setenv("LYRCOM_MACHINE_REGISTRY", PathOf(folder + "/registry").c_str(), 1);
  GUID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"Lyr.\u041F\u0430\u043A\u20AC\U0001D11E", &clsid), REGDB_E_READREGDB);
  EXPECT_EQ(DescribeErrorInfo(),
            PathOf("etc") + "/\\u041F\\u0430\\u043A\\u20AC\\uD834\\uDD1E/registry:2: expected 6 " +
                "tab-separated fields, found 1");  // non-ASCII shown escaped
  setenv("LYRCOM_MACHINE_REGISTRY", PathOf("etc/lyrcom/registry").c_str(), 1);
  EXPECT_EQ(CLSIDFromProgID(u"Lyr.\u041F\u0430\u043A\u20AC\U0001D11E", &clsid), CO_E_CLASSSTRING);
  const char16_t lone[] = {u'L', 0xD800, u'x', 0};
  EXPECT_EQ(CLSIDFromProgID(lone, &clsid), CO_E_CLASSSTRING);
}

}  // namespace
