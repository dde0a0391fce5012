#pragma once
// Static analysis of a script for the authors' tools: the script is parsed and bound exactly as
// the engine binds it (the same parser, the same compiler, the same named objects with their
// members global), but nothing runs. What comes back are facts about the text, each with its
// line and column: syntax errors, names Option Explicit does not know, calls of names that are
// neither procedures nor members, calls of host members that do not exist or get the wrong
// number of arguments, the script's procedures, and every call of a host member with the
// constant texts its arguments can carry. Judging them is the caller's business.
#include <span>
#include <vector>

#include "platform/automation/dispatch.h"
#include "platform/script/parser/parser.h"

namespace brevalcore::script::analysis {

using automation::ClassInfo;
using automation::MemberInfo;
using automation::String;
using automation::StringView;

// An object the host registers, described by its member table.
struct HostObject {
  String name;
  const ClassInfo* members = nullptr;
  bool addMembers = true;  // members also global names, as AddObject with addMembers
};

struct Position {
  int line = 0;
  int column = 0;
};

enum class ProblemKind : uint8_t {
  UndefinedName,      // Option Explicit and never declared (run-time error 500)
  UnknownProcedure,   // called, but neither a procedure, a member, a built-in nor a variable
  NoSuchMember,       // a host member that does not exist (run-time error 438)
  WrongArgumentCount, // a host member called with too few or too many arguments (450)
  NotAssignable,      // an assignment to a host member that has no Let or Set
};

struct Problem {
  ProblemKind kind;
  Position at;
  String name;                            // the name as written
  const ClassInfo* owner = nullptr;        // host members: the class looked in
  const MemberInfo* member = nullptr;      // WrongArgumentCount, NotAssignable
  int given = 0, minArgs = 0, maxArgs = 0; // WrongArgumentCount
};

// A procedure of the script (not of its classes).
struct ProcedureDecl {
  String name;
  ast::ProcKind kind;
  int parameters = 0;
  Position at;
  int calls = 0;  // places in the script that call it
};

// A text an argument is known to carry: a literal, a constant, or a literal passed down to a
// procedure parameter that reaches the argument. `complete` is false when only the beginning
// is known ("ecm?asl=" & x).
struct ConstantText {
  String text;
  bool complete = true;
  Position at;  // where the text is written
};

struct ArgumentValues {
  std::vector<ConstantText> constants;
  bool other = false;  // some value that is not known before the script runs can arrive too
};

// One call of a host member (through its object's name, a member chain or a global name).
struct HostCall {
  const ClassInfo* owner = nullptr;
  const MemberInfo* member = nullptr;
  Position at;
  std::vector<ArgumentValues> arguments;
};

struct Report {
  std::vector<parse::SyntaxError> syntaxErrors;  // when not empty, nothing else is filled
  bool optionExplicit = false;
  std::vector<Problem> problems;
  std::vector<ProcedureDecl> procedures;
  std::vector<HostCall> hostCalls;
};

// Analyses one unit of script text as AddCode would compile it after AddObject of `objects`.
Report Analyze(StringView source, std::span<const HostObject> objects);

// The names a misspelt `name` most likely meant: those of `candidates` within a small edit
// distance, ignoring case, closest first (at most three).
std::vector<String> NearNames(StringView name, std::span<const String> candidates);

}  // namespace brevalcore::script::analysis
