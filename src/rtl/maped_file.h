// CMapedFile: puts a buffer into a file through a shared memory mapping of the file.
#pragma once

#include <cstdint>
#include <string>

namespace lyr::rtl {

// Writes into a file through a writable shared mapping. Create (constructor), Open(size),
// Write(...), Close(cut); the destructor is Close without cut. Not copyable; one owner.
class CMapedFile final {
 public:
  // Stores the file name; nothing is opened yet.
  explicit CMapedFile(std::string file_name);
  // Close(false). Never throws.
  ~CMapedFile();

  // Opens the file for reading and writing (creating it when missing, mode 0600), reserves disk
  // space for size plus the file's current size and maps all of it writable; the write position
  // is 0. Fails with "Файл слишком велик!" for a file (or a mapping) of 4 GiB or more, with
  // "Attempt to mapping the file of size=0" when there is nothing to map, and with an OS error
  // when a call fails (a disk without room included); the file is closed first, and removed when
  // this call created it.
  void Open(uint32_t size);

  // Copies length bytes of buffer into the mapping at the write position and advances it.
  // Writing beyond the mapped size is an assertion error (nothing is written).
  void Write(const void* buffer, uint32_t length);

  // Unmaps the view. With cut, the file is cut right after the last byte written, so it holds
  // exactly what was written (old bytes beyond it go); without cut it keeps the mapped size.
  // Closes the file. Raises an OS error when cutting fails.
  void Close(bool cut);

  [[nodiscard]] const std::string& FileName() const noexcept { return file_name_; }
  [[nodiscard]] uint32_t WritePosition() const noexcept { return write_position_; }

  CMapedFile(const CMapedFile&) = delete;
  CMapedFile& operator=(const CMapedFile&) = delete;

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFF;

  void Unmap() noexcept;
  void CloseHandle() noexcept;
  [[noreturn]] void FailOpen(int error);

  void* view_ = nullptr;
  uint64_t mapping_size_ = 0;
  uint32_t write_position_ = 0;
  std::string file_name_;
  uint32_t end_of_file_ = kNone;
  int file_handle_ = -1;
  bool created_ = false;
};

}  // namespace lyr::rtl
