// File-system and path helpers: folder tests, deletion of trees with read-only entries and
// links, joining and creating paths, environment and temporary folder.
#include "rtl/file_utils.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "rtl/whole_file.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// Gives path and everything below it to the user "nobody" (links themselves, not their targets).
void GiveToNobody(const fs::path& path) {
  ASSERT_EQ(::lchown(path.c_str(), kNobody, kNobody), 0);
  if (fs::is_directory(fs::symlink_status(path))) {
    for (const auto& entry : fs::recursive_directory_iterator(path)) {
      ASSERT_EQ(::lchown(entry.path().c_str(), kNobody, kNobody), 0);
    }
  }
}

// Runs action as an ordinary user. Root ignores permission bits, so when the tests run as root
// the sandbox is given to "nobody" and action runs in a child process under that user.
bool RunUnprivileged(const fs::path& home, const std::function<bool()>& action,
                     bool give_sandbox = true) {
  if (::geteuid() != 0) {
    return action();
  }
  if (give_sandbox) {
    GiveToNobody(home);
  }
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
      ::_exit(3);
    }
    ::_exit(action() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << status;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

uint32_t ModeOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

struct TrailingCase {
  std::string name;
  std::string path;
  std::string expected;
};

class IncludeTrailingBackslashCases : public ::testing::TestWithParam<TrailingCase> {};

INSTANTIATE_TEST_SUITE_P(Cases, IncludeTrailingBackslashCases,
                         ::testing::Values(TrailingCase{"Empty", "", ""},
                                           TrailingCase{"Blanks", "   ", ""},
                                           TrailingCase{"Plain", "/tmp/a", "/tmp/a/"},
                                           TrailingCase{"Trimmed", "  /tmp/a \t", "/tmp/a/"},
                                           TrailingCase{"EndsInSlash", "/tmp/a/", "/tmp/a/"},
                                           TrailingCase{"EndsInBackslash", "C:\\a\\", "C:\\a\\"},
                                           TrailingCase{"Root", "/", "/"},
                                           TrailingCase{"Relative", "a", "a/"}),
                         [](const auto& info) { return info.param.name; });

TEST_P(IncludeTrailingBackslashCases, AppendsSeparatorOnlyWhenMissing) {
  EXPECT_EQ(IncludeTrailingBackslash(GetParam().path), GetParam().expected);
}

struct CombineCase {
  std::string name;
  std::string directory;
  std::string file;
  std::string expected;
};

class CombinePathCases : public ::testing::TestWithParam<CombineCase> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, CombinePathCases,
    ::testing::Values(
        CombineCase{"BothEmpty", "", "", ""}, CombineCase{"BothBlank", "  ", " ", ""},
        CombineCase{"Plain", "/tmp/work", "a.bin", "/tmp/work/a.bin"},
        CombineCase{"DirectoryEndsInSlash", "/tmp/work/", "a.bin", "/tmp/work/a.bin"},
        CombineCase{"BackslashThenSlash", "/tmp/work\\", "/a.bin", "/tmp/work/a.bin"},
        CombineCase{"SlashThenBackslash", "/tmp/work/", "\\a.bin", "/tmp/work/a.bin"},
        CombineCase{"BackslashesBecomeSlashes", "dir\\sub", "x\\y.bin", "dir/sub/x/y.bin"},
        CombineCase{"Trimmed", "  /tmp/work  ", "  a.bin ", "/tmp/work/a.bin"},
        CombineCase{"OnlyDirectory", "/tmp/work", "", "/tmp/work"},
        CombineCase{"OnlyName", "", "a.bin", "a.bin"},
        CombineCase{"OnlyNameWithLeadingSlash", "", "/a.bin", "a.bin"},
        CombineCase{"RootDirectory", "/", "etc", "/etc"},
        CombineCase{"NameKeepsTrailingSlash", "/tmp", "sub/", "/tmp/sub/"},
        CombineCase{"DotSegmentsGo", "/tmp/./work", "./a.bin", "/tmp/work/a.bin"},
        CombineCase{"DotDotClimbs", "/tmp/work", "../a.bin", "/tmp/a.bin"},
        CombineCase{"DotDotStopsAtRoot", "/tmp", "../../../etc", "/etc"},
        CombineCase{"RelativeDotDotKept", "..", "a", "../a"},
        CombineCase{"DoubleSlashesCollapse", "/tmp//work", "//a.bin", "/tmp/work/a.bin"},
        CombineCase{"CyrillicBytes", "/tmp/\xCF\xE0\xEF\xEA\xE0", "\xD4\xE0\xE9\xEB",
                    "/tmp/\xCF\xE0\xEF\xEA\xE0/\xD4\xE0\xE9\xEB"}),
    [](const auto& info) { return info.param.name; });

TEST_P(CombinePathCases, JoinsWithOneSlash) {
  EXPECT_EQ(CombinePath(GetParam().directory, GetParam().file), GetParam().expected);
}

TEST(CombinePath, ResultOfPathMaxCharactersFailsAsNameTooLong) {
  const std::string directory = "/" + std::string(PATH_MAX - 3, 'd');
  try {
    CombinePath(directory, "f");
    FAIL();
  } catch (const EOSError& error) {
    EXPECT_EQ(error.ErrorCode(), ENAMETOOLONG);
    EXPECT_EQ(error.Message(), "System Error.  Code: 36.\r\nFile name too long");
  }
}

struct NameCase {
  std::string name;
  std::string path;
  std::string expected;
};

class FileNameWithoutExtCases : public ::testing::TestWithParam<NameCase> {};

INSTANTIATE_TEST_SUITE_P(
    Cases, FileNameWithoutExtCases,
    ::testing::Values(NameCase{"Plain", "/tmp/a/report.xml", "report"},
                      NameCase{"NoFolder", "report.xml", "report"},
                      NameCase{"BackslashFolder", "C:\\in\\report.xml", "report"},
                      NameCase{"TwoExtensions", "/tmp/a.tar.gz", "a.tar"},
                      NameCase{"NoExtension", "/tmp/README", "README"},
                      NameCase{"DotInFolderOnly", "/tmp/a.d/README", "README"},
                      NameCase{"HiddenFile", "/home/.profile", ""},
                      NameCase{"EndsInSlash", "/tmp/a/", ""}, NameCase{"Empty", "", ""}),
    [](const auto& info) { return info.param.name; });

TEST_P(FileNameWithoutExtCases, GivesNameWithoutFolderAndExtension) {
  EXPECT_EQ(FileNameWithoutExt(GetParam().path), GetParam().expected);
}

class FileUtils : public test::Sandbox {
 protected:
  fs::path P(const std::string& name) const { return Home() / name; }
  void MakeFile(const std::string& name, uint32_t mode = 0600) const {
    WriteFile(name, "contents of " + name);
    ::chmod(P(name).c_str(), mode);
  }
  // A tree with read-only files, read-only and closed folders, links out of the tree (to a
  // folder holding a file and to a file) and a dangling link. "outside" must survive untouched.
  void MakeTree() const {
    MakeFile("outside/keep.txt", 0400);
    MakeFile("outside.txt", 0400);
    MakeFile("tree/plain.txt");
    MakeFile("tree/readonly.txt", 0400);
    MakeFile("tree/ro/inner.txt", 0400);
    MakeFile("tree/ro/deeper/x.txt", 0000);
    MakeFile("tree/closed/y.txt");
    MakeFile("tree/noexec/z.txt");
    fs::create_directories(P("tree/empty"));
    fs::create_symlink(P("outside"), P("tree/link-to-folder"));
    fs::create_symlink(P("outside.txt"), P("tree/link-to-file"));
    fs::create_symlink(P("nowhere"), P("tree/dangling"));
    fs::create_symlink(P("outside"), P("tree/ro/deeper/link-up"));
    ::chmod(P("tree/ro/deeper").c_str(), 0500);
    ::chmod(P("tree/ro").c_str(), 0500);
    ::chmod(P("tree/closed").c_str(), 0000);
    ::chmod(P("tree/noexec").c_str(), 0600);
    ::chmod(P("tree/empty").c_str(), 0500);
    ::chmod(P("outside").c_str(), 0500);
  }
  void ExpectOutsideUntouched() const {
    EXPECT_EQ(test::ReadAll(P("outside/keep.txt")), "contents of outside/keep.txt");
    EXPECT_EQ(test::ReadAll(P("outside.txt")), "contents of outside.txt");
    EXPECT_EQ(ModeOf(P("outside/keep.txt")), 0400u);
    EXPECT_EQ(ModeOf(P("outside.txt")), 0400u);
    EXPECT_EQ(ModeOf(P("outside")), 0500u);
  }
};

TEST_F(FileUtils, ForceDeleteFileRemovesLinkNotTarget) {
  MakeFile("target.txt", 0400);
  fs::create_symlink(P("target.txt"), P("link"));
  EXPECT_TRUE(ForceDeleteFile(P("link").string()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(P("link"))));
  EXPECT_EQ(ModeOf(P("target.txt")), 0400u);
}

TEST_F(FileUtils, DeleteDirectoryTreeDeletesReadOnlyEntriesAndNeverFollowsLinks) {
  MakeTree();
  const std::string tree = P("tree").string();
  EXPECT_TRUE(RunUnprivileged(Home(), [&] { return DeleteDirectoryTree(tree); }));
  EXPECT_FALSE(fs::exists(fs::symlink_status(P("tree"))));
  ExpectOutsideUntouched();
}

TEST_F(FileUtils, ClearDirectoryKeepsFolderAndNeverFollowsLinks) {
  MakeTree();
  ::chmod(P("tree").c_str(), 0500);
  const std::string tree = P("tree").string();
  EXPECT_TRUE(RunUnprivileged(Home(), [&] { return ClearDirectory(tree); }));
  ASSERT_TRUE(fs::is_directory(P("tree")));
  EXPECT_TRUE(fs::is_empty(P("tree")));
  ExpectOutsideUntouched();
}

TEST_F(FileUtils, DeleteDirectoryTreeOfLinkDeletesOnlyTheLink) {
  MakeTree();
  fs::create_symlink(P("outside"), P("root-link"));
  EXPECT_TRUE(DeleteDirectoryTree(P("root-link").string() + "/"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(P("root-link"))));
  ExpectOutsideUntouched();
}

TEST_F(FileUtils, ClearDirectoryOfLinkFailsAndTouchesNothing) {
  MakeTree();
  fs::create_symlink(P("outside"), P("root-link"));
  EXPECT_FALSE(ClearDirectory(P("root-link").string()));
  EXPECT_FALSE(ClearDirectory(P("root-link").string() + "/"));
  EXPECT_TRUE(fs::is_symlink(P("root-link")));
  ExpectOutsideUntouched();
}

TEST_F(FileUtils, MissingFolderFails) {
  EXPECT_FALSE(DeleteDirectoryTree(P("missing").string()));
  EXPECT_FALSE(ClearDirectory(P("missing").string()));
  MakeFile("file.txt");
  EXPECT_FALSE(DeleteDirectoryTree(P("file.txt").string()));
  EXPECT_TRUE(fs::exists(P("file.txt")));
}

TEST_F(FileUtils, FailureIsReportedButTheWalkGoesOn) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to make a folder the test user cannot change";
  }
  MakeFile("tree/a.txt");
  MakeFile("tree/locked/owned-by-root.txt");
  MakeFile("tree/z.txt");
  const std::string tree = P("tree").string();
  GiveToNobody(Home());
  ASSERT_EQ(::lchown(P("tree/locked").c_str(), 0, 0), 0);
  ::chmod(P("tree/locked").c_str(), 0755);
  EXPECT_FALSE(RunUnprivileged(
      Home(), [&] { return DeleteDirectoryTree(tree); }, false));
  EXPECT_FALSE(fs::exists(P("tree/a.txt")));
  EXPECT_FALSE(fs::exists(P("tree/z.txt")));
  EXPECT_TRUE(fs::exists(P("tree/locked/owned-by-root.txt")));
}

TEST_F(FileUtils, ForceDirectoriesCreatesEveryMissingFolderPrivately) {
  const std::string path = P("a/b\\c/d").string();
  const mode_t old_mask = ::umask(0);
  EXPECT_TRUE(ForceDirectories("  " + path + "/  "));
  ::umask(old_mask);
  EXPECT_TRUE(fs::is_directory(P("a/b/c/d")));
  EXPECT_EQ(ModeOf(P("a")), 0700u);
  EXPECT_EQ(ModeOf(P("a/b/c/d")), 0700u);
  EXPECT_TRUE(ForceDirectories(path));
  EXPECT_TRUE(ForceDirectories(""));
}

TEST_F(FileUtils, ForceDirectoriesStopsAtFileInTheWay) {
  MakeFile("a/file");
  EXPECT_FALSE(ForceDirectories(P("a/file/b/c").string()));
  EXPECT_FALSE(fs::exists(P("a/file/b")));
}

TEST_F(FileUtils, TempDirectoryIsTmpThenTmpdirThenSlashTmp) {
  const std::string old_tmpdir = GetEnvironmentValue("TMPDIR");
  ::setenv("TMP", "/from/tmp", 1);
  ::setenv("TMPDIR", "/from/tmpdir", 1);
  EXPECT_EQ(GetTempDirectory(), "/from/tmp");
  ::setenv("TMP", "", 1);
  EXPECT_EQ(GetTempDirectory(), "/from/tmpdir");
  ::unsetenv("TMP");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(GetTempDirectory(), "/tmp");
  if (!old_tmpdir.empty()) {
    ::setenv("TMPDIR", old_tmpdir.c_str(), 1);
  }
}

}  // namespace
}  // namespace lyr::rtl

namespace lyr::rtl {
namespace {

class NativePaths : public test::Sandbox {};

// Library paths are windows-1251; on disk the same name must appear in UTF-8.
TEST_F(NativePaths, CyrillicNamesReachTheFileSystemAsUtf8) {
  const std::string folder = CombinePath(Home().string(), Msg(u8"Пакеты/Входящие"));
  ASSERT_TRUE(ForceDirectories(folder));
  EXPECT_TRUE(std::filesystem::is_directory(Home() / "Пакеты" / "Входящие"));
  const std::string file = CombinePath(folder, Msg(u8"описание.xml"));
  WriteStringToFile(file, "<a/>");
  EXPECT_EQ(test::ReadAll(Home() / "Пакеты" / "Входящие" / "описание.xml"), "<a/>");
  EXPECT_EQ(ReadFileToString(file), "<a/>");
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(DeleteDirectoryTree(CombinePath(Home().string(), Msg(u8"Пакеты"))));
  EXPECT_FALSE(std::filesystem::exists(Home() / "Пакеты"));
}

}  // namespace
}  // namespace lyr::rtl
