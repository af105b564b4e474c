// Whole-file helpers: a file read into a byte string, a byte string written as a file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::rtl {

// No limit of the caller's: files up to the 4 GiB the helpers can hold.
inline constexpr uint64_t kNoFileLimit = (uint64_t{1} << 32) - 1;

// The whole contents of an existing regular file. The name is opened without waiting (a FIFO or
// a device cannot stall the caller) and must be a regular file: anything else (a FIFO,
// /dev/zero, a socket) fails with "Не обычный файл: [%s]" before a byte is read. Fails with
// "Файл слишком велик!" for a file of 4 GiB or more, with "Файл больше допустимого размера (%d
// байт): [%s]" for one above limit (also when it grows past limit while it is read), and with an
// OS error when the file cannot be opened or read.
std::string ReadFileToString(const std::string& file_name, uint64_t limit = kNoFileLimit);

// As ReadFileToString, but a missing file (or a folder) fails with "Файл не найден: [%s]"
// (the file name).
std::string LoadFileToString(const std::string& file_name, uint64_t limit = kNoFileLimit);

// What ReadRegularFile found.
struct RegularFileRead {
  bool ok = false;       // bytes holds the whole file
  bool missing = false;  // no entry of that name
  std::string bytes;
  std::string reason;  // when not ok, why: "a symbolic link", "not a regular file", "larger than
                       // 1048576 bytes" or the system's text
};

// Reads a file of a folder that others may fill, never waiting or growing without bound: the
// name is opened without following a symbolic link (unless follow_link) and without blocking (a
// FIFO or a device cannot stall the caller), the open file must be a regular file (fstat) of at
// most limit bytes, and no more than limit bytes are read even when it grows meanwhile. Never
// raises for the file's sake; the result says why nothing was read.
RegularFileRead ReadRegularFile(const std::string& file_name, uint64_t limit,
                                bool follow_link = false);

// Creates the file or replaces an existing one with bytes (an empty text gives an empty file).
// The file is written aside and moved into place, so on failure the old file stays as it was; a
// replaced file keeps its permission bits, a new one gets 0600. An empty file name fails with
// "Передано пустое имя файла"; a failing call with an OS error.
void WriteStringToFile(const std::string& file_name, std::string_view bytes);

// Writes length bytes of buffer into the file through CMapedFile (Open(length), Write, Close
// with cut): the file ends up holding exactly the buffer, whether it existed or not. Length 0
// fails with "Attempt to mapping the file of size=0" when the file is new or empty.
void WriteBufferToFile(const std::string& file_name, const void* buffer, uint32_t length);

}  // namespace lyr::rtl
