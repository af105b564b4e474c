// Paths, folders, trees (links never followed), whole files, CMapedFile; crash safety of
// AtomicFile (whole or not at all, no scratch files left), the folder lock and the sweep.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>

#include "rtl/atomic_file.h"
#include "rtl/file_utils.h"
#include "rtl/folder_lock.h"
#include "rtl/maped_file.h"
#include "rtl/whole_file.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

namespace fs = std::filesystem;
using test::ExpectRaises;
const std::string kNoSuchFile = "System Error.  Code: 2.\r\nNo such file or directory";

uint32_t ModeOf(const fs::path& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST(PathText, TrailingSeparatorsJoinsAndNames) {
  EXPECT_EQ(IncludeTrailingBackslash(""), "");
  EXPECT_EQ(IncludeTrailingBackslash("  /tmp/a \t"), "/tmp/a/");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\a\\"), "C:\\a\\");
  const std::tuple<std::string, std::string, std::string> joins[] = {
      {"  ", " ", ""},
      {"/tmp/work\\", "/a.bin", "/tmp/work/a.bin"},
      {"dir\\sub", "x\\y.bin", "dir/sub/x/y.bin"},
      {"/tmp/work", "", "/tmp/work"},
      {"", "/a.bin", "a.bin"},
      {"/", "etc", "/etc"},
      {"/tmp", "sub/", "/tmp/sub/"},
      {"/tmp/./work", "./a.bin", "/tmp/work/a.bin"},
      {"/tmp", "../../../etc", "/etc"},  // stops at the root
      {"..", "a", "../a"},
      {"/tmp//work", "//a.bin", "/tmp/work/a.bin"}};
  for (const auto& [directory, file, expected] : joins) {
    EXPECT_EQ(CombinePath(directory, file), expected) << directory << " + " << file;
  }
  EXPECT_EQ(FileNameWithoutExt("C:\\in\\report.xml"), "report");
  EXPECT_EQ(FileNameWithoutExt("/tmp/a.tar.gz"), "a.tar");
  EXPECT_EQ(FileNameWithoutExt("/tmp/a.d/README"), "README");
  EXPECT_EQ(FileNameWithoutExt("/home/.profile"), "");
  EXPECT_EQ(FileNameWithoutExt("/tmp/a/"), "");
  ExpectRaises<EOSError>([&] { CombinePath("/" + std::string(PATH_MAX - 3, 'd'), "f"); },
                         "System Error.  Code: 36.\r\nFile name too long");  // PATH_MAX characters
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
      for (const char* name : {"/ro/deeper", "/ro", "/empty"}) {
        ::chmod(P(root + name).c_str(), 0500);
      }
      ::chmod(P(root + "/closed").c_str(), 0000);
      ::chmod(P(root + "/noexec").c_str(), 0600);
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
  // A link given as the folder: deleting the tree deletes the link alone, clearing refuses; a
  // missing folder or a file fails both. A link given as a file is deleted, not its target.
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
  if (::geteuid() == 0) {  // a folder the ordinary user cannot change: reported, the walk goes on
    MakeFile("tree/a.txt");
    MakeFile("tree/locked/owned-by-root.txt");
    MakeFile("tree/z.txt");
    ::chmod(P("tree/locked").c_str(), 0755);
    EXPECT_FALSE(
        AsOrdinaryUser([t = P("tree").string()] { return DeleteDirectoryTree(t); }, "tree/locked"));
    EXPECT_FALSE(fs::exists(P("tree/a.txt")));
    EXPECT_FALSE(fs::exists(P("tree/z.txt")));
    EXPECT_TRUE(fs::exists(P("tree/locked/owned-by-root.txt")));
  }
}

TEST_F(Files, ForceDirectoriesCreatesEveryMissingFolderPrivatelyAndInUtf8) {
  const std::string path = P("a/b\\c/d").string();
  const mode_t old_mask = ::umask(0);
  EXPECT_TRUE(ForceDirectories("  " + path + "/  "));
  ::umask(old_mask);
  EXPECT_EQ(ModeOf(P("a")), 0700u);
  EXPECT_EQ(ModeOf(P("a/b/c/d")), 0700u);
  EXPECT_TRUE(ForceDirectories(path));
  EXPECT_TRUE(ForceDirectories(""));
  MakeFile("a/file");  // a file in the way stops it
  EXPECT_FALSE(ForceDirectories(P("a/file/b/c").string()));
  EXPECT_FALSE(fs::exists(P("a/file/b")));
  // Library paths are windows-1251; on disk the same name must appear in UTF-8.
  const std::string folder = CombinePath(Home().string(), Msg(u8"Пакеты/Входящие"));
  ASSERT_TRUE(ForceDirectories(folder));
  const std::string file = CombinePath(folder, Msg(u8"описание.xml"));
  WriteStringToFile(file, "<a/>");
  EXPECT_EQ(test::ReadAll(Home() / "Пакеты" / "Входящие" / "описание.xml"), "<a/>");
  EXPECT_EQ(ReadFileToString(file), "<a/>");
  EXPECT_TRUE(FileExists(file));
  EXPECT_TRUE(DeleteDirectoryTree(CombinePath(Home().string(), Msg(u8"Пакеты"))));
  EXPECT_FALSE(fs::exists(Home() / "Пакеты"));
}

TEST_F(Files, TempDirectoryIsTmpThenTmpdirThenSlashTmp) {
  const std::string old_tmpdir = GetEnvironmentValue("TMPDIR");
  ::setenv("TMPDIR", "/from/tmpdir", 1);
  EXPECT_EQ(GetTempDirectory(), PathOf("tmp"));  // the sandbox's TMP
  ::setenv("TMP", "", 1);
  EXPECT_EQ(GetTempDirectory(), "/from/tmpdir");
  ::unsetenv("TMPDIR");
  EXPECT_EQ(GetTempDirectory(), "/tmp");
  if (!old_tmpdir.empty()) {
    ::setenv("TMPDIR", old_tmpdir.c_str(), 1);
  }
}

const std::string kBinary("\0\x01\xFF\r\n\x1A\x80 binary", 14);

TEST_F(Files, ReadsBinaryFilesAndFilesWithoutSizeAndNamesWhatIsMissing) {
  EXPECT_EQ(ReadFileToString(WriteFile("a.bin", kBinary)), kBinary);
  EXPECT_EQ(ReadFileToString("/proc/self/status").substr(0, 5), "Name:");
  ExpectRaises<EOSError>([&] { ReadFileToString(PathOf("missing.bin")); }, kNoSuchFile);
  for (const std::string& path : {PathOf("missing.bin"), Home().string()}) {
    ExpectRaises([&] { LoadFileToString(path); }, Msg(u8"Файл не найден: [") + path + "]");
  }
  EXPECT_EQ(LoadFileToString(WriteFile("a.txt", "text")), "text");
}

TEST_F(Files, WritesPrivateNewFilesAndReplacesOldOnesKeepingTheirMode) {
  const std::string path = PathOf("new.bin");
  WriteStringToFile(path, kBinary);
  EXPECT_EQ(test::ReadAll(path), kBinary);
  EXPECT_EQ(ModeOf(path), 0600u);
  const std::string old = WriteFile("old.txt", std::string(10000, 'o'));
  ::chmod(old.c_str(), 0640);
  WriteStringToFile(old, "new");  // into a longer file: no old bytes left
  EXPECT_EQ(test::ReadAll(old), "new");
  EXPECT_EQ(ModeOf(old), 0640u);
  WriteBufferToFile(old, kBinary.data(), 14);  // into a shorter file: no zeros
  EXPECT_EQ(test::ReadAll(old), kBinary);
  ExpectRaises<EOSError>([&] { WriteStringToFile(PathOf("missing/a"), "x"); }, kNoSuchFile);
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

using Names = std::set<std::string>;

class CrashSafety : public test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    fs::create_directory(Home() / "out");
    parent_ = PathOf("tmp");
  }
  // Names of the entries of the sandbox folder (default "out").
  Names Listing(const std::string& folder = "out") const {
    Names names;
    for (const auto& entry : fs::directory_iterator(Home() / folder)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  std::string parent_;
};

TEST_F(CrashSafety, CommitMovesTheWholeFileInPlaceAndNoCommitLeavesTheOldOne) {
  const std::string path = PathOf("out/a.bin");
  {
    AtomicFile file(path);
    file.Write("first ");
    file.Write(std::string_view("\0second", 7));
    EXPECT_TRUE(file.IsUnnamed()) << "this file system has O_TMPFILE";
    EXPECT_EQ(Listing(), Names{}) << "the scratch file has no name";
    file.Commit();
  }
  EXPECT_EQ(test::ReadAll(path), std::string("first \0second", 13));
  {
    AtomicFile file(path);
    file.Write("new");
  }
  EXPECT_EQ(test::ReadAll(path), std::string("first \0second", 13));
  EXPECT_EQ(Listing(), Names{"a.bin"});
}

TEST_F(CrashSafety, ScratchNamesLeftByACrashGoUnlessTheirWriterLives) {
  WriteFile("out/.a.bin.tmp-Ab12Cd", "left by a crash");
  const std::string live = WriteFile("out/.a.bin.tmp-Zz99zz", "being written");
  WriteFile("out/.b.bin.tmp-Ab12Cd", "another target's");
  const int writer = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  WriteFileAtomically(PathOf("out/a.bin"), "new");
  ::close(writer);
  EXPECT_EQ(Listing(), (Names{".a.bin.tmp-Zz99zz", ".b.bin.tmp-Ab12Cd", "a.bin"}));
}

TEST_F(CrashSafety, ModeBitsAreExactWhateverTheUmask) {
  const mode_t old_mask = ::umask(077);
  WriteFileAtomically(PathOf("out/shared.txt"), "x", 0644);
  WriteFileAtomically(PathOf("out/private.key"), "x");
  ::umask(old_mask);
  EXPECT_EQ(ModeOf(PathOf("out/shared.txt")), 0644u);
  EXPECT_EQ(ModeOf(PathOf("out/private.key")), 0600u);
}

TEST_F(CrashSafety, MissingFolderAndFailedRenameLeaveTheTargetAndNoScratchFile) {
  ExpectRaises<EOSError>([&] { AtomicFile file(PathOf("missing/a.bin")); }, kNoSuchFile);
  fs::create_directories(Home() / "out" / "target" / "inner");
  {
    AtomicFile file(PathOf("out/target"));
    file.Write("data");
    EXPECT_THROW(file.Commit(), EOSError);
  }
  EXPECT_TRUE(fs::is_directory(Home() / "out" / "target" / "inner"));
  EXPECT_EQ(Listing(), Names{"target"});
}

// A folder made by a child process that then dies with SIGKILL while holding the lock.
std::string FolderOfDeadOwner(const std::string& parent, std::string_view prefix) {
  int channel[2];
  EXPECT_EQ(::pipe(channel), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    FolderLock lock = CreateLockedFolder(parent, prefix);
    ::close(::open((lock.Folder() + "/data").c_str(), O_CREAT | O_WRONLY, 0600));
    const std::string name = fs::path(lock.Folder()).filename().string();
    static_cast<void>(::write(channel[1], name.data(), name.size()));
    ::close(channel[1]);
    ::pause();
  }
  ::close(channel[1]);
  char name[128] = {};
  EXPECT_GT(::read(channel[0], name, sizeof(name)), 0);
  ::close(channel[0]);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  return name;
}

TEST_F(CrashSafety, LockedFolderIsPrivateAndGoesWithTheLock) {
  ::umask(0077 ^ 0777);  // the widest umask: the folder must still be 0700
  std::string folder;
  {
    FolderLock lock = CreateLockedFolder(parent_, "pre-");
    ::umask(022);
    folder = lock.Folder();
    EXPECT_TRUE(std::regex_match(folder, std::regex(parent_ + "/pre-[0-9a-f]{32}"))) << folder;
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_TRUE(fs::is_regular_file(folder + ".lock"));
    fs::create_directories(folder + "/sub");
    const auto error = test::Raised<EOSError>([&] { FolderLock again(folder); });
    EXPECT_TRUE(error && error->ErrorCode() == EWOULDBLOCK) << "a second lock on a held folder";
    SweepStaleFolders(parent_, "pre-");
    EXPECT_TRUE(fs::exists(folder + "/sub")) << "a held folder survives the sweep";
    FolderLock moved = std::move(lock);
    EXPECT_EQ(lock.Folder(), "");
    EXPECT_TRUE(moved.Held());
  }
  EXPECT_EQ(Listing("tmp"), Names{}) << "folder and lock file go with the lock";
}

TEST_F(CrashSafety, SweepRemovesOnlyFoldersWhoseLockNobodyHolds) {
  const auto id = [](char c, size_t n = 32) { return "pre-" + std::string(n, c); };
  const std::string stale = FolderOfDeadOwner(parent_, "pre-");
  const std::string other_prefix = FolderOfDeadOwner(parent_, "other-");
  FolderLock held = CreateLockedFolder(parent_, "pre-");
  const std::string held_name = fs::path(held.Folder()).filename().string();
  // Not provably ours: no lock file; a lock file without the mark; a name of another form; a
  // link named like a folder of ours, next to a stale lock file.
  fs::create_directory(PathOf("tmp/" + id('a')));
  fs::create_directory(PathOf("tmp/" + id('b')));
  WriteFile("tmp/" + id('b') + ".lock", "someone else's\n");
  fs::create_directory(PathOf("tmp/" + id('c', 31)));
  fs::create_directory(PathOf("outside"));
  const std::string linked = FolderOfDeadOwner(parent_, "pre-");
  fs::remove_all(PathOf("tmp/" + linked));
  fs::create_directory_symlink(PathOf("outside"), PathOf("tmp/" + linked));
  // A stale lock file whose folder is gone; an empty one of a maker killed before the mark (and
  // one beside a folder, which no maker leaves: not provably ours).
  const std::string orphan = FolderOfDeadOwner(parent_, "pre-");
  fs::remove_all(PathOf("tmp/" + orphan));
  WriteFile("tmp/" + id('d') + ".lock", "");
  WriteFile("tmp/" + id('e') + ".lock", "");
  fs::create_directory(PathOf("tmp/" + id('e')));

  Names expected = Listing("tmp");
  SweepStaleFolders(parent_, "pre-");
  for (const std::string& name : {stale, stale + ".lock", orphan + ".lock", id('d') + ".lock"}) {
    EXPECT_EQ(expected.erase(name), 1u) << name;
  }
  EXPECT_EQ(Listing("tmp"), expected);
  EXPECT_TRUE(fs::exists(PathOf("outside"))) << "a link is never followed";
  EXPECT_TRUE(fs::exists(PathOf("tmp/" + held_name)));
  EXPECT_TRUE(fs::exists(PathOf("tmp/" + other_prefix)));
  SweepStaleFolders(PathOf("no-such-folder"), "pre-");  // an unreadable parent is no error
}

}  // namespace
}  // namespace lyr::rtl
