// StringCompile of a 1 MB template with 1,000 tags, beside a plain copy of the same text.
#include <benchmark/benchmark.h>

#include "commands/rtf_compile.h"

using namespace brevalcore;

namespace {

constexpr size_t kTemplateChars = 1 << 20;
constexpr int kTags = 1000;

automation::String MakeTemplate() {
  automation::String text;
  text.reserve(kTemplateChars + kTags * 16);
  const automation::String filler = u"{\\rtf1\\ansi Lorem ipsum dolor sit amet, consectetur adipiscing elit? \\par}\r\n";
  const size_t gap = kTemplateChars / kTags;
  for (int i = 0; i < kTags; ++i) {
    const size_t target = (static_cast<size_t>(i) + 1) * gap;
    while (text.size() + filler.size() < target) text += filler;
    text.append(target - text.size(), u'x');
    text += u"??VAR" + automation::Ascii(std::to_string(i % 50)) + u"??";
  }
  return text;
}

const automation::String& Template() {
  static const automation::String text = MakeTemplate();
  return text;
}

void BM_PlainCopy(benchmark::State& state) {
  const automation::String& text = Template();
  for (auto _ : state) {
    automation::String copy(text);
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_PlainCopy);

void BM_StringCompile(benchmark::State& state) {
  const automation::String& text = Template();
  auto rtf = automation::MakeRef<commands::RtfCompile>();
  for (int i = 0; i < 50; ++i)
    rtf->VariableAdd(u"VAR" + automation::Ascii(std::to_string(i)), u"valore\r\ncon\tcampi");
  for (auto _ : state) {
    auto compiled = rtf->Compile(text);
    benchmark::DoNotOptimize(compiled.text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_StringCompile);

// The same text with its tags made plain: the cost of the scans and the copy alone.
void BM_StringCompileNoTags(benchmark::State& state) {
  automation::String text = Template();
  for (auto& c : text)
    if (c == u'?') c = u'!';
  auto rtf = automation::MakeRef<commands::RtfCompile>();
  for (auto _ : state) {
    auto compiled = rtf->Compile(text);
    benchmark::DoNotOptimize(compiled.text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}
BENCHMARK(BM_StringCompileNoTags);

}  // namespace

BENCHMARK_MAIN();
