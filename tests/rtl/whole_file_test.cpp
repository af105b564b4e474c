// Whole-file helpers and CMapedFile: reading, writing, replacing, size limits and messages.
#include "rtl/whole_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "rtl/errors.h"
#include "rtl/maped_file.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

namespace fs = std::filesystem;

class WholeFile : public test::Sandbox {
 protected:
  // A sparse file of the given size (no disk blocks are used).
  std::string SparseFile(const std::string& name, off_t size) const {
    const std::string path = PathOf(name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    return path;
  }
  // Number of open descriptors of this process.
  static size_t OpenDescriptors() {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
  }
};

template <typename F>
std::string MessageOf(F action) {
  try {
    action();
  } catch (const Exception& error) {
    return error.Message();
  }
  return "no error";
}

std::string Binary() {
  std::string bytes;
  for (int i = 0; i < 3000; ++i) {
    bytes += static_cast<char>(i * 7 % 256);
  }
  return bytes;
}

TEST_F(WholeFile, ReadFileToStringReadsBinaryContents) {
  const std::string bytes = Binary();
  EXPECT_EQ(ReadFileToString(WriteFile("a.bin", bytes)), bytes);
}

TEST_F(WholeFile, ReadFileToStringReadsFilesWithoutSize) {
  EXPECT_EQ(ReadFileToString("/proc/self/status").substr(0, 5), "Name:");
}

TEST_F(WholeFile, ReadFileToStringOfMissingFileIsOSError) {
  try {
    ReadFileToString(PathOf("missing.bin"));
    FAIL();
  } catch (const EOSError& error) {
    EXPECT_EQ(error.ErrorCode(), ENOENT);
    EXPECT_EQ(error.Message(), "System Error.  Code: 2.\r\nNo such file or directory");
  }
}

TEST_F(WholeFile, FileOf4GiBIsTooBigToRead) {
  const std::string path = SparseFile("big.bin", off_t{1} << 32);
  EXPECT_EQ(MessageOf([&] { ReadFileToString(path); }), Msg(u8"Файл слишком велик!"));
}

TEST_F(WholeFile, LoadFileToStringOfMissingFileNamesIt) {
  const std::string path = PathOf("missing.bin");
  EXPECT_EQ(MessageOf([&] { LoadFileToString(path); }), Msg(u8"Файл не найден: [") + path + "]");
  EXPECT_EQ(MessageOf([&] { LoadFileToString(Home().string()); }),
            Msg(u8"Файл не найден: [") + Home().string() + "]");
  EXPECT_EQ(LoadFileToString(WriteFile("a.txt", "text")), "text");
}

TEST_F(WholeFile, WriteStringToFileCreatesPrivateFile) {
  const std::string path = PathOf("new.bin");
  WriteStringToFile(path, Binary());
  EXPECT_EQ(test::ReadAll(path), Binary());
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST_F(WholeFile, WriteStringToFileReplacesAndKeepsMode) {
  const std::string path = WriteFile("old.txt", "a much longer old text");
  ::chmod(path.c_str(), 0640);
  WriteStringToFile(path, "new");
  EXPECT_EQ(test::ReadAll(path), "new");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(WholeFile, WriteStringToFileIntoMissingFolderIsOSErrorAndLeavesNothing) {
  try {
    WriteStringToFile(PathOf("missing/a.txt"), "x");
    FAIL();
  } catch (const EOSError& error) {
    EXPECT_EQ(error.ErrorCode(), ENOENT);
  }
  EXPECT_FALSE(fs::exists(PathOf("missing")));
}

TEST_F(WholeFile, WriteBufferToFileIntoLongerFileLeavesNoOldBytes) {
  const std::string path = WriteFile("old.bin", std::string(10000, 'o'));
  WriteBufferToFile(path, "new", 3);
  EXPECT_EQ(test::ReadAll(path), "new");
}

TEST_F(WholeFile, WriteBufferToFileIntoShorterFileLeavesNoZeros) {
  const std::string path = WriteFile("old.bin", "old");
  const std::string bytes = Binary();
  WriteBufferToFile(path, bytes.data(), static_cast<uint32_t>(bytes.size()));
  EXPECT_EQ(test::ReadAll(path), bytes);
}

TEST_F(WholeFile, MappingAFileOf4GiBFailsAndClosesIt) {
  const std::string path = SparseFile("big.bin", off_t{1} << 32);
  const size_t before = OpenDescriptors();
  CMapedFile file(path);
  EXPECT_EQ(MessageOf([&] { file.Open(1); }), Msg(u8"Файл слишком велик!"));
  EXPECT_EQ(OpenDescriptors(), before);
  EXPECT_EQ(fs::file_size(path), uint64_t{1} << 32);
}

TEST_F(WholeFile, MappingThatWouldReach4GiBFails) {
  const std::string path = SparseFile("almost.bin", (off_t{1} << 32) - 10);
  CMapedFile file(path);
  EXPECT_EQ(MessageOf([&] { file.Open(10); }), Msg(u8"Файл слишком велик!"));
}

TEST_F(WholeFile, MapedFileWritesPiecesAndCutsAfterTheLastByte) {
  const std::string path = PathOf("pieces.bin");
  CMapedFile file(path);
  file.Open(100);
  file.Write("abc", 3);
  file.Write("def", 3);
  EXPECT_EQ(file.WritePosition(), 6u);
  file.Close(true);
  EXPECT_EQ(test::ReadAll(path), "abcdef");
  file.Close(true);  // a second close does nothing
}

TEST_F(WholeFile, MapedFileRefusesWritesBeyondTheMapping) {
  const std::string path = PathOf("small.bin");
  CMapedFile file(path);
  file.Open(4);
  file.Write("abc", 3);
  EXPECT_THROW(file.Write("de", 2), EAssertionFailed);
  file.Write("d", 1);
  file.Close(true);
  EXPECT_EQ(test::ReadAll(path), "abcd");
}

}  // namespace
}  // namespace lyr::rtl
