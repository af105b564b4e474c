// Paths, folders and trees (read-only entries, links never followed), whole files and CMapedFile.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <functional>

#include "rtl/file_utils.h"
#include "rtl/maped_file.h"
#include "rtl/whole_file.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

namespace fs = std::filesystem;
using test::ExpectRaises;

uint32_t ModeOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(PathText, TrailingSeparatorsJoinsAndNames) {
  const std::pair<std::string, std::string> trailing[] = {{"", ""},
                                                          {"  /tmp/a \t", "/tmp/a/"},
                                                          {"/tmp/a/", "/tmp/a/"},
                                                          {"C:\\a\\", "C:\\a\\"},
                                                          {"/", "/"}};
  for (const auto& [path, expected] : trailing) {
    EXPECT_EQ(IncludeTrailingBackslash(path), expected) << path;
  }
  const std::tuple<std::string, std::string, std::string> joins[] = {
      {"", "", ""},
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
  for (const auto& [directory, file, expected] : joins) {
    EXPECT_EQ(CombinePath(directory, file), expected) << directory << " + " << file;
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
  const auto error = test::Raised<EOSError>(
      [&] { CombinePath("/" + std::string(PATH_MAX - 3, 'd'), "f"); });  // PATH_MAX characters
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Message(), "System Error.  Code: 36.\r\nFile name too long");
}

class Files : public test::Sandbox {
 protected:
  fs::path P(const std::string& name) const { return Home() / name; }
  void MakeFile(const std::string& name, uint32_t mode = 0600) const {
    WriteFile(name, "contents of " + name);
    ::chmod(P(name).c_str(), mode);
  }
  // Trees with read-only files, read-only and closed folders, links out of the tree (to a folder
  // holding a file and to a file) and a dangling link. "outside" must survive untouched.
  void MakeTrees(std::initializer_list<std::string> roots) const {
    MakeFile("outside/keep.txt", 0400);
    MakeFile("outside.txt", 0400);
    for (const std::string& root : roots) {
      MakeFile(root + "/plain.txt");
      MakeFile(root + "/readonly.txt", 0400);
      MakeFile(root + "/ro/inner.txt", 0400);
      MakeFile(root + "/ro/deeper/x.txt", 0000);
      MakeFile(root + "/closed/y.txt");
      MakeFile(root + "/noexec/z.txt");
      fs::create_directories(P(root + "/empty"));
      fs::create_symlink(P("outside"), P(root + "/link-to-folder"));
      fs::create_symlink(P("outside.txt"), P(root + "/link-to-file"));
      fs::create_symlink(P("nowhere"), P(root + "/dangling"));
      fs::create_symlink(P("outside"), P(root + "/ro/deeper/link-up"));
      for (const auto& [name, mode] : {std::pair<std::string, mode_t>{"/ro/deeper", 0500},
                                       {"/ro", 0500},
                                       {"/closed", 0000},
                                       {"/noexec", 0600},
                                       {"/empty", 0500}}) {
        ::chmod(P(root + name).c_str(), mode);
      }
    }
    ::chmod(P("outside").c_str(), 0500);
  }
  void ExpectOutsideUntouched() const {
    EXPECT_EQ(test::ReadAll(P("outside/keep.txt")), "contents of outside/keep.txt");
    EXPECT_EQ(test::ReadAll(P("outside.txt")), "contents of outside.txt");
    EXPECT_EQ(ModeOf(P("outside/keep.txt")), 0400u);
    EXPECT_EQ(ModeOf(P("outside.txt")), 0400u);
    EXPECT_EQ(ModeOf(P("outside")), 0500u);
  }
  // Runs action as an ordinary user: root ignores permission bits, so when the tests run as root
  // the sandbox goes to "nobody" (but what keep_root names) and action runs in a child process
  // under that user.
  bool AsOrdinaryUser(const std::function<bool()>& action, const std::string& keep_root = "") {
    if (::geteuid() != 0) {
      return action();
    }
    EXPECT_EQ(test::RunCommand("chown -hR 65534:65534 '" + Home().string() + "'"), 0);
    if (!keep_root.empty()) {
      EXPECT_EQ(::lchown(P(keep_root).c_str(), 0, 0), 0);
    }
    const pid_t child = ::fork();
    if (child == 0) {
      ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? (action() ? 0 : 1) : 3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 1) << status;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
};

TEST_F(Files, DeleteAndClearTakeReadOnlyEntriesAndNeverFollowLinks) {
  MakeTrees({"a", "b"});
  ::chmod(P("b").c_str(), 0500);
  EXPECT_TRUE(AsOrdinaryUser([a = P("a").string(), b = P("b").string()] {
    return DeleteDirectoryTree(a) && ClearDirectory(b);
  }));
  EXPECT_FALSE(fs::exists(fs::symlink_status(P("a"))));
  ASSERT_TRUE(fs::is_directory(P("b")));
  EXPECT_TRUE(fs::is_empty(P("b")));
  ExpectOutsideUntouched();
}

// A link given as the folder: deleting the tree deletes the link alone, clearing refuses; a
// missing folder or a file fails both. A link given as a file is deleted, not its target.
TEST_F(Files, LinksMissingFoldersAndFilesAreNotTreesToWalk) {
  MakeTrees({});
  MakeFile("plain.txt");
  fs::create_symlink(P("outside"), P("root-link"));
  fs::create_symlink(P("outside.txt"), P("file-link"));
  EXPECT_FALSE(ClearDirectory(P("root-link").string()));
  EXPECT_FALSE(ClearDirectory(P("root-link").string() + "/"));
  EXPECT_TRUE(fs::is_symlink(P("root-link")));
  EXPECT_TRUE(DeleteDirectoryTree(P("root-link").string() + "/"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(P("root-link"))));
  EXPECT_TRUE(ForceDeleteFile(P("file-link").string()));
  EXPECT_FALSE(fs::exists(fs::symlink_status(P("file-link"))));
  ExpectOutsideUntouched();
  EXPECT_FALSE(DeleteDirectoryTree(P("missing").string()));
  EXPECT_FALSE(ClearDirectory(P("missing").string()));
  EXPECT_FALSE(DeleteDirectoryTree(P("plain.txt").string()));
  EXPECT_TRUE(fs::exists(P("plain.txt")));
}

TEST_F(Files, FailureIsReportedButTheWalkGoesOn) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to make a folder the test user cannot change";
  }
  MakeFile("tree/a.txt");
  MakeFile("tree/locked/owned-by-root.txt");
  MakeFile("tree/z.txt");
  ::chmod(P("tree/locked").c_str(), 0755);
  EXPECT_FALSE(AsOrdinaryUser([tree = P("tree").string()] { return DeleteDirectoryTree(tree); },
                              "tree/locked"));
  EXPECT_FALSE(fs::exists(P("tree/a.txt")));
  EXPECT_FALSE(fs::exists(P("tree/z.txt")));
  EXPECT_TRUE(fs::exists(P("tree/locked/owned-by-root.txt")));
}

TEST_F(Files, ForceDirectoriesCreatesEveryMissingFolderPrivately) {
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

TEST_F(Files, TempDirectoryIsTmpThenTmpdirThenSlashTmp) {
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
TEST_F(Files, CyrillicNamesReachTheFileSystemAsUtf8) {
  const std::string folder = CombinePath(Home().string(), Msg(u8"Пакеты/Входящие"));
  ASSERT_TRUE(ForceDirectories(folder));
  EXPECT_TRUE(fs::is_directory(Home() / "Пакеты" / "Входящие"));
  const std::string file = CombinePath(folder, Msg(u8"описание.xml"));
  WriteStringToFile(file, "<a/>");
  EXPECT_EQ(test::ReadAll(Home() / "Пакеты" / "Входящие" / "описание.xml"), "<a/>");
  EXPECT_EQ(ReadFileToString(file), "<a/>");
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(DeleteDirectoryTree(CombinePath(Home().string(), Msg(u8"Пакеты"))));
  EXPECT_FALSE(fs::exists(Home() / "Пакеты"));
}

std::string Binary() {
  std::string bytes;
  for (int i = 0; i < 3000; ++i) {
    bytes += static_cast<char>(i * 7 % 256);
  }
  return bytes;
}

TEST_F(Files, ReadsBinaryFilesAndFilesWithoutSizeAndNamesWhatIsMissing) {
  EXPECT_EQ(ReadFileToString(WriteFile("a.bin", Binary())), Binary());
  EXPECT_EQ(ReadFileToString("/proc/self/status").substr(0, 5), "Name:");
  const auto error = test::Raised<EOSError>([&] { ReadFileToString(PathOf("missing.bin")); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ErrorCode(), ENOENT);
  for (const std::string& path : {PathOf("missing.bin"), Home().string()}) {
    ExpectRaises([&] { LoadFileToString(path); }, Msg(u8"Файл не найден: [") + path + "]");
  }
  EXPECT_EQ(LoadFileToString(WriteFile("a.txt", "text")), "text");
}

TEST_F(Files, WritesPrivateNewFilesAndReplacesOldOnesKeepingTheirMode) {
  const std::string path = PathOf("new.bin");
  WriteStringToFile(path, Binary());
  EXPECT_EQ(test::ReadAll(path), Binary());
  EXPECT_EQ(ModeOf(path), 0600u);
  const std::string old = WriteFile("old.txt", std::string(10000, 'o'));
  ::chmod(old.c_str(), 0640);
  WriteStringToFile(old, "new");  // into a longer file: no old bytes left
  EXPECT_EQ(test::ReadAll(old), "new");
  EXPECT_EQ(ModeOf(old), 0640u);
  const std::string bytes = Binary();  // into a shorter file: no zeros
  WriteBufferToFile(old, bytes.data(), static_cast<uint32_t>(bytes.size()));
  EXPECT_EQ(test::ReadAll(old), bytes);
  const auto error = test::Raised<EOSError>([&] { WriteStringToFile(PathOf("missing/a"), "x"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ErrorCode(), ENOENT);
  EXPECT_FALSE(fs::exists(PathOf("missing")));
}

TEST_F(Files, FilesOf4GiBAreTooBigToReadOrMap) {
  const auto sparse = [&](const std::string& name, off_t size) {  // no disk blocks used
    const std::string path = WriteFile(name, "");
    EXPECT_EQ(::truncate(path.c_str(), size), 0);
    return path;
  };
  const std::string path = sparse("big.bin", off_t{1} << 32);
  ExpectRaises([&] { ReadFileToString(path); }, u8"Файл слишком велик!");
  const auto descriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = descriptors();
  CMapedFile file(path);
  ExpectRaises([&] { file.Open(1); }, u8"Файл слишком велик!");
  EXPECT_EQ(descriptors(), before);
  EXPECT_EQ(fs::file_size(path), uint64_t{1} << 32);
  CMapedFile almost(sparse("almost.bin", (off_t{1} << 32) - 10));
  ExpectRaises([&] { almost.Open(10); }, u8"Файл слишком велик!");
}

TEST_F(Files, MapedFileWritesPiecesWithinTheMappingAndCutsAfterTheLastByte) {
  const std::string path = PathOf("pieces.bin");
  CMapedFile file(path);
  file.Open(7);
  file.Write("abc", 3);
  file.Write("def", 3);
  EXPECT_EQ(file.WritePosition(), 6u);
  EXPECT_THROW(file.Write("gh", 2), EAssertionFailed);
  file.Close(true);
  EXPECT_EQ(test::ReadAll(path), "abcdef");
  file.Close(true);  // a second close does nothing
}

}  // namespace
}  // namespace lyr::rtl
