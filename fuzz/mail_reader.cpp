// Fuzz entry: bytes as an Internet message carrying a package; every failure must be one of the
// library's errors and nothing may stay behind in the temporary folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "mail/mail_runtime.h"
#include "mail/package_mail.h"
#include "package/tdx880_doc.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"

namespace {

// One folder for the whole run, removed at exit.
const std::string& TmpDir() {
  static const std::string* const path = [] {
    auto* made = new std::string("/tmp/lyr-fuzz-mail-XXXXXX");
    if (::mkdtemp(made->data()) == nullptr) {
      std::abort();
    }
    std::atexit([] { lyr::rtl::DeleteDirectoryTree(TmpDir()); });
    return made;
  }();
  return *path;
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
  }
  doc.Close();
  if (!lyr::rtl::ClearDirectory(TmpDir()) || !lyr::rtl::DirectoryExists(TmpDir())) {
    std::abort();
  }
  return 0;
}
