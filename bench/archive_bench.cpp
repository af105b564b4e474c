// The archive adaptor on 50 MB of random data (stands for encrypted and already packed documents)
// and 50 MB of text: building a package archive from a folder, extracting it, and packing one
// document in memory. BM_ZlibDeflateOnce is the cost of one plain deflate of the same data, the
// floor for an adaptor that deflates each entry once.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include "package/os_abbrevia_tool.h"
#include "rtl/file_utils.h"
#include "rtl/whole_file.h"

namespace {

using lyr::package::COsAbbreviaTool;

constexpr size_t kSize = 50 * 1000 * 1000;

std::string RandomBytes(size_t size) {
  std::string bytes(size, '\0');
  std::mt19937_64 random(880);
  for (size_t i = 0; i + 8 <= size; i += 8) {
    const uint64_t value = random();
    std::memcpy(bytes.data() + i, &value, 8);
  }
  return bytes;
}

std::string Text(size_t size) {
  std::string text;
  text.reserve(size + 128);
  std::mt19937 random(1151);
  while (text.size() < size) {
    text += "<Документ КНД=\"1151001\" Период=\"" + std::to_string(random() % 100) + "\" Сумма=\"" +
            std::to_string(random() % 1000000) + "\"/>\n";
  }
  text.resize(size);
  return text;
}

const std::string& Data(int64_t kind) {
  static const std::string random = RandomBytes(kSize);
  static const std::string text = Text(kSize);
  return kind == 0 ? random : text;
}

// A scratch folder holding one 50 MB file, removed at the end.
class Folder {
 public:
  explicit Folder(const std::string& bytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "lyr-bench-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
    std::filesystem::create_directory(path_ + "/in");
    lyr::rtl::WriteStringToFile(path_ + "/in/document.bin", bytes);
  }
  ~Folder() { std::filesystem::remove_all(path_); }
  [[nodiscard]] const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

void SetLabel(benchmark::State& state) {
  state.SetLabel(state.range(0) == 0 ? "random" : "text");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kSize));
}

void BM_ZlibDeflateOnce(benchmark::State& state) {
  const std::string& data = Data(state.range(0));
  std::string out(::compressBound(data.size()), '\0');
  for (auto _ : state) {
    uLongf size = out.size();
    ::compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                reinterpret_cast<const Bytef*>(data.data()), data.size(), 6);
    benchmark::DoNotOptimize(size);
  }
  SetLabel(state);
}
BENCHMARK(BM_ZlibDeflateOnce)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PackDocument(benchmark::State& state) {
  const std::string& data = Data(state.range(0));
  size_t packed = 0;
  for (auto _ : state) {
    packed = COsAbbreviaTool::PackDocument("file", data).size();
  }
  state.counters["archive_MB"] = static_cast<double>(packed) / 1e6;
  SetLabel(state);
}
BENCHMARK(BM_PackDocument)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_UnpackDocument(benchmark::State& state) {
  const std::string packed = COsAbbreviaTool::PackDocument("file", Data(state.range(0)));
  for (auto _ : state) {
    lyr::rtl::DecompressionBudget budget;
    benchmark::DoNotOptimize(COsAbbreviaTool::UnpackDocument(packed, budget));
  }
  SetLabel(state);
}
BENCHMARK(BM_UnpackDocument)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_BuildArchiveFromDirectory(benchmark::State& state) {
  const Folder folder(Data(state.range(0)));
  const std::string archive = folder.Path() + "/package.zip";
  for (auto _ : state) {
    COsAbbreviaTool::BuildArchiveFromDirectory(folder.Path() + "/in", "*.*", archive);
  }
  state.counters["archive_MB"] = static_cast<double>(std::filesystem::file_size(archive)) / 1e6;
  SetLabel(state);
}
BENCHMARK(BM_BuildArchiveFromDirectory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ExtractArchive(benchmark::State& state) {
  const Folder folder(Data(state.range(0)));
  const std::string archive = folder.Path() + "/package.zip";
  COsAbbreviaTool::BuildArchiveFromDirectory(folder.Path() + "/in", "*.*", archive);
  for (auto _ : state) {
    COsAbbreviaTool::ExtractArchive(folder.Path() + "/out", archive, false);
  }
  SetLabel(state);
}
BENCHMARK(BM_ExtractArchive)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
