// AtomicFile: base::AtomicFile with its failures raised as OS errors.
#include "rtl/atomic_file.h"

#include "rtl/errors.h"
#include "rtl/file_utils.h"

namespace lyr::rtl {

AtomicFile::AtomicFile(std::string path, uint32_t mode) {
  RaiseIfOSError(file_.Open(NativePath(path), mode));
}

void AtomicFile::Write(std::string_view bytes) {
  Assert(file_.IsOpen(), "AtomicFile.Write after Commit", "atomic_file");
  RaiseIfOSError(file_.Write(bytes));
}

void AtomicFile::WriteAt(uint64_t offset, std::string_view bytes) {
  Assert(file_.IsOpen(), "AtomicFile.WriteAt after Commit", "atomic_file");
  RaiseIfOSError(file_.WriteAt(offset, bytes));
}

void AtomicFile::Commit(Durability durability) {
  Assert(file_.IsOpen(), "AtomicFile.Commit called twice", "atomic_file");
  RaiseIfOSError(file_.Commit(durability == Durability::kRenamed));
}

void WriteFileAtomically(const std::string& path, std::string_view bytes, uint32_t mode) {
  AtomicFile file(path, mode);
  file.Write(bytes);
  file.Commit();
}

}  // namespace lyr::rtl
