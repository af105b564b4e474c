// FolderLock and SweepStaleFolders: a locked folder is private and survives every sweep; a folder
// whose owner died is swept; nothing that is not provably a leftover is touched.
#include "rtl/folder_lock.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <set>

#include "rtl/errors.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

namespace fs = std::filesystem;

class FolderLockTest : public test::Sandbox {
 protected:
  std::set<std::string> Listing() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(Home() / "tmp")) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  void SetUp() override {
    Sandbox::SetUp();
    fs::create_directory(Home() / "tmp");
    parent_ = PathOf("tmp");
  }
  std::string parent_;
};

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

TEST_F(FolderLockTest, CreatesAPrivateLockedFolderAndRemovesItWithTheLock) {
  ::umask(0077 ^ 0777);  // the widest umask: the folder must still be 0700
  std::string folder;
  {
    FolderLock lock = CreateLockedFolder(parent_, "pre-");
    ::umask(022);
    folder = lock.Folder();
    EXPECT_TRUE(std::regex_match(folder, std::regex(parent_ + "/pre-[0-9a-f]{32}"))) << folder;
    struct stat st {};
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_TRUE(fs::is_regular_file(folder + ".lock"));
    fs::create_directories(folder + "/sub");
    try {
      FolderLock again(folder);
      ADD_FAILURE() << "a second lock on a held folder";
    } catch (const EOSError& error) {
      EXPECT_EQ(error.ErrorCode(), EWOULDBLOCK);
    }
    SweepStaleFolders(parent_, "pre-");
    EXPECT_TRUE(fs::exists(folder + "/sub")) << "a held folder survives the sweep";
    FolderLock moved = std::move(lock);
    EXPECT_EQ(lock.Folder(), "");
    EXPECT_TRUE(moved.Held());
  }
  EXPECT_EQ(Listing(), std::set<std::string>{}) << "folder and lock file go with the lock";
}

TEST_F(FolderLockTest, SweepRemovesOnlyFoldersWhoseLockNobodyHolds) {
  const std::string id(32, 'a');
  const std::string stale = FolderOfDeadOwner(parent_, "pre-");
  const std::string other_prefix = FolderOfDeadOwner(parent_, "other-");
  FolderLock held = CreateLockedFolder(parent_, "pre-");
  const std::string held_name = fs::path(held.Folder()).filename().string();
  // Not provably ours: no lock file; a lock file without the mark; a name of another form; a
  // link named like a folder of ours, next to a stale lock file.
  fs::create_directory(PathOf("tmp/pre-" + id));
  fs::create_directory(PathOf("tmp/pre-" + std::string(32, 'b')));
  WriteFile("tmp/pre-" + std::string(32, 'b') + ".lock", "someone else's\n");
  fs::create_directory(PathOf("tmp/pre-" + std::string(31, 'c')));
  fs::create_directory(PathOf("outside"));
  const std::string linked = FolderOfDeadOwner(parent_, "pre-");
  fs::remove_all(PathOf("tmp/" + linked));
  fs::create_directory_symlink(PathOf("outside"), PathOf("tmp/" + linked));
  // A stale lock file whose folder is gone; an empty one of a maker killed before the mark (and
  // one beside a folder, which no maker leaves: not provably ours).
  const std::string orphan = FolderOfDeadOwner(parent_, "pre-");
  fs::remove_all(PathOf("tmp/" + orphan));
  const std::string unmarked = "pre-" + std::string(32, 'd');
  WriteFile("tmp/" + unmarked + ".lock", "");
  WriteFile("tmp/pre-" + std::string(32, 'e') + ".lock", "");
  fs::create_directory(PathOf("tmp/pre-" + std::string(32, 'e')));

  const std::set<std::string> before = Listing();
  SweepStaleFolders(parent_, "pre-");
  std::set<std::string> expected = before;
  for (const std::string& name : {stale, stale + ".lock", orphan + ".lock", unmarked + ".lock"}) {
    EXPECT_EQ(expected.erase(name), 1u) << name;
  }
  EXPECT_EQ(Listing(), expected);
  EXPECT_TRUE(fs::exists(PathOf("outside"))) << "a link is never followed";
  EXPECT_TRUE(fs::exists(PathOf("tmp/" + held_name)));
  EXPECT_TRUE(fs::exists(PathOf("tmp/" + other_prefix)));
  SweepStaleFolders(PathOf("no-such-folder"), "pre-");  // an unreadable parent is no error
}

}  // namespace
}  // namespace lyr::rtl
