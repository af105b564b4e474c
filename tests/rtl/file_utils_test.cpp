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
#include "support/expect_raises.h"
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

TEST(PathText, TrailingSeparatorsJoinsAndNames) {
  const std::pair<std::string, std::string> trailing[] = {{"", ""},
                                                          {"   ", ""},
                                                          {"/tmp/a", "/tmp/a/"},
                                                          {"  /tmp/a \t", "/tmp/a/"},
                                                          {"/tmp/a/", "/tmp/a/"},
                                                          {"C:\\a\\", "C:\\a\\"},
                                                          {"/", "/"},
                                                          {"a", "a/"}};
  for (const auto& [path, expected] : trailing) {
    EXPECT_EQ(IncludeTrailingBackslash(path), expected) << path;
  }
  const struct {
    std::string directory, file, expected;
  } joins[] = {{"", "", ""},
               {"  ", " ", ""},
               {"/tmp/work", "a.bin", "/tmp/work/a.bin"},
               {"/tmp/work/", "a.bin", "/tmp/work/a.bin"},
               {"/tmp/work\\", "/a.bin", "/tmp/work/a.bin"},
               {"/tmp/work/", "\\a.bin", "/tmp/work/a.bin"},
               {"dir\\sub", "x\\y.bin", "dir/sub/x/y.bin"},
               {"  /tmp/work  ", "  a.bin ", "/tmp/work/a.bin"},
               {"/tmp/work", "", "/tmp/work"},
               {"", "/a.bin", "a.bin"},
               {"/", "etc", "/etc"},
               {"/tmp", "sub/", "/tmp/sub/"},
               {"/tmp/./work", "./a.bin", "/tmp/work/a.bin"},
               {"/tmp/work", "../a.bin", "/tmp/a.bin"},
               {"/tmp", "../../../etc", "/etc"},  // stops at the root
               {"..", "a", "../a"},
               {"/tmp//work", "//a.bin", "/tmp/work/a.bin"},
               {"/tmp/\xCF\xE0\xEF\xEA\xE0", "\xD4\xE0\xE9\xEB",
                "/tmp/\xCF\xE0\xEF\xEA\xE0/\xD4\xE0\xE9\xEB"}};
  for (const auto& c : joins) {
    EXPECT_EQ(CombinePath(c.directory, c.file), c.expected) << c.directory << " + " << c.file;
  }
  const std::pair<std::string, std::string> names[] = {{"/tmp/a/report.xml", "report"},
                                                       {"C:\\in\\report.xml", "report"},
                                                       {"/tmp/a.tar.gz", "a.tar"},
                                                       {"/tmp/a.d/README", "README"},
                                                       {"/home/.profile", ""},
                                                       {"/tmp/a/", ""},
                                                       {"", ""}};
  for (const auto& [path, expected] : names) {
    EXPECT_EQ(FileNameWithoutExt(path), expected) << path;
  }
}

TEST(PathText, ResultOfPathMaxCharactersFailsAsNameTooLong) {
  const std::string directory = "/" + std::string(PATH_MAX - 3, 'd');
  const auto error = test::Raised<EOSError>([&] { CombinePath(directory, "f"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ErrorCode(), ENAMETOOLONG);
  EXPECT_EQ(error->Message(), "System Error.  Code: 36.\r\nFile name too long");
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

// A link given as the folder: deleting the tree deletes the link alone, clearing refuses; a
// missing folder or a file fails both.
TEST_F(FileUtils, LinksMissingFoldersAndFilesAreNotTreesToWalk) {
  MakeTree();
  fs::create_symlink(P("outside"), P("root-link"));
  EXPECT_FALSE(ClearDirectory(P("root-link").string()));
  EXPECT_FALSE(ClearDirectory(P("root-link").string() + "/"));
  EXPECT_TRUE(fs::is_symlink(P("root-link")));
  EXPECT_TRUE(DeleteDirectoryTree(P("root-link").string() + "/"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(P("root-link"))));
  ExpectOutsideUntouched();
  EXPECT_FALSE(DeleteDirectoryTree(P("missing").string()));
  EXPECT_FALSE(ClearDirectory(P("missing").string()));
  EXPECT_FALSE(DeleteDirectoryTree(P("tree/plain.txt").string()));
  EXPECT_TRUE(fs::exists(P("tree/plain.txt")));
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
  MakeFile("a/file");  // a file in the way stops it
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

// Library paths are windows-1251; on disk the same name must appear in UTF-8.
TEST_F(FileUtils, CyrillicNamesReachTheFileSystemAsUtf8) {
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
