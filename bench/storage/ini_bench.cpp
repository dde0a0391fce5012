// ReadIni and WriteIni on profile files laid out like a doctor's banner history (a section per
// banner, LASTDATE_<patient> keys), each beside copying the same file in the same run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "storage/ini_file.h"

namespace {

using brevalcore::automation::Ascii;
using brevalcore::automation::String;
namespace fs = std::filesystem;
namespace storage = brevalcore::storage;

constexpr int kKeysPerBanner = 100;

fs::path Folder() {
  static const fs::path folder = [] {
    fs::path f = fs::temp_directory_path() / ("brevalcore_bench_" + std::to_string(::getpid()));
    fs::create_directories(f);
    return f;
  }();
  return folder;
}

String BannerName(int banner) { return Ascii("B" + std::to_string(banner)); }

// A history file with `keys` entries, its modification time an hour back, so that it counts as
// settled and reads of it can be answered from memory.
fs::path HistoryFile(int keys) {
  const fs::path file = Folder() / ("BVC_" + std::to_string(keys) + ".INI");
  if (fs::exists(file)) return file;
  std::string bytes;
  for (int k = 0; k < keys; ++k) {
    if (k % kKeysPerBanner == 0) {
      bytes += "[B" + std::to_string(k / kKeysPerBanner) + "]\r\nSHOW=12\r\nDATA=04/12/2026 09:05:07\r\n";
      k += 2;
    }
    bytes += "LASTDATE_" + std::to_string(100000 + k) + "=04/12/2026 09:05:07\r\n";
  }
  std::ofstream(file, std::ios::binary) << bytes;
  const timespec old[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
  ::utimensat(AT_FDCWD, file.c_str(), old, 0);
  return file;
}

int LastBanner(int keys) { return (keys - 1) / kKeysPerBanner; }

void BM_ReadIniHit(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const fs::path file = HistoryFile(keys);
  const String section = BannerName(LastBanner(keys));
  const String key = Ascii("LASTDATE_" + std::to_string(100000 + keys - 2));
  if (storage::ReadIni(file, section, key).empty()) state.SkipWithError("key not found");
  for (auto _ : state) benchmark::DoNotOptimize(storage::ReadIni(file, section, key));
}

void BM_ReadIniMiss(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const fs::path file = HistoryFile(keys);
  const String section = BannerName(LastBanner(keys));
  storage::ReadIni(file, section, u"LASTDATE_NOBODY");
  for (auto _ : state) benchmark::DoNotOptimize(storage::ReadIni(file, section, u"LASTDATE_NOBODY"));
}

// The first read of a file: reading and parsing it.
void BM_ReadIniCold(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const fs::path file = HistoryFile(keys);
  const String section = BannerName(LastBanner(keys));
  for (auto _ : state) {
    storage::ClearIniCache();
    benchmark::DoNotOptimize(storage::ReadIni(file, section, u"SHOW"));
  }
}

void BM_WriteIni(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const fs::path file = Folder() / ("BVC_write_" + std::to_string(keys) + ".INI");
  fs::copy_file(HistoryFile(keys), file, fs::copy_options::overwrite_existing);
  const String section = BannerName(LastBanner(keys));
  const String key = Ascii("LASTDATE_" + std::to_string(100000 + keys - 2));
  storage::ReadIni(file, section, key);  // the first parse is the cold read's business
  int n = 0;
  for (auto _ : state) {
    // Same length every time, a different value each time: every call rewrites the file.
    storage::WriteIni(file, section, key, Ascii("0" + std::to_string(1000000 + (n++ % 1000000))));
  }
}

void BM_CopyFile(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  const fs::path file = HistoryFile(keys);
  const fs::path copy = Folder() / ("copy_" + std::to_string(keys) + ".INI");
  for (auto _ : state) fs::copy_file(file, copy, fs::copy_options::overwrite_existing);
}

BENCHMARK(BM_ReadIniHit)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_ReadIniMiss)->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK(BM_ReadIniCold)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteIni)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CopyFile)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(Folder());
  return 0;
}
