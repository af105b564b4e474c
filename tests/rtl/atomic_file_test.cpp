// Crash safety: AtomicFile (a file appears whole or not at all, leaving no scratch files), the
// folder lock and the sweep (a held folder survives, a dead owner's folder goes, nothing else).
#include "rtl/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <set>

#include "rtl/folder_lock.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

namespace fs = std::filesystem;
using Names = std::set<std::string>;

uint32_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

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
  const auto error = test::Raised<EOSError>([&] { AtomicFile file(PathOf("missing/a.bin")); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ErrorCode(), ENOENT);
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
