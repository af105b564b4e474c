// CStrArray (ownership, typed access, search, delimited text), CCollection and CTypedCollection,
// and the CCustomDoc lifecycle.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "rtl/collection.h"
#include "rtl/custom_doc.h"
#include "rtl/str_array.h"
#include "support/expect_raises.h"

namespace lyr::rtl {
namespace {

using test::ExpectProgramCheck;

// Counts its own destruction through a counter the test keeps.
class Part : public CBaseClass {
 public:
  explicit Part(int32_t* destroyed) : destroyed_(destroyed) {}
  ~Part() override { ++*destroyed_; }

 private:
  int32_t* destroyed_;
};

TEST(StrArray, OwnershipTypedAccessBoundsAndSearch) {
  int32_t destroyed = 0;
  {
    CStrArray list;
    list.SetOwnershipMode(StrArrayOwnership::kDestroy);
    for (int i = 0; i < 4; ++i) {
      list.AddObject("item", std::make_unique<Part>(&destroyed));
    }
    list.Delete(1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(list.Count(), 3);
    ExpectProgramCheck([&] { list.SetOwnershipMode(StrArrayOwnership::kNone); },
                       "The ownership mode of a StrArray holding objects cannot change",
                       "StrArray");
  }
  EXPECT_EQ(destroyed, 4);
  CStrArray list;
  ExpectProgramCheck([&] { list.AddObject("a", std::make_unique<Part>(&destroyed)); },
                     "The object's ownership does not match the StrArray's ownership mode",
                     "StrArray");
  EXPECT_EQ(destroyed, 5) << "a refused object is still destroyed";
  EXPECT_EQ(list.Count(), 0);
  int value = 7;
  list.AddObject("http://Host/a", &value);
  list.Add(std::string("\xC0", 1));  // windows-1251 capital A
  EXPECT_EQ(list.Object<int>(0), &value);
  EXPECT_EQ(list.Object<int>(1), nullptr);
  ExpectProgramCheck([&] { (void)list.Object<long>(0); },
                     "The object of the StrArray item is not of the requested type", "StrArray");
  for (const int index : {-1, 2}) {
    ExpectProgramCheck([&] { (void)list.Strings(index); },
                       "The index parameter raised StrArray's bounds", "StrArray");
  }
  // The case of ASCII letters only is ignored.
  EXPECT_EQ(list.IndexOf("HTTP://host/A"), 0);
  EXPECT_EQ(list.IndexOf(std::string("\xE0", 1)), -1);  // small a is another letter here
  EXPECT_EQ(list.IndexOf("http://Host/"), -1);
}

TEST(StrArray, SetDelimitedSplitsTrimsAndReplaces) {
  const std::pair<std::string, std::vector<std::string>> cases[] = {{"a; b ;c", {"a", "b", "c"}},
                                                                    {"", {""}},
                                                                    {"a;;b;", {"a", "", "b", ""}},
                                                                    {"\t x \r\n;y", {"x", "y"}}};
  for (const auto& [text, expected] : cases) {
    CStrArray list;
    list.Add("old");
    list.SetDelimited(text, ';');
    std::vector<std::string> strings;
    for (int32_t i = 0; i < list.Count(); ++i) {
      strings.push_back(list.Strings(i));
    }
    EXPECT_EQ(strings, expected) << text;
  }
}

class Parts final : public CCollection {
 public:
  explicit Parts(int32_t* destroyed) : destroyed_(destroyed) {}
  std::function<std::unique_ptr<CBaseClass>()> factory;

 protected:
  std::unique_ptr<CBaseClass> CreateItem() override {
    return factory ? factory() : std::make_unique<Part>(destroyed_);
  }

 private:
  int32_t* destroyed_;
};

TEST(Collection, DestroysEveryItemExactlyOnceAndChecksTheirClass) {
  int32_t destroyed = 0;
  {
    Parts parts(&destroyed);
    for (int32_t i = 0; i < 5; ++i) {
      parts.Add();
    }
    parts.Delete(4);
    EXPECT_EQ(destroyed, 1);
    parts.Delete(0);
    EXPECT_EQ(destroyed, 2);
    parts.factory = [] { return std::make_unique<CBaseClass>(); };
    parts.Add();
    ExpectProgramCheck([&] { (void)parts.Item<Part>(3); },
                       "The collection item is not of the requested class", "Collection");
    parts.factory = [] { return std::unique_ptr<CBaseClass>(); };
    ExpectProgramCheck([&] { parts.Add(); }, "CreateItem returned no item", "Collection");
    EXPECT_EQ(parts.Count(), 4);
  }
  EXPECT_EQ(destroyed, 5);
}

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
  bool Open(CBaseClass* source) override { return opened_ = CCustomDoc::Open(source); }
  [[nodiscard]] bool IsDocumentOpened() const override { return opened_; }
  bool fail_close = false;

 private:
  int32_t* closes_;
  bool opened_ = false;
};

TEST(CustomDoc, OpenRunsTheDocumentsCloseFirstAndAFailingCloseStopsIt) {
  int32_t closes = 0;
  CBaseClass first;
  CBaseClass second;
  {
    CountingDoc doc(&closes);
    EXPECT_TRUE(doc.Open(&first));
    EXPECT_TRUE(doc.Open(&second));
    EXPECT_EQ(closes, 2);
    EXPECT_EQ(doc.Source(), &second);
  }
  EXPECT_EQ(closes, 3) << "the destructor runs the document's Close";
  CountingDoc doc(&closes);
  doc.fail_close = true;
  test::ExpectRaises([&] { doc.Open(&first); }, "close failed");
  EXPECT_EQ(doc.Source(), nullptr);
  doc.SetErrorHandler(nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(doc.Open(&first));
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("close failed"), std::string::npos);
  EXPECT_EQ(doc.Source(), nullptr);
  doc.SetErrorHandler(&CBaseClass::ReRaise);  // the destructor swallows the failure
}

}  // namespace
}  // namespace lyr::rtl
