// GMime's global state, started once through the library's start-up and reference counted.
#pragma once

#include "rtl/startup.h"

namespace lyr::mail {

// A lease on the GMime service (rtl StartupLease): the first lease initialises GMime. Every
// conversion holds one while it works; hosts and the tool may hold one for longer. GMime cannot be
// started twice in one process, so it stays initialised after the last lease.
class MailRuntime final {
 public:
  MailRuntime();
  ~MailRuntime();
  MailRuntime(const MailRuntime&) = delete;
  MailRuntime& operator=(const MailRuntime&) = delete;

 private:
  rtl::StartupLease lease_;
};

}  // namespace lyr::mail
