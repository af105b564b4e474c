// Fuzz entry: arbitrary bytes read as an Internet message carrying a package. Every failure must
// be one of the library's errors; nothing may crash, hang, leak or stay behind in the temporary
// folder.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "mail/mail_runtime.h"
#include "mail/package_mail.h"
#include "package/tdx880_doc.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"

namespace {

// One temporary folder for the whole run, below the system's temporary folder, removed at exit.
class FuzzFolder final {
 public:
  FuzzFolder() {
    if (::mkdtemp(path_.data()) == nullptr) {
      ::abort();
    }
  }
  ~FuzzFolder() { lyr::rtl::DeleteDirectoryTree(path_); }
  FuzzFolder(const FuzzFolder&) = delete;
  FuzzFolder& operator=(const FuzzFolder&) = delete;

  [[nodiscard]] const std::string& Path() const noexcept { return path_; }

 private:
  std::string path_ = "/tmp/lyr-fuzz-mail-XXXXXX";
};

const std::string& TmpDir() {
  static const FuzzFolder folder;
  return folder.Path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const lyr::mail::MailRuntime runtime;
  lyr::mail::MailLimits limits;
  limits.MaxMessageSize = 1 << 20;
  limits.MaxAttachmentSize = 1 << 20;
  lyr::package::CTdx880Doc doc;
  doc.SetTmpDir(TmpDir());
  try {
    lyr::mail::CreatePackageByEmail(std::string_view(reinterpret_cast<const char*>(data), size),
                                    TmpDir(), doc, limits);
    (void)doc.GetFileCount();
  } catch (const lyr::rtl::Exception&) {
    // A refused message: the expected outcome for most inputs.
  }
  doc.Close();
  // The conversion's own folder must be gone whatever happened.
  if (!lyr::rtl::ClearDirectory(TmpDir()) || !lyr::rtl::DirectoryExists(TmpDir())) {
    ::abort();
  }
  return 0;
}
