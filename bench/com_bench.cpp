// liblyrcom hot paths: BSTR allocation, VariantChangeType, and activation through the registry.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "lyr/com/com.h"

namespace {

void BM_SysAllocStringLen_64Chars(benchmark::State& state) {
  const std::u16string text(64, u'ж');
  for (auto _ : state) {
    BSTR s = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    benchmark::DoNotOptimize(s);
    SysFreeString(s);
  }
}
BENCHMARK(BM_SysAllocStringLen_64Chars);

void BM_VariantChangeType_BstrToI4(benchmark::State& state) {
  VARIANT source;
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocString(u" -123456 ");
  VARIANT dest;
  VariantInit(&dest);
  for (auto _ : state) {
    benchmark::DoNotOptimize(VariantChangeType(&dest, &source, 0, VT_I4));
  }
  VariantClear(&source);
}
BENCHMARK(BM_VariantChangeType_BstrToI4);

void BM_VariantChangeType_I4ToBstr(benchmark::State& state) {
  VARIANT source;
  source.vt = VT_I4;
  source.lVal = -123456;
  VARIANT dest;
  VariantInit(&dest);
  for (auto _ : state) {
    benchmark::DoNotOptimize(VariantChangeType(&dest, &source, 0, VT_BSTR));
  }
  VariantClear(&dest);
}
BENCHMARK(BM_VariantChangeType_I4ToBstr);

#ifdef LYR_COM_TEST_SERVER
// CoCreateInstance of the test server's class in a registry of `entries` classes (one is ours).
void BM_CoCreateInstance(benchmark::State& state) {
  const std::string folder =
      std::filesystem::temp_directory_path() / ("lyrcom-bench-" + std::to_string(::getpid()));
  ::setenv("LYRCOM_REGISTRY", (folder + "/registry").c_str(), 1);
  const CLSID adder = {
      0x6F1B2C3D, 0x4E5F, 0x4A6B, {0x8C, 0x7D, 0x9E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D}};
  for (int64_t i = 1; i < state.range(0); ++i) {
    LYRCOM_CLASS_ENTRY other{};
    CoCreateGuid(&other.clsid);
    other.libraryPath = "/usr/lib/other/libserver.so";
    other.threadingModel = "Apartment";
    LyrComRegisterClasses(&other, 1);
  }
  LYRCOM_CLASS_ENTRY entry{};
  entry.clsid = adder;
  entry.libraryPath = LYR_COM_TEST_SERVER;
  entry.threadingModel = "Apartment";
  entry.progId = "LyrComTest.Adder";
  LyrComRegisterClasses(&entry, 1);
  // An old file, as a registry usually is: look-ups keep its parsed entries.
  const std::string registry = folder + "/registry";
  struct timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
  ::utimensat(AT_FDCWD, registry.c_str(), times, 0);
  CoInitialize(nullptr);
  for (auto _ : state) {
    IUnknown* object = nullptr;
    if (CoCreateInstance(adder, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                         reinterpret_cast<void**>(&object)) != S_OK) {
      state.SkipWithError("CoCreateInstance failed");
      break;
    }
    object->Release();
  }
  CoUninitialize();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CoCreateInstance)->Arg(1)->Arg(100);
#endif

}  // namespace
