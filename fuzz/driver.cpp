// Stand-in for libFuzzer's main when the fuzz targets are built with GCC for the test suite:
// feeds every file given on the command line (files or folders of seeds), then mutated
// copies of them, to LLVMFuzzerTestOneInput for a bounded time. A crash or sanitizer report
// fails the test; the same targets run under real libFuzzer with -DBREVALCORE_FUZZ=ON.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void AddSeed(const std::filesystem::path& path, std::vector<std::string>& seeds) {
  std::ifstream in(path, std::ios::binary);
  seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Mutate(std::string input, std::mt19937& rng) {
  const int edits = 1 + static_cast<int>(rng() % 8);
  for (int i = 0; i < edits; ++i) {
    const size_t pos = input.empty() ? 0 : rng() % input.size();
    switch (rng() % 4) {
      case 0: if (!input.empty()) input[pos] = static_cast<char>(rng()); break;
      case 1: input.insert(pos, 1, static_cast<char>(rng())); break;
      case 2: if (!input.empty()) input.erase(pos, 1 + rng() % 16); break;
      default: if (!input.empty()) input.insert(pos, input.substr(rng() % input.size(), 1 + rng() % 32)); break;
    }
  }
  return input;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> seeds;
  double seconds = 5;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("-max_total_time=", 0) == 0) { seconds = std::atof(arg.c_str() + 16); continue; }
    std::filesystem::path p(arg);
    std::error_code ec;
    if (std::filesystem::is_directory(p, ec)) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(p, ec))
        if (entry.is_regular_file() && entry.file_size() < (1u << 20)) AddSeed(entry.path(), seeds);
    } else if (std::filesystem::is_regular_file(p, ec)) {
      AddSeed(p, seeds);
    }
  }
  if (seeds.empty()) seeds.emplace_back();
  for (const auto& s : seeds) LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());

  std::mt19937 rng(12345);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  size_t runs = seeds.size();
  while (std::chrono::steady_clock::now() < deadline) {
    const std::string input = Mutate(seeds[rng() % seeds.size()], rng);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    ++runs;
  }
  std::printf("fuzz smoke: %zu inputs, no failure\n", runs);
  return 0;
}
