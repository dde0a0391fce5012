// Unpacking a 50 MB package of 500 files, beside `cp` of the same 500 files in the same run.
// The goal is Unpack within 1.5 times Cp; Unpack also reports the ratio against a `cp`
// timed just before it as "ratio_to_cp".
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/pe/pe_writer.h"
#include "platform/shell/clock.h"
#include "storage/packages/package_builder.h"
#include "storage/packages/package_check.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/unpack.h"

namespace brevalcore::packages {
namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 500;
constexpr size_t kFileBytes = 100 * 1000;  // 500 x 100 kB = 50 MB

struct Workspace {
  fs::path root, source, library, target;
  Workspace() {
    std::string pattern = (fs::temp_directory_path() / "bvc-unpack-bench-XXXXXX").string();
    root = ::mkdtemp(pattern.data());
    source = root / "src";
    target = root / "dst";
    library = root / "BVCRES.DLL";
    fs::create_directories(source);
    std::mt19937 rng(42);
    std::string bytes(kFileBytes, '\0');
    for (int i = 0; i < kFiles; ++i) {
      for (char& c : bytes) c = static_cast<char>(rng());
      std::ofstream(source / ("banner" + std::to_string(i) + ".html"), std::ios::binary) << bytes;
    }
    PackOptions options;
    options.version = "2.0.1.5";
    const PackResult packed = BuildPackage(source.string(), options);
    std::ofstream(library, std::ios::binary)
        .write(reinterpret_cast<const char*>(packed.library.data()), static_cast<std::streamsize>(packed.library.size()));
  }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  void ClearTarget() const {
    fs::remove_all(target);
    fs::create_directories(target);
  }
};

const Workspace& Space() {
  static const Workspace space;
  return space;
}

double CopyOnce(const Workspace& w) {
  const std::string command = "cp '" + w.source.string() + "'/* '" + w.target.string() + "'/";
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) std::abort();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What the control does with a newer package: load the library, check the package whole,
// empty the folder, write every file and the marker.
void UnpackOnce(const Workspace& w) {
  cResource library;
  library.SetLibraryFilePath(automation::FromUtf8(w.library.string()));
  String problem;
  const auto package = ReadPackage(library, u"2.0.1.5", problem);
  if (!package || RoomProblem(*package, w.target.string())) std::abort();
  EmptyBannerFolder(w.target.string());
  const UnpackResult result = UnpackPackage(*package, w.target.string(), u"2.0.1.5", u"01/01/2026 00:00:00",
                                            shell::SystemClock::Instance());
  if (!result.ok || result.filesWritten != kFiles) std::abort();
}

void Cp(benchmark::State& state) {
  const Workspace& w = Space();
  for (auto _ : state) {
    state.PauseTiming();
    w.ClearTarget();
    state.ResumeTiming();
    CopyOnce(w);
  }
  state.SetBytesProcessed(state.iterations() * kFiles * static_cast<int64_t>(kFileBytes));
}

void Unpack(benchmark::State& state) {
  const Workspace& w = Space();
  double unpackSeconds = 0, cpSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    w.ClearTarget();
    cpSeconds += CopyOnce(w);
    w.ClearTarget();
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    UnpackOnce(w);
    unpackSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.SetBytesProcessed(state.iterations() * kFiles * static_cast<int64_t>(kFileBytes));
  state.counters["ratio_to_cp"] = cpSeconds > 0 ? unpackSeconds / cpSeconds : 0;
}

BENCHMARK(Cp)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();
BENCHMARK(Unpack)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

}  // namespace
}  // namespace brevalcore::packages

BENCHMARK_MAIN();
