#include "rtl/base_class.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>

namespace lyr::rtl {
namespace {

class Worker final : public CBaseClass {
 public:
  bool Fail(std::string message, std::string_view context = {}) {
    return Guarded(
        [&] {
          Raise(message);
          return true;
        },
        context);
  }
  int FailOs() {
    return Guarded([]() -> int { RaiseOSError(ENOENT); });
  }
  int FailStd() {
    return Guarded([]() -> int { throw std::runtime_error("std failure"); });
  }
  int Succeed() {
    return Guarded([] { return 7; });
  }
};

TEST(GuardedOperation, DefaultHandlerPassesSameMessageToCaller) {
  Worker worker;
  try {
    worker.Fail("boom");
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "boom");
  }
  EXPECT_EQ(worker.Succeed(), 7);
}

TEST(GuardedOperation, OsErrorKeepsItsCode) {
  Worker worker;
  try {
    worker.FailOs();
    FAIL();
  } catch (const EOSError& error) {
    EXPECT_EQ(error.ErrorCode(), ENOENT);
  }
}

TEST(GuardedOperation, ForeignErrorsBecomeLibraryErrors) {
  Worker worker;
  try {
    worker.FailStd();
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "std failure");
  }
}

TEST(GuardedOperation, ClearedHandlerReportsOnStderrAndReturnsEmptyResult) {
  Worker worker;
  worker.SetErrorHandler(nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(worker.Fail("boom"));
  EXPECT_EQ(worker.FailOs(), 0);
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(shown,
            "Ошибка: boom\nОшибка: Error code = 2, System Error.  Code: 2.\r\n"
            "No such file or directory\n");
}

}  // namespace
}  // namespace lyr::rtl
