// RtfCompile.StringCompile over arbitrary templates, variables and answers: it must always end,
// and what it reports must be tags left in the output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>

#include "commands/rtf_compile.h"

using namespace brevalcore;

namespace {

// Answers every request with a text taken from the input, separators included.
class EchoAnswers : public automation::EventSink {
 public:
  explicit EchoAnswers(automation::String answer) : answer_(std::move(answer)) {}
  void OnEvent(automation::DispId, automation::StringView, std::span<automation::Variant> args) override {
    args[1] = automation::Variant(answer_);
  }

 private:
  automation::String answer_;
};

}  // namespace

// Input layout: first byte = separator length (1..3), then the separator, then a line of
// "NAME=value" variables, an answer line, and the template.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t sepLength = 1 + data[0] % 3;
  if (size < 1 + sepLength) return 0;
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const automation::String text = automation::FromCp1252(bytes);
  auto rtf = automation::MakeRef<commands::RtfCompile>();
  rtf->SetSepTag(text.substr(0, sepLength));
  automation::String rest = text.substr(sepLength);
  const size_t varsEnd = rest.find(u'\n');
  automation::String vars = varsEnd == automation::String::npos ? automation::String() : rest.substr(0, varsEnd);
  rest = varsEnd == automation::String::npos ? rest : rest.substr(varsEnd + 1);
  const size_t answerEnd = rest.find(u'\n');
  const automation::String answer = answerEnd == automation::String::npos ? automation::String() : rest.substr(0, answerEnd);
  const automation::String templ = answerEnd == automation::String::npos ? rest : rest.substr(answerEnd + 1);
  std::set<automation::String> known;  // upper-cased names whose value is not the error text
  size_t start = 0;
  while (start < vars.size()) {
    size_t end = vars.find(u';', start);
    if (end == automation::String::npos) end = vars.size();
    const automation::String item = vars.substr(start, end - start);
    const size_t eq = item.find(u'=');
    try {
      if (eq != automation::String::npos) {
        rtf->VariableAdd(item.substr(0, eq), item.substr(eq + 1));
        if (item.substr(eq + 1) != commands::kVariableError) known.insert(automation::ToUpper(item.substr(0, eq)));
      }
    } catch (const automation::AutomationError&) {
      // duplicate names are the caller's failure
    }
    start = end + 1;
  }
  EchoAnswers answers(answer);
  rtf->Events().Connect(&answers);
  automation::Variant out;
  const automation::String unresolved = rtf->StringCompile(automation::Variant(templ), out);
  // The report must be exactly what a plain scan of the finished text finds unknown.
  const automation::StringView compiled = out.AsString();
  const automation::String sep = rtf->SepTag();
  automation::String expected;
  size_t pos = 0;
  for (;;) {
    const size_t open = compiled.find(sep, pos);
    if (open == automation::String::npos) break;
    const size_t close = compiled.find(sep, open + sep.size());
    if (close == automation::String::npos) break;
    const automation::String tag(compiled.substr(open, close + sep.size() - open));
    automation::String name;
    for (size_t i = 0; i < tag.size();) {
      if (tag.compare(i, sep.size(), sep) == 0) i += sep.size();
      else name += tag[i++];
    }
    if (!known.count(automation::ToUpper(name))) expected += tag + u"\r\n";
    pos = close + sep.size();
  }
  if (expected != unresolved) std::abort();
  return 0;
}
