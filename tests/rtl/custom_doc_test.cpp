// Tests of CCustomDoc: base behaviours of the lifecycle and closing on destruction.
#include "rtl/custom_doc.h"

#include <gtest/gtest.h>

#include <string>

#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

// Only what is abstract is filled in.
class PlainDoc final : public CCustomDoc {
 public:
  [[nodiscard]] bool IsDocumentOpened() const override { return false; }
};

// A document that asks the base for IsDocumentOpened.
class AbstractCaller final : public CCustomDoc {
 public:
  [[nodiscard]] bool IsDocumentOpened() const override { return CCustomDoc::IsDocumentOpened(); }
};

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

// A reserved flag that is set (no real document does so) turns the base results around.
class FlaggedDoc final : public CCustomDoc {
 public:
  [[nodiscard]] bool IsDocumentOpened() const override { return false; }
  [[nodiscard]] bool ReservedFlag() const override { return true; }
  [[nodiscard]] std::string ReservedText() const override { return "text"; }
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

TEST(CustomDoc, FailingCloseStopsOpenWithTheSameMessage) {
  int32_t closes = 0;
  CountingDoc doc(&closes);
  Settings settings;
  doc.fail_close = true;
  try {
    doc.Open(&settings);
    FAIL();
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "close failed");
  }
  EXPECT_EQ(doc.Source(), nullptr);
  doc.fail_close = false;
}

TEST(CustomDoc, FailingCloseWithoutHandlerMakesOpenReturnFalse) {
  int32_t closes = 0;
  CountingDoc doc(&closes);
  Settings settings;
  doc.SetErrorHandler(nullptr);
  doc.fail_close = true;
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(doc.Open(&settings));
  EXPECT_FALSE(doc.IsDocumentOpened());
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("close failed"), std::string::npos);
  EXPECT_EQ(doc.Source(), nullptr);
  doc.fail_close = false;
}

TEST(CustomDoc, DestructorRunsTheDocumentsCloseOnce) {
  int32_t closes = 0;
  {
    CountingDoc doc(&closes);
    Settings settings;
    doc.Open(&settings);
    EXPECT_EQ(closes, 1);
  }
  EXPECT_EQ(closes, 2);
}

TEST(CustomDoc, DestructorSwallowsAFailingClose) {
  int32_t closes = 0;
  {
    CountingDoc doc(&closes);
    doc.fail_close = true;
  }
  EXPECT_EQ(closes, 1);
}

}  // namespace
}  // namespace lyr::rtl
