// Tests of CCollection and CTypedCollection: item creation, ownership and typed access.
#include "rtl/collection.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "support/expect_raises.h"

namespace lyr::rtl {
namespace {

// Counts its own destruction through a counter the test keeps.
class Part : public CBaseClass {
 public:
  explicit Part(int32_t* destroyed = nullptr) : destroyed_(destroyed) {}
  ~Part() override {
    if (destroyed_ != nullptr) {
      ++*destroyed_;
    }
  }
  int32_t number = 0;

 private:
  int32_t* destroyed_;
};

class OtherPart final : public CBaseClass {};

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

class Wheel final : public Part {};
class Wheels final : public CTypedCollection<Wheel> {};

// Expects op to fail a program check of the unit Collection.
void ExpectCollectionCheck(const std::function<void()>& op, const std::string& message) {
  test::ExpectProgramCheck(op, message, "Collection");
}

TEST(Collection, DestroysEveryItemExactlyOnce) {
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
  }
  EXPECT_EQ(destroyed, 5);
}

TEST(Collection, ItemOfAnotherClassFailsProgramCheck) {
  int32_t destroyed = 0;
  Parts parts(&destroyed);
  parts.factory = [] { return std::make_unique<OtherPart>(); };
  parts.Add();
  ExpectCollectionCheck([&] { (void)parts.Item<Part>(0); },
                        "The collection item is not of the requested class");
  EXPECT_NO_THROW((void)parts.Item<OtherPart>(0));
}

TEST(Collection, CreateItemReturningNothingFailsProgramCheck) {
  int32_t destroyed = 0;
  Parts parts(&destroyed);
  parts.factory = [] { return std::unique_ptr<CBaseClass>(); };
  ExpectCollectionCheck([&] { parts.Add(); }, "CreateItem returned no item");
  EXPECT_EQ(parts.Count(), 0);
}

TEST(TypedCollection, AddAndItemsReturnTheItemClass) {
  Wheels wheels;
  Wheel& front = wheels.Add();
  front.number = 1;
  wheels.Add().number = 2;
  EXPECT_EQ(wheels.Count(), 2);
  EXPECT_EQ(&wheels.Items(0), &front);
  EXPECT_EQ(wheels.Items(1).number, 2);
  EXPECT_EQ(wheels.Item<Part>(1).number, 2);
}

}  // namespace
}  // namespace lyr::rtl
