#include "rtl/errors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "rtl/trace.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

class Trace : public test::Sandbox {};

TEST_F(Trace, RaiseWritesExceptionLineToTraceFile) {
  const std::string file = PathOf("trace.log");
  ::setenv("LYR_TDX_TRACE", file.c_str(), 1);
  EXPECT_THROW(RaiseFmt(u8"Файл не найден: [%s]", "a.txt"), Exception);
  DebugLog("Ready to open store: %s", "MY");
  ::unsetenv("LYR_TDX_TRACE");
  EXPECT_EQ(test::ReadAll(file),
            "[EXCEPTION Файл не найден: [a.txt]]\n[Ready to open store: MY]\n");
}

TEST_F(Trace, SilentByDefault) {
  ::unsetenv("LYR_TDX_TRACE");
  EXPECT_THROW(Raise("quiet"), Exception);
  EXPECT_TRUE(std::filesystem::is_empty(Home() / "tmp"));
}

TEST(OSError, CarriesCodeAndSystemText) {
  const auto error = test::Raised<EOSError>([] { RaiseOSError(ENOENT); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ErrorCode(), ENOENT);
  EXPECT_EQ(error->Message(), "System Error.  Code: 2.\r\nNo such file or directory");
  test::ExpectRaises<EOSError>([] { RaiseOSError(0); }, "A call to an OS function failed");
}

TEST(OSError, LastErrorTextShowsHexDecimalAndText) {
  errno = EACCES;
  EXPECT_EQ(LastErrorText(), "0x0000000D (13): Permission denied");
  EXPECT_EQ(ErrorCodeText(-2146885628), "0x80092004 (-2146885628): " + SysErrorText(-2146885628));
}

TEST(Assertion, NamesUnitAndLine) {
  const int line = __LINE__ + 1;
  test::ExpectRaises<EAssertionFailed>([] { Assert(false, "Index out of bounds", "StrArray"); },
                                       Format("Index out of bounds (StrArray, line %d)", line));
  EXPECT_NO_THROW(Assert(true, "never", "StrArray"));
}

}  // namespace
}  // namespace lyr::rtl
