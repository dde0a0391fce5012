#pragma once
// The progress bar of the package subcommands: drawn on standard error only when it is a
// terminal (and neither NO_COLOR nor --quiet is set), so pipes and logs stay clean.
#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/brevalcore/command.h"

namespace brevalcore::tools {

class ProgressBar {
 public:
  explicit ProgressBar(std::string label) : label_(std::move(label)), enabled_(ProgressOnStderr()) {}
  ~ProgressBar() { Finish(); }

  void Update(size_t done, size_t total, uint64_t bytes) {
    if (!enabled_ || total == 0) return;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(done * kWidth / total);
    std::fprintf(stderr, "\r%s [%.*s%*s] %zu/%zu files, %.1f MB", label_.c_str(), filled,
                 "##############################", kWidth - filled, "", done, total, bytes / 1e6);
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
