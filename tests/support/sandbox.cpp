// The test sandbox.
#include "support/sandbox.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace lyr::test {

void Sandbox::SetUp() {
  const char* old_tmp = std::getenv("TMP");
  had_tmp_ = old_tmp != nullptr;
  old_tmp_ = had_tmp_ ? old_tmp : "";
  std::string pattern = (std::filesystem::temp_directory_path() / "lyr-test-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  home_ = pattern;
  ::chmod(home_.c_str(), 0700);
  const std::string tmp = (home_ / "tmp").string();
  std::filesystem::create_directory(tmp);
  ::setenv("LYR_TDX_HOME", (home_ / "user").c_str(), 1);
  ::setenv("LYR_TDX_MACHINE_HOME", (home_ / "machine").c_str(), 1);
  ::setenv("LYRCOM_REGISTRY", (home_ / "registry").c_str(), 1);
  // A machine-wide registry of the computer running the tests stays out of them.
  ::setenv("LYRCOM_MACHINE_REGISTRY", (home_ / "etc/lyrcom/registry").c_str(), 1);
  ::setenv("TMP", tmp.c_str(), 1);
}

void Sandbox::TearDown() {
  // Tests may leave read-only files and folders behind: make everything writable first.
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(home_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink()) {
      ::chmod(it->path().c_str(), it->is_directory() ? 0700 : 0600);
    }
  }
  std::filesystem::remove_all(home_, ec);
  if (had_tmp_) {
    ::setenv("TMP", old_tmp_.c_str(), 1);
  } else {
    ::unsetenv("TMP");
  }
}

std::string Sandbox::WriteFile(const std::string& name, const std::string& bytes) const {
  const std::filesystem::path path = home_ / name;
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  return path.string();
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return -1;
  }
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    if (output != nullptr) {
      output->append(buffer.data(), n);
    }
  }
  const int status = ::pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace lyr::test
