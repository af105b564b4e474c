// In-process probes of an automation object's error model (its LastError, its SafeMode, the
// thread's error information) and the Package object fixture the in-process tests share.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "automation/bstr.h"
#include "automation/com_ptr.h"
#include "automation/tdx880_package_class.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "support/expect_error_info.h"
#include "support/sandbox.h"

namespace lyr::automation::test {

using lyr::test::PublishedError;
using lyr::test::TakeBstr;
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

// A BSTR owned for the length of one call.
struct Text {
  explicit Text(std::u16string_view text) : value(AllocBstr(text)) {}
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() { ::SysFreeString(value); }
  operator BSTR() const { return value; }  // NOLINT: passed as an argument
  BSTR value;
};

// A sandbox with a Package object made in-process and the thread's error slot cleared.
class PackageObjectTest : public lyr::test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    ::SetErrorInfo(0, nullptr);
    package_ = CreatePackageObject();  // after the sandbox set TMP
  }
  void TearDown() override {
    ::SetErrorInfo(0, nullptr);
    Sandbox::TearDown();
  }

  // New(flow, transaction) that must succeed.
  void Start(std::u16string_view flow = u"01", std::u16string_view transaction = u"01") {
    VARIANT_BOOL done = VARIANT_FALSE;
    ASSERT_EQ(package_->New(Text(flow), Text(transaction), &done), S_OK);
    ASSERT_EQ(done, VARIANT_TRUE);
  }
  ComPtr<ITdx880File> Add(std::u16string_view type, std::u16string_view name = u"a.xml",
                          std::u16string_view content = u"<a/>") {
    ComPtr<ITdx880File> file;
    EXPECT_EQ(
        package_->AddFile(Text(type), Text(u"xml"), Text(name), Text(content), file.Receive()),
        S_OK);
    return file;
  }
  LONG Count() {
    LONG count = -1;
    EXPECT_EQ(package_->GetFileCount(&count), S_OK);
    return count;
  }

  ComPtr<ITdx880Package> package_;
};

}  // namespace lyr::automation::test
