#pragma once
// The syntax tree. The parser builds it; the compiler fills in the resolution fields (slots,
// global entries, built-ins, class members), after which code generation turns it into
// bytecode (the interpreter still runs the tree for what has no instruction): every name is
// already bound to where its value lives, so no name is looked up while a script runs.
#include <memory>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/script/builtins.h"

namespace brevalcore::script {

using automation::String;
using automation::Variant;

namespace runtime {
struct Code;
struct GlobalEntry;
struct Procedure;
class ScriptClass;
}  // namespace runtime

namespace ast {

enum class ExprKind : uint8_t { Literal, Name, Me, Member, Call, Unary, Binary, New, Paren };

enum class Op : uint8_t {
  Imp, Eqv, Xor, Or, And, Not, Eq, Ne, Lt, Gt, Le, Ge, Is, Concat, Add, Sub, Mod, IntDiv, Mul,
  Div, Neg, Plus, Pow,
};

struct Node {
  int line = 0;
  int column = 0;
};

struct Expr : Node {
  explicit Expr(ExprKind k) : kind(k) {}
  virtual ~Expr() = default;
  ExprKind kind;
};
using ExprPtr = std::unique_ptr<Expr>;

struct LiteralExpr : Expr {
  LiteralExpr() : Expr(ExprKind::Literal) {}
  Variant value;
};

// How the compiler bound a name.
enum class NameKind : uint8_t {
  Unresolved,
  Local,       // slot of the running frame
  Global,      // a global entry (variable, constant, procedure, class, named object, member)
  Field,       // field of Me (inside a class)
  ClassMember, // property or method of Me (inside a class)
  Builtin,     // library function
  Constant,    // built-in constant, folded to its value
  Intrinsic,   // the engine's own functions (Err, Eval, TypeName, ...)
  Undefined,   // Option Explicit and not declared: 500 when reached
};

enum class Intrinsic : uint8_t {
  Err, Eval, Execute, ExecuteGlobal, GetRef, TypeName, IsObject, VarType, IsArray, IsEmpty,
  Array, ScriptEngine, CreateObject, MsgBox, InputBox, UBound, LBound,
};

struct NameExpr : Expr {
  NameExpr() : Expr(ExprKind::Name) {}
  String name;
  NameKind bound = NameKind::Unresolved;
  int slot = -1;  // Local/Field/ClassMember index, Intrinsic number
  runtime::GlobalEntry* global = nullptr;
  const Builtin* builtin = nullptr;
  Variant constant;
  // Inside a Function or Property Get its own name is the result variable, but name(args)
  // calls it again (recursion).
  const runtime::Procedure* self = nullptr;
};

// Per call site memory of a member's id, so GetIdOfName runs once per object.
struct MemberCache {
  const void* object = nullptr;
  const void* type = nullptr;
  automation::DispId id = automation::kDispIdUnknown;
};

// object.name, or ".name" inside With (object null, withSlot set by the compiler).
struct MemberExpr : Expr {
  MemberExpr() : Expr(ExprKind::Member) {}
  ExprPtr object;
  String name;
  int withSlot = -1;
  bool withGlobal = false;
  runtime::GlobalEntry* withEntry = nullptr;
  MemberCache cache;
};

// target(args): a call, an array element or a default-member access. A null argument is an
// argument left out ("f 1, , 3").
struct CallExpr : Expr {
  CallExpr() : Expr(ExprKind::Call) {}
  ExprPtr target;
  std::vector<ExprPtr> args;
  MemberCache cache;
};

struct UnaryExpr : Expr {
  UnaryExpr() : Expr(ExprKind::Unary) {}
  Op op = Op::Neg;
  ExprPtr operand;
};

struct BinaryExpr : Expr {
  BinaryExpr() : Expr(ExprKind::Binary) {}
  Op op = Op::Add;
  ExprPtr left, right;
};

struct NewExpr : Expr {
  NewExpr() : Expr(ExprKind::New) {}
  String className;
  runtime::GlobalEntry* global = nullptr;  // set when a script class of that name is known
};

// A parenthesised expression: always a value, never a reference (f (x) passes x by value).
struct ParenExpr : Expr {
  ParenExpr() : Expr(ExprKind::Paren) {}
  ExprPtr inner;
};

// ------------------------------------------------------------------------------ statements

enum class StmtKind : uint8_t {
  Call, Assign, Dim, ReDim, Erase, Const, If, Select, For, ForEach, Do, Exit, With, OnError,
  Nop,
};

struct Stmt : Node {
  explicit Stmt(StmtKind k) : kind(k) {}
  virtual ~Stmt() = default;
  StmtKind kind;
  mutable uint32_t runs = 0;  // how often the statement started, for coverage reports
};
using StmtPtr = std::unique_ptr<Stmt>;
using Block = std::vector<StmtPtr>;

// A procedure call used as a statement: "f a, b", "Call f(a, b)", "obj.m x".
struct CallStmt : Stmt {
  CallStmt() : Stmt(StmtKind::Call) {}
  ExprPtr call;  // Name, Member or Call expression
};

struct AssignStmt : Stmt {
  AssignStmt() : Stmt(StmtKind::Assign) {}
  bool isSet = false;
  ExprPtr target;
  ExprPtr value;
};

struct DimVar {
  String name;
  std::vector<ExprPtr> bounds;  // Dim a(3, 4): fixed array; "Dim a()" has isArray and no bounds
  bool isArray = false;
  int line = 0, column = 0;
  NameExpr* ref = nullptr;  // filled by the compiler (owned below)
  std::unique_ptr<NameExpr> target;
};

struct DimStmt : Stmt {
  DimStmt() : Stmt(StmtKind::Dim) {}
  std::vector<DimVar> vars;
};

struct ReDimStmt : Stmt {
  ReDimStmt() : Stmt(StmtKind::ReDim) {}
  bool preserve = false;
  std::vector<std::pair<ExprPtr, std::vector<ExprPtr>>> items;  // target, upper bounds
};

struct EraseStmt : Stmt {
  EraseStmt() : Stmt(StmtKind::Erase) {}
  std::vector<ExprPtr> targets;
};

struct ConstStmt : Stmt {
  ConstStmt() : Stmt(StmtKind::Const) {}
  std::vector<std::pair<std::unique_ptr<NameExpr>, ExprPtr>> items;
};

struct IfStmt : Stmt {
  IfStmt() : Stmt(StmtKind::If) {}
  struct Branch {
    ExprPtr condition;  // null: Else
    Block body;
  };
  std::vector<Branch> branches;
};

struct SelectStmt : Stmt {
  SelectStmt() : Stmt(StmtKind::Select) {}
  ExprPtr subject;
  struct Case {
    std::vector<ExprPtr> values;  // empty: Case Else
    Block body;
  };
  std::vector<Case> cases;
};

struct ForStmt : Stmt {
  ForStmt() : Stmt(StmtKind::For) {}
  ExprPtr counter;  // a Name
  ExprPtr from, to, step;
  Block body;
};

struct ForEachStmt : Stmt {
  ForEachStmt() : Stmt(StmtKind::ForEach) {}
  ExprPtr element;
  ExprPtr collection;
  Block body;
};

struct DoStmt : Stmt {
  DoStmt() : Stmt(StmtKind::Do) {}
  ExprPtr condition;  // may be null
  bool until = false;
  bool testAtEnd = false;
  Block body;
};

enum class ExitKind : uint8_t { Do, For, Sub, Function, Property };

struct ExitStmt : Stmt {
  ExitStmt() : Stmt(StmtKind::Exit) {}
  ExitKind what = ExitKind::Do;
};

struct WithStmt : Stmt {
  WithStmt() : Stmt(StmtKind::With) {}
  ExprPtr object;
  Block body;
  int slot = -1;  // hidden local slot, or hidden global entry when global
  runtime::GlobalEntry* entry = nullptr;
};

struct OnErrorStmt : Stmt {
  OnErrorStmt() : Stmt(StmtKind::OnError) {}
  bool resumeNext = true;
};

// ------------------------------------------------------------------------------ declarations

enum class ProcKind : uint8_t { Sub, Function, PropertyGet, PropertyLet, PropertySet };

struct Param {
  String name;
  bool byVal = false;
  bool isArray = false;
};

struct ProcDecl : Node {
  ProcKind kind = ProcKind::Sub;
  String name;
  bool isPublic = true;
  bool isDefault = false;
  std::vector<Param> params;
  Block body;
  runtime::Procedure* compiled = nullptr;
};

struct FieldDecl : Node {
  String name;
  bool isPublic = true;
  std::vector<ExprPtr> bounds;
  bool isArray = false;
};

struct ClassDecl : Node {
  String name;
  std::vector<FieldDecl> fields;
  std::vector<std::unique_ptr<ProcDecl>> procs;
};

// One unit of source text (an AddCode, Execute or ExecuteGlobal).
struct Program {
  bool optionExplicit = false;
  Block body;
  std::vector<std::unique_ptr<ProcDecl>> procs;
  std::vector<std::unique_ptr<ClassDecl>> classes;
  // Script-level Dim/Public/Private names, declared before any code runs.
  std::vector<String> globals;
  // The script-level code as bytecode, made when it first runs.
  std::shared_ptr<runtime::Code> code;
};

}  // namespace ast
}  // namespace brevalcore::script
