#pragma once
// The progress bar of the subcommands whose work can pass a second (pack, unpack, check): drawn on standard error only when it is a
// terminal (and neither NO_COLOR nor --quiet is set), so pipes and logs stay clean.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "tools/brevalcore/command.h"

namespace brevalcore::tools {

class ProgressBar {
 public:
  explicit ProgressBar(std::string label) : label_(std::move(label)), enabled_(ProgressOnStderr()) {}
  ~ProgressBar() { Finish(); }

  // `bytes` is left out of the line when it is not known.
  void Update(size_t done, size_t total, std::optional<uint64_t> bytes = std::nullopt) {
    if (!enabled_ || total == 0) return;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(std::min(done, total) * kWidth / total);
    std::fprintf(stderr, "\r%s [%.*s%*s] %zu/%zu files", label_.c_str(), filled, "##############################",
                 kWidth - filled, "", done, total);
    if (bytes) std::fprintf(stderr, ", %.1f MB", static_cast<double>(*bytes) / 1e6);
    std::fflush(stderr);
    drawn_ = true;
  }
  void Finish() {
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
  }

 private:
  std::string label_;
  bool enabled_;
  bool drawn_ = false;
};

}  // namespace brevalcore::tools
