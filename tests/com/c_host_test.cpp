// The C host: a program in C11 that includes the public header and calls liblyrcom.
#include <gtest/gtest.h>

#include <string>

#include "support/sandbox.h"

namespace {

using CHost = lyr::test::Sandbox;

TEST_F(CHost, CompilesAgainstThePublicHeaderAndRuns) {
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand(std::string(LYR_COM_C_HOST) + " 2>&1", &output), 0) << output;
  EXPECT_EQ(output, "c host ok\n");
}

}  // namespace
