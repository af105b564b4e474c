// GMime's start-up service.
#include "mail/mail_runtime.h"

#include <gmime/gmime.h>

#include <mutex>

namespace lyr::mail {
namespace {

// GMime cannot start again after g_mime_shutdown in one process (its charset tables stay torn
// down and later conversions fail inside GLib), so it is initialised once, on the first lease, and
// stays so after the last one, as the GOST engine does.
void StartGMime() {
  static std::once_flag once;
  std::call_once(once, [] { ::g_mime_init(); });
}

void StopGMime() noexcept {}

const rtl::StartupService kGMimeService{"GMime", &StartGMime, &StopGMime};

}  // namespace

MailRuntime::MailRuntime() : lease_(kGMimeService) {}

MailRuntime::~MailRuntime() = default;

}  // namespace lyr::mail
