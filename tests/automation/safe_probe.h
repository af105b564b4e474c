// In-process probes of an automation object's error model: its LastError, its SafeMode, and the
// thread's error information.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "automation/bstr.h"
#include "automation/com_ptr.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "support/expect_error_info.h"

namespace lyr::automation::test {

using lyr::test::TakeBstr;
using lyr::test::PublishedError;
using lyr::test::TakeErrorInfo;

struct ErrorState {
  LONG code = 0;
  std::u16string message;
};

inline ErrorState LastErrorOf(IUnknown* object) {
  ComPtr<ITdx880Safe> safe;
  EXPECT_EQ(object->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()), S_OK);
  ComPtr<ITdx880Error> error;
  EXPECT_EQ(safe->get_LastError(error.Receive()), S_OK);
  ErrorState state;
  EXPECT_EQ(error->get_Code(&state.code), S_OK);
  BSTR message = nullptr;
  EXPECT_EQ(error->get_Message(&message), S_OK);
  state.message = TakeBstr(message);
  return state;
}

inline void SetSafeMode(IUnknown* object, bool on) {
  ComPtr<ITdx880Safe> safe;
  ASSERT_EQ(object->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()), S_OK);
  ASSERT_EQ(safe->put_SafeMode(on ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
}

}  // namespace lyr::automation::test
