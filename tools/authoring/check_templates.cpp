// RTF templates: the fields are those the control's own template compiler finds (it is run on
// the template with the control's fields and records what it would ask the host for); the
// RTF groups must balance, or word processors refuse the filled document.
#include <algorithm>

#include "commands/procedures.h"
#include "commands/rtf_compile.h"
#include "tools/authoring/checker.h"

namespace brevalcore::authoring {

namespace {

class FieldRecorder : public automation::EventSink {
 public:
  void OnEvent(automation::DispId, StringView, std::span<automation::Variant> args) override {
    if (!args.empty()) asked.push_back(automation::ToString(args[0]));
  }
  std::vector<String> asked;
};

class TemplateChecker {
 public:
  TemplateChecker(Checker& checker, std::string file) : c_(checker), file_(std::move(file)) {}

  void Run(const std::string& bytes) {
    text_ = automation::FromCp1252(bytes);  // as the compiler reads a template
    if (!text_.starts_with(u"{\\rtf"))
      c_.Warning(At(0), "template-not-rtf", "the file does not start with '{\\rtf': word processors may not open the document");
    Groups();
    Fields();
  }

 private:
  Place At(size_t offset) const {
    int line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < offset && i < text_.size(); ++i)
      if (text_[i] == u'\n') {
        ++line;
        lineStart = i + 1;
      }
    return {file_, line, static_cast<int>(offset - lineStart) + 1};
  }

  // "{" opens a group and "}" closes it, unless a backslash escapes them.
  void Groups() {
    std::vector<size_t> open;
    for (size_t i = 0; i < text_.size(); ++i) {
      const char16_t ch = text_[i];
      if (ch == u'\\') {
        ++i;
      } else if (ch == u'{') {
        open.push_back(i);
      } else if (ch == u'}') {
        if (open.empty()) {
          c_.Error(At(i), "template-groups", "this '}' closes no group: the filled document is not valid RTF");
          return;
        }
        open.pop_back();
      }
    }
    if (!open.empty())
      c_.Error(At(open.back()), "template-groups",
               std::to_string(open.size()) + (open.size() == 1 ? " group is" : " groups are") +
                   " never closed (the last opens here): the filled document is not valid RTF");
  }

  void Fields() {
    auto rtf = automation::MakeRef<commands::RtfCompile>();
    std::vector<String> builtIn;
    for (const char16_t* field : commands::kDocumentFields) {
      rtf->VariableAdd(field, u"x");
      builtIn.emplace_back(field);
    }
    FieldRecorder recorder;
    rtf->Events().Connect(&recorder);
    rtf->Compile(text_);
    rtf->Events().Disconnect(&recorder);
    for (const String& name : recorder.asked) {
      const String tag = String(commands::kDefaultSepTag) + name + commands::kDefaultSepTag;
      const size_t where = text_.find(tag);
      const Place at = At(where == String::npos ? 0 : where);
      if (name.find_first_of(u"\\{}\r\n") != String::npos) {
        c_.Error(at, "template-field",
                 "the field " + Quoted(name) + " holds RTF formatting (the word processor split it): the host is asked "
                 "for a field of that name; type the field again in one go");
      } else if (name.empty()) {
        c_.Warning(at, "template-field", "an empty field '\?\?\?\?': the host is asked for a field with no name");
      } else if (const std::string hint = DidYouMean(name, builtIn); !hint.empty()) {
        c_.Warning(at, "template-field",
                   "the field " + Quoted(name) + " is not one the control fills, so the host is asked for it" + hint);
      }
    }
    LoneSeparator();
  }

  // Tags pair separators from the start: an odd one out stays in the document as it is.
  void LoneSeparator() {
    const StringView sep = commands::kDefaultSepTag;
    std::vector<size_t> at;
    for (size_t i = text_.find(sep); i != String::npos; i = text_.find(sep, i + sep.size())) at.push_back(i);
    if (at.size() % 2 == 1)
      c_.Warning(At(at.back()), "template-separator", "a '\?\?' without its pair stays in the document as it is");
  }

  Checker& c_;
  std::string file_;
  String text_;
};

}  // namespace

void Checker::CheckTemplate(const PackageEntry& rtf, const std::string& shownAs) {
  const std::optional<std::string> bytes = ReadText(rtf, shownAs);
  if (!bytes) return;
  TemplateChecker(*this, shownAs).Run(*bytes);
}

}  // namespace brevalcore::authoring
