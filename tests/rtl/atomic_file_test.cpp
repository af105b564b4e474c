// AtomicFile: a file appears whole or not at all, with the requested mode, and leaves no
// temporary files behind.
#include "rtl/atomic_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "rtl/errors.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public test::Sandbox {
 protected:
  // Names of the entries of the sandbox folder "out".
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Home() / "out")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  void SetUp() override {
    Sandbox::SetUp();
    fs::create_directory(Home() / "out");
  }
};

uint32_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

TEST_F(AtomicFileTest, CommitCreatesFileWithBytes) {
  const std::string path = PathOf("out/a.bin");
  AtomicFile file(path);
  file.Write("first ");
  file.Write(std::string_view("\0second", 7));
  EXPECT_FALSE(fs::exists(path));
  file.Commit();
  EXPECT_EQ(test::ReadAll(path), std::string("first \0second", 13));
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.bin"});
}

TEST_F(AtomicFileTest, NoCommitLeavesOldFileAndNoTemporaryFile) {
  const std::string path = WriteFile("out/a.bin", "old");
  {
    AtomicFile file(path);
    file.Write("new");
    EXPECT_TRUE(file.IsUnnamed()) << "this file system has O_TMPFILE";
    EXPECT_EQ(Entries(), std::vector<std::string>{"a.bin"}) << "the scratch file has no name";
  }
  EXPECT_EQ(test::ReadAll(path), "old");
  EXPECT_EQ(Entries(), std::vector<std::string>{"a.bin"});
}

TEST_F(AtomicFileTest, ScratchNamesLeftByACrashGoUnlessTheirWriterLives) {
  const std::string stale = WriteFile("out/.a.bin.tmp-Ab12Cd", "left by a crash");
  const std::string live = WriteFile("out/.a.bin.tmp-Zz99zz", "being written");
  WriteFile("out/.b.bin.tmp-Ab12Cd", "another target's");
  const int writer = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(writer, LOCK_EX), 0);
  WriteFileAtomically(PathOf("out/a.bin"), "new");
  ::close(writer);
  EXPECT_EQ(Entries(),
            (std::vector<std::string>{".a.bin.tmp-Zz99zz", ".b.bin.tmp-Ab12Cd", "a.bin"}));
}

TEST_F(AtomicFileTest, ModeBitsAreExactWhateverTheUmask) {
  const mode_t old_mask = ::umask(077);
  WriteFileAtomically(PathOf("out/shared.txt"), "x", 0644);
  WriteFileAtomically(PathOf("out/private.key"), "x");
  ::umask(old_mask);
  EXPECT_EQ(ModeOf(PathOf("out/shared.txt")), 0644u);
  EXPECT_EQ(ModeOf(PathOf("out/private.key")), 0600u);
}

TEST_F(AtomicFileTest, MissingFolderFailsWithOSError) {
  const auto error = test::Raised<EOSError>([&] { AtomicFile file(PathOf("missing/a.bin")); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ErrorCode(), ENOENT);
  EXPECT_EQ(error->Message(), "System Error.  Code: 2.\r\nNo such file or directory");
}

TEST_F(AtomicFileTest, FailedRenameLeavesTargetAndRemovesTemporaryFile) {
  fs::create_directories(Home() / "out" / "target" / "inner");
  {
    AtomicFile file(PathOf("out/target"));
    file.Write("data");
    EXPECT_THROW(file.Commit(), EOSError);
  }
  EXPECT_TRUE(fs::is_directory(Home() / "out" / "target" / "inner"));
  EXPECT_EQ(Entries(), std::vector<std::string>{"target"});
}

}  // namespace
}  // namespace lyr::rtl
