// Tests of the reference-counted start-up of global services.
#include "rtl/startup.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "rtl/errors.h"

namespace lyr::rtl {
namespace {

// What the test services did, in order.
std::vector<std::string>& Journal() {
  static std::vector<std::string> journal;
  return journal;
}

bool fail_next_start = false;

const StartupService kFirst{"first", [] { Journal().push_back("start first"); },
                            []() noexcept { Journal().push_back("stop first"); }};
const StartupService kSecond{"second", [] { Journal().push_back("start second"); },
                             []() noexcept { Journal().push_back("stop second"); }};
const StartupService kFragile{"fragile",
                              [] {
                                if (fail_next_start) {
                                  fail_next_start = false;
                                  Raise("cannot start");
                                }
                                Journal().push_back("start fragile");
                              },
                              []() noexcept { Journal().push_back("stop fragile"); }};

class StartupLeaseTest : public ::testing::Test {
 protected:
  void SetUp() override { Journal().clear(); }
};

TEST_F(StartupLeaseTest, StartsOnFirstLeaseAndStopsAfterLast) {
  {
    const StartupLease one(kFirst);
    const StartupLease two(kFirst);
    const StartupLease copy(one);
    EXPECT_EQ(StartupLeaseCount(kFirst), 3);
  }
  EXPECT_EQ(StartupLeaseCount(kFirst), 0);
  EXPECT_EQ(Journal(), (std::vector<std::string>{"start first", "stop first"}));
}

TEST_F(StartupLeaseTest, FailedStartCountsNothingAndCanBeRetried) {
  fail_next_start = true;
  try {
    const StartupLease lease(kFragile);
    FAIL() << "the start should have failed";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message(), "cannot start");
  }
  EXPECT_EQ(StartupLeaseCount(kFragile), 0);
  {
    const StartupLease lease(kFragile);
    EXPECT_EQ(StartupLeaseCount(kFragile), 1);
  }
  EXPECT_EQ(Journal(), (std::vector<std::string>{"start fragile", "stop fragile"}));
}

TEST_F(StartupLeaseTest, ConcurrentLeasesStartTheServiceOnce) {
  const StartupLease held(kSecond);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([] {
      for (int j = 0; j < 200; ++j) {
        const StartupLease lease(kSecond);
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(StartupLeaseCount(kSecond), 1);
  EXPECT_EQ(Journal(), (std::vector<std::string>{"start second"}));
}

}  // namespace
}  // namespace lyr::rtl
