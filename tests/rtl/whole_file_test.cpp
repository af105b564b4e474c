// Whole-file helpers and CMapedFile: reading, writing, replacing, size limits and messages.
#include "rtl/whole_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "rtl/errors.h"
#include "rtl/maped_file.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

namespace fs = std::filesystem;
using test::ExpectRaises;

class WholeFile : public test::Sandbox {
 protected:
  // A sparse file of the given size (no disk blocks are used).
  std::string SparseFile(const std::string& name, off_t size) const {
    const std::string path = PathOf(name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    return path;
  }
};

uint32_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

std::string Binary() {
  std::string bytes;
  for (int i = 0; i < 3000; ++i) {
    bytes += static_cast<char>(i * 7 % 256);
  }
  return bytes;
}

TEST_F(WholeFile, ReadsBinaryFilesAndFilesWithoutSizeAndNamesWhatIsMissing) {
  EXPECT_EQ(ReadFileToString(WriteFile("a.bin", Binary())), Binary());
  EXPECT_EQ(ReadFileToString("/proc/self/status").substr(0, 5), "Name:");
  const auto error = test::Raised<EOSError>([&] { ReadFileToString(PathOf("missing.bin")); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ErrorCode(), ENOENT);
  EXPECT_EQ(error->Message(), "System Error.  Code: 2.\r\nNo such file or directory");
  ExpectRaises([&] { LoadFileToString(PathOf("missing.bin")); },
               Msg(u8"Файл не найден: [") + PathOf("missing.bin") + "]");
  ExpectRaises([&] { LoadFileToString(Home().string()); },
               Msg(u8"Файл не найден: [") + Home().string() + "]");
  EXPECT_EQ(LoadFileToString(WriteFile("a.txt", "text")), "text");
}

TEST_F(WholeFile, WritesPrivateNewFilesAndReplacesOldOnesKeepingTheirMode) {
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

TEST_F(WholeFile, FilesOf4GiBAreTooBigToReadOrMap) {
  const std::string path = SparseFile("big.bin", off_t{1} << 32);
  ExpectRaises([&] { ReadFileToString(path); }, Msg(u8"Файл слишком велик!"));
  const auto descriptors = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
  };
  const auto before = descriptors();
  CMapedFile file(path);
  ExpectRaises([&] { file.Open(1); }, Msg(u8"Файл слишком велик!"));
  EXPECT_EQ(descriptors(), before);
  EXPECT_EQ(fs::file_size(path), uint64_t{1} << 32);
  CMapedFile almost(SparseFile("almost.bin", (off_t{1} << 32) - 10));
  ExpectRaises([&] { almost.Open(10); }, Msg(u8"Файл слишком велик!"));
}

TEST_F(WholeFile, MapedFileWritesPiecesWithinTheMappingAndCutsAfterTheLastByte) {
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
