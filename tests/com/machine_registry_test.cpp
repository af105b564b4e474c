// The machine-wide class registry beside the user's: look-ups read both, the user's entries win.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "lyr/com/com.h"
#include "support/expect_error_info.h"
#include "support/sandbox.h"

namespace {

constexpr GUID kShared = {
    0x11111111, 0x2222, 0x4333, {0x84, 0x44, 0x55, 0x55, 0x66, 0x66, 0x77, 0x77}};
constexpr GUID kOther = {
    0xAAAAAAAA, 0xBBBB, 0x4CCC, {0x8D, 0xDD, 0xEE, 0xEE, 0xFF, 0xFF, 0x00, 0x01}};
constexpr GUID kMine = {0x3, 0x4, 0x4005, {0x86, 0, 0, 0, 0, 0, 0, 0x7}};

class ComRegistryMachine : public lyr::test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    user_ = std::getenv("LYRCOM_REGISTRY");
    machine_ = std::getenv("LYRCOM_MACHINE_REGISTRY");
  }
  // Registers one class in the machine file (as `tdx880 register --machine` does) or the user's.
  void Register(bool machine, const GUID& clsid, const char* progId, const char* library) {
    const LYRCOM_CLASS_ENTRY entry{clsid, library, "Apartment", progId, {}, 0, 0};
    ::setenv("LYRCOM_REGISTRY", (machine ? machine_ : user_).c_str(), 1);
    ASSERT_EQ(::LyrComRegisterClasses(&entry, 1), S_OK);
    ::setenv("LYRCOM_REGISTRY", user_.c_str(), 1);
  }
  // The library registered for clsid among the classes in force ("" when none).
  static std::string Library(const GUID& clsid) {
    LYRCOM_CLASS_ENTRY entry{};
    char buffer[1024];
    return ::LyrComQueryClass(clsid, &entry, buffer, sizeof buffer) == S_OK ? entry.libraryPath
                                                                            : "";
  }

  std::string user_;
  std::string machine_;
};

TEST_F(ComRegistryMachine, MachineClassesAreFoundAndUserEntriesOverrideThem) {
  Register(true, kShared, "Lyr.Shared", "/usr/lib/libshared.so");
  Register(true, kOther, "Lyr.Other", "/usr/lib/libother.so");
  GUID clsid{};
  EXPECT_EQ(::CLSIDFromProgID(u"Lyr.Shared", &clsid), S_OK);
  EXPECT_TRUE(IsEqualGUID(clsid, kShared));
  EXPECT_EQ(Library(kShared), "/usr/lib/libshared.so");
  struct stat info {};
  ASSERT_EQ(::stat(PathOf("etc/lyrcom").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);  // readable by all
  char path[4096];
  ASSERT_EQ(::LyrComMachineRegistryPath(path, sizeof path), machine_.size());
  EXPECT_EQ(std::string(path), machine_);
  // The user's own build of the shared class, and a class of the user's taking Lyr.Other.
  Register(false, kShared, "Lyr.Shared", "/home/u/lib/libshared.so");
  Register(false, kMine, "Lyr.Other", "/home/u/lib/libmine.so");
  EXPECT_EQ(Library(kShared), "/home/u/lib/libshared.so");
  EXPECT_EQ(Library(kOther), "/usr/lib/libother.so");
  EXPECT_EQ(::CLSIDFromProgID(u"Lyr.Other", &clsid), S_OK);
  EXPECT_TRUE(IsEqualGUID(clsid, kMine));
  LPOLESTR progId = nullptr;
  EXPECT_EQ(::ProgIDFromCLSID(kOther, &progId), REGDB_E_CLASSNOTREG);
  // A damaged machine file makes look-ups fail.
  WriteFile("etc/lyrcom/registry", "lyrcom-registry 1\nnot a class\n");
  EXPECT_EQ(::CLSIDFromProgID(u"Lyr.Shared", &clsid), REGDB_E_READREGDB);
  EXPECT_EQ(lyr::test::DescribeErrorInfo(),
            machine_ + ":2: expected 6 tab-separated fields, found 1");
}

// Names cross between the hosts' UTF-16 and the registry's UTF-8 letter for letter (two-, three-
// and four-byte letters, a surrogate pair among them): a damaged registry in a folder so named is
// reported by its path. A ProgID of such letters, or a lone surrogate, names no class.
TEST_F(ComRegistryMachine, NamesKeepTheirLettersBetweenUtf16AndUtf8) {
  const std::string folder = "etc/\xD0\x9F\xD0\xB0\xD0\xBA\xE2\x82\xAC\xF0\x9D\x84\x9E";
  WriteFile(folder + "/registry", "lyrcom-registry 1\nnot a class\n");
  ::setenv("LYRCOM_MACHINE_REGISTRY", PathOf(folder + "/registry").c_str(), 1);
  GUID clsid{};
  EXPECT_EQ(::CLSIDFromProgID(u"Lyr.\u041F\u0430\u043A\u20AC\U0001D11E", &clsid),
            REGDB_E_READREGDB);
  EXPECT_EQ(lyr::test::DescribeErrorInfo(),
            PathOf("etc") + "/\\u041F\\u0430\\u043A\\u20AC\\uD834\\uDD1E/registry:2: expected 6 " +
                "tab-separated fields, found 1");  // non-ASCII shown escaped
  ::setenv("LYRCOM_MACHINE_REGISTRY", machine_.c_str(), 1);
  EXPECT_EQ(::CLSIDFromProgID(u"Lyr.\u041F\u0430\u043A\u20AC\U0001D11E", &clsid), CO_E_CLASSSTRING);
  const char16_t lone[] = {u'L', 0xD800, u'x', 0};
  EXPECT_EQ(::CLSIDFromProgID(lone, &clsid), CO_E_CLASSSTRING);
}

}  // namespace
