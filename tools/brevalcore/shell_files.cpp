// The bash and zsh completion scripts and the manual pages, written from the same CLI::App
// definitions the parser uses, so they can never list an option the tool does not take.
#include <sstream>

#include "tools/brevalcore/cli.h"

namespace brevalcore::tools {
namespace {

// Every (sub)command, depth first: "", "check", "ini", "ini read", ...
void Walk(const CLI::App& app, std::vector<const CLI::App*>& out) {
  out.push_back(&app);
  for (const CLI::App* sub : VisibleSubcommands(app)) Walk(*sub, out);
}

std::vector<const CLI::App*> AllCommands(const CLI::App& app) {
  std::vector<const CLI::App*> all;
  Walk(app, all);
  return all;
}

std::vector<const CLI::Option*> VisibleOptions(const CLI::App& app) {
  std::vector<const CLI::Option*> options;
  for (const CLI::Option* option : app.get_options())
    if (!option->get_group().empty()) options.push_back(option);
  return options;
}

// What a value of `option` is: a folder, a file, one of a few words, or anything.
enum class ValueKind { kNone, kFolder, kFile, kWords, kText };

std::string ChoicesOf(const CLI::Option& option) {
  const std::string type = option.get_type_name();
  const size_t open = type.find('{'), close = type.rfind('}');
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  std::string words = type.substr(open + 1, close - open - 1);
  for (char& c : words)
    if (c == ',') c = ' ';
  return words;
}

ValueKind KindOf(const CLI::Option& option) {
  if (option.get_expected_min() == 0 && !option.get_positional()) return ValueKind::kNone;
  if (!ChoicesOf(option).empty()) return ValueKind::kWords;
  // Operands say what they are by their name, option values by their type name.
  const std::string type = option.get_positional() ? option.get_name(true) : option.get_type_name();
  if (type == "DIR") return ValueKind::kFolder;
  if (type == "FILE" || type == "PATH" || type == "TEMPLATE" || type == "OUTPUT" || type.ends_with(".vbs"))
    return ValueKind::kFile;
  return ValueKind::kText;
}

std::string Words(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

std::vector<std::string> SubcommandNames(const CLI::App& app) {
  std::vector<std::string> names;
  for (const CLI::App* sub : VisibleSubcommands(app)) names.push_back(sub->get_name());
  return names;
}

// The kind of the operands of `app`: the first positional's kind stands for all.
ValueKind OperandKind(const CLI::App& app) {
  for (const CLI::Option* option : VisibleOptions(app))
    if (option->get_positional()) return KindOf(*option);
  return ValueKind::kNone;
}

std::string RoffText(const std::string& text) {
  std::string out;
  bool lineStart = true;
  for (char c : text) {
    if (lineStart && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
    lineStart = c == '\n';
  }
  return out;
}

std::string ManName(const CLI::App& app) {
  std::string name = "brevalcore";
  const std::string path = CommandPath(app);
  for (char c : path) name += c == ' ' ? '-' : c;
  if (!path.empty()) name.insert(10, "-");
  return name;
}

void ManOptions(std::ostringstream& page, const CLI::App& app) {
  for (const CLI::Option* option : VisibleOptions(app)) {
    std::string names = option->get_name(/*positional=*/false, /*all_options=*/true);
    if (option->get_positional()) names = option->get_name(true);
    const std::string type = option->get_type_name();
    page << ".TP\n.B " << RoffText(names);
    if (!option->get_positional() && option->get_expected_min() > 0) page << " \\fI" << RoffText(type) << "\\fR";
    page << "\n" << RoffText(option->get_description().empty() ? type : option->get_description()) << "\n";
  }
}

std::string ManPage(const CLI::App& app) {
  std::ostringstream page;
  const std::string name = ManName(app);
  std::string upper = name;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  page << ".TH " << RoffText(upper) << " 1 \"\" \"brevalcore\" \"Brevalcore manual\"\n";
  page << ".SH NAME\n" << RoffText(name) << " \\- " << RoffText(app.get_description()) << "\n";
  page << ".SH SYNOPSIS\n.nf\n";
  std::vector<const CLI::App*> forms = {&app};
  if (!VisibleSubcommands(app).empty() && app.get_parent()) forms = VisibleSubcommands(app);
  for (const CLI::App* form : forms) {
    std::string usage = "brevalcore " + CommandPath(*form) + (VisibleOptions(*form).empty() ? "" : " [OPTIONS]");
    for (const CLI::Option* option : VisibleOptions(*form))
      if (option->get_positional())
        usage += " " + std::string(option->get_required() ? "" : "[") + option->get_name(true) +
                 (option->get_expected_max() > 1 ? "..." : "") + (option->get_required() ? "" : "]");
    if (!form->get_parent()) usage += " COMMAND ...";
    page << RoffText(usage) << "\n";
  }
  page << ".fi\n.SH DESCRIPTION\n.nf\n" << RoffText(app.get_footer()) << "\n.fi\n";
  page << ".SH OPTIONS\n";
  ManOptions(page, app);
  for (const CLI::App* sub : VisibleSubcommands(app)) {
    if (!app.get_parent()) {
      page << ".TP\n.B " << RoffText(sub->get_name()) << "\n" << RoffText(sub->get_description())
           << " (see \\fB" << RoffText(ManName(*sub)) << "\\fR(1))\n";
      continue;
    }
    page << ".SS " << RoffText(CommandPath(*sub)) << "\n" << RoffText(sub->get_description()) << "\n";
    ManOptions(page, *sub);
  }
  page << ".SH SEE ALSO\n" << (app.get_parent() ? "\\fBbrevalcore\\fR(1)" : "docs/cli.md") << "\n";
  return page.str();
}

}  // namespace

std::string BashCompletion(const CLI::App& root) {
  std::ostringstream s;
  s << "# bash completion for brevalcore, generated from its command-line definitions\n"
       "_brevalcore() {\n"
       "  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} path= i\n"
       "  for ((i = 1; i < COMP_CWORD; i++)); do\n"
       "    case \"$path ${COMP_WORDS[i]}\" in\n";
  const auto all = AllCommands(root);
  for (const CLI::App* app : all)
    if (app->get_parent()) s << "      \" " << CommandPath(*app) << "\") path=\"$path ${COMP_WORDS[i]}\" ;;\n";
  s << "    esac\n  done\n  case \"$path|$prev\" in\n";
  for (const CLI::App* app : all) {
    for (const CLI::Option* option : VisibleOptions(*app)) {
      if (option->get_positional()) continue;
      const ValueKind kind = KindOf(*option);
      if (kind == ValueKind::kNone) continue;
      std::string action = "return 0";
      if (kind == ValueKind::kFolder) action = "COMPREPLY=($(compgen -d -- \"$cur\")); return 0";
      if (kind == ValueKind::kFile) action = "COMPREPLY=($(compgen -f -- \"$cur\")); return 0";
      if (kind == ValueKind::kWords) action = "COMPREPLY=($(compgen -W \"" + ChoicesOf(*option) + "\" -- \"$cur\")); return 0";
      std::string patterns;
      for (const auto& name : option->get_lnames())
        patterns += (patterns.empty() ? "" : "|") + std::string("\"") + (app->get_parent() ? " " : "") +
                    CommandPath(*app) + "|--" + name + "\"";
      for (const auto& name : option->get_snames())
        patterns += "|\"" + std::string(app->get_parent() ? " " : "") + CommandPath(*app) + "|-" + name + "\"";
      s << "    " << patterns << ") " << action << " ;;\n";
    }
  }
  s << "  esac\n  local options= words= operands=\n  case \"$path\" in\n";
  for (const CLI::App* app : all) {
    const ValueKind operands = OperandKind(*app);
    s << "    \"" << (app->get_parent() ? " " : "") << CommandPath(*app) << "\") options=\""
      << Words(OptionNames(*app)) << " --help\" words=\"" << Words(SubcommandNames(*app)) << "\" operands="
      << (operands == ValueKind::kFolder ? "d" : operands == ValueKind::kFile ? "f" : "") << " ;;\n";
  }
  s << "  esac\n"
       "  if [[ $cur == -* ]]; then\n"
       "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
       "  else\n"
       "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
       "    [[ -n $operands ]] && COMPREPLY+=($(compgen -$operands -- \"$cur\"))\n"
       "  fi\n"
       "  return 0\n"
       "}\n"
       "complete -o filenames -F _brevalcore brevalcore\n";
  return s.str();
}

std::string ZshCompletion(const CLI::App& root) {
  std::ostringstream s;
  s << "#compdef brevalcore\n"
       "# zsh completion for brevalcore, generated from its command-line definitions. (Not\n"
       "# \"path\": zsh ties that name to PATH.)\n"
       "local cmdpath= i\n"
       "for ((i = 2; i < CURRENT; i++)); do\n"
       "  case \"$cmdpath ${words[i]}\" in\n";
  const auto all = AllCommands(root);
  for (const CLI::App* app : all)
    if (app->get_parent()) s << "    \" " << CommandPath(*app) << "\") cmdpath=\"$cmdpath ${words[i]}\" ;;\n";
  s << "  esac\ndone\nlocal prev=${words[CURRENT-1]}\ncase \"$cmdpath|$prev\" in\n";
  for (const CLI::App* app : all) {
    for (const CLI::Option* option : VisibleOptions(*app)) {
      const ValueKind kind = KindOf(*option);
      if (option->get_positional() || kind == ValueKind::kNone) continue;
      std::string action = "return 0";
      if (kind == ValueKind::kFolder) action = "_files -/; return";
      if (kind == ValueKind::kFile) action = "_files; return";
      if (kind == ValueKind::kWords) action = "compadd -- " + ChoicesOf(*option) + "; return";
      for (const auto& name : option->get_lnames())
        s << "  \"" << (app->get_parent() ? " " : "") << CommandPath(*app) << "|--" << name << "\") " << action
          << " ;;\n";
    }
  }
  s << "esac\nlocal -a opts subs\nlocal operands=\ncase \"$cmdpath\" in\n";
  for (const CLI::App* app : all) {
    const ValueKind operands = OperandKind(*app);
    s << "  \"" << (app->get_parent() ? " " : "") << CommandPath(*app) << "\") opts=(" << Words(OptionNames(*app))
      << " --help) subs=(" << Words(SubcommandNames(*app)) << ") operands="
      << (operands == ValueKind::kFolder ? "d" : operands == ValueKind::kFile ? "f" : "") << " ;;\n";
  }
  s << "esac\n"
       "if [[ $PREFIX == -* ]]; then\n"
       "  compadd -- $opts\n"
       "else\n"
       "  (( ${#subs} )) && compadd -- $subs\n"
       "  [[ $operands == d ]] && _files -/\n"
       "  [[ $operands == f ]] && _files\n"
       "fi\n";
  return s.str();
}

std::map<std::string, std::string> ManualPages(const CLI::App& root) {
  std::map<std::string, std::string> pages;
  pages[ManName(root) + ".1"] = ManPage(root);
  for (const CLI::App* sub : VisibleSubcommands(root)) pages[ManName(*sub) + ".1"] = ManPage(*sub);
  return pages;
}

}  // namespace brevalcore::tools
