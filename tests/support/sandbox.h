// Test sandbox: a private 0700 home for one test, with the library's locations pointed into it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace lyr::test {

// LYR_TDX_HOME, LYR_TDX_MACHINE_HOME, TMP, LYRCOM_REGISTRY and LYRCOM_MACHINE_REGISTRY point into
// a fresh 0700 folder, removed (links not followed) when the test ends.
class Sandbox : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  [[nodiscard]] const std::filesystem::path& Home() const { return home_; }
  [[nodiscard]] std::string PathOf(const std::string& name) const {
    return (home_ / name).string();
  }
  // Writes bytes to a file inside the sandbox and returns its path.
  std::string WriteFile(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path home_;
  // TMP as it was before the test, restored by TearDown.
  std::string old_tmp_;
  bool had_tmp_ = false;
};

// A whole file, read without the library.
std::string ReadAll(const std::filesystem::path& path);

// Runs a shell command, returns its exit status and collects standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

}  // namespace lyr::test
