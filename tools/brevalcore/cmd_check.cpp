// brevalcore check FILE: compiles a script without running it and reports every syntax
// error with its line, column and a caret under the place.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/automation/error.h"
#include "platform/automation/text.h"
#include "platform/script/parser/parser.h"
#include "tools/brevalcore/command.h"

namespace brevalcore::tools {
namespace {

using automation::String;

int RunCheck(const std::vector<std::string>& args);

const Subcommand kCheck{
    "check", "report every syntax error of a VBScript file",
    "usage: brevalcore check FILE\n"
    "Compiles FILE without running it. Each syntax error is printed as\n"
    "FILE:LINE:COLUMN: error NUMBER: DESCRIPTION, followed by the line and a caret.\n"
    "Exit status: 0 when there is none, 1 otherwise.\n",
    RunCheck};
SubcommandRegistration registration(kCheck);

std::vector<String> Lines(const String& text) {
  std::vector<String> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\n') lines.emplace_back();
    else if (text[i] != u'\r') lines.back().push_back(text[i]);
  }
  return lines;
}

int RunCheck(const std::vector<std::string>& args) {
  if (args.size() != 1) return UsageError(kCheck, args.empty() ? "missing FILE" : "too many arguments");
  const std::string& path = args[0];
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "brevalcore check: cannot open %s\n", path.c_str());
    return 1;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string bytes = buffer.str();
  std::string_view view(bytes);
  if (view.starts_with("\xEF\xBB\xBF")) view.remove_prefix(3);
  const String source = automation::IsValidUtf8(view) ? automation::FromUtf8(view) : automation::FromCp1252(view);

  const script::parse::ParseResult result = script::parse::ParseProgram(source);
  const std::vector<String> lines = Lines(source);
  for (const auto& e : result.errors) {
    std::printf("%s:%d:%d: error %d: %s\n", path.c_str(), e.line, e.column, e.number,
                automation::ErrorText(e.number).c_str());
    if (e.line >= 1 && static_cast<size_t>(e.line) <= lines.size()) {
      const String& line = lines[e.line - 1];
      std::printf("  %s\n  ", automation::ToUtf8(line).c_str());
      // Keep tabs so that the caret lines up under the same characters.
      for (int i = 0; i + 1 < e.column && static_cast<size_t>(i) < line.size(); ++i) std::putchar(line[i] == u'\t' ? '\t' : ' ');
      std::printf("^\n");
    }
  }
  return result.errors.empty() ? 0 : 1;
}

}  // namespace
}  // namespace brevalcore::tools
