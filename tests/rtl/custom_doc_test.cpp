// Tests of CCustomDoc: base behaviours of the lifecycle and closing on destruction.
#include "rtl/custom_doc.h"

#include <gtest/gtest.h>

#include <string>

#include "rtl/errors.h"
#include "support/expect_raises.h"

namespace lyr::rtl {
namespace {

// A document with its own Close that counts calls and may fail.
class CountingDoc : public CCustomDoc {
 public:
  explicit CountingDoc(int32_t* closes) : closes_(closes) {}
  ~CountingDoc() override { CloseOnDestroy(); }

  bool Close() override {
    return Guarded([&] {
      ++*closes_;
      if (fail_close) {
        Raise("close failed");
      }
      opened_ = false;
      return CCustomDoc::Close();
    });
  }
  bool Open(CBaseClass* source) override {
    opened_ = CCustomDoc::Open(source);
    return opened_;
  }
  [[nodiscard]] bool IsDocumentOpened() const override { return opened_; }

  bool fail_close = false;

 private:
  int32_t* closes_;
  bool opened_ = false;
};

class Settings final : public CBaseClass {};

TEST(CustomDoc, OpenRunsTheDocumentsCloseFirst) {
  int32_t closes = 0;
  CountingDoc doc(&closes);
  Settings first;
  Settings second;
  EXPECT_TRUE(doc.Open(&first));
  EXPECT_TRUE(doc.IsDocumentOpened());
  EXPECT_TRUE(doc.Open(&second));
  EXPECT_EQ(closes, 2);
  EXPECT_EQ(doc.Source(), &second);
}

TEST(CustomDoc, FailingCloseStopsOpenWithTheSameMessageOrFalseWithoutHandler) {
  int32_t closes = 0;
  CountingDoc doc(&closes);
  Settings settings;
  doc.fail_close = true;
  test::ExpectRaises([&] { doc.Open(&settings); }, "close failed");
  EXPECT_EQ(doc.Source(), nullptr);
  doc.SetErrorHandler(nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(doc.Open(&settings));
  EXPECT_FALSE(doc.IsDocumentOpened());
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("close failed"), std::string::npos);
  EXPECT_EQ(doc.Source(), nullptr);
  doc.fail_close = false;
}

TEST(CustomDoc, DestructorRunsTheDocumentsCloseOnceAndSwallowsItsFailure) {
  int32_t closes = 0;
  {
    CountingDoc doc(&closes);
    Settings settings;
    doc.Open(&settings);
    EXPECT_EQ(closes, 1);
  }
  EXPECT_EQ(closes, 2);
  {
    CountingDoc doc(&closes);
    doc.fail_close = true;
  }
  EXPECT_EQ(closes, 3);
}

}  // namespace
}  // namespace lyr::rtl
