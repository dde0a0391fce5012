#pragma once
// The register bytecode the compiler makes of every procedure and every unit of script-level
// code, and the machine (vm.cpp) runs. A running code unit sees one window of registers:
//
//   [0, locals)                    the procedure's slots (result, parameters, locals, With)
//   [locals, locals + temps)       temporaries of expressions, reused statement by statement
//   [locals + temps, ... + consts) the constant pool
//
// Every register is a Variant*: locals given by reference point into the caller, constants
// point into the pool, the rest at their own value in the frame. One operand form serves them
// all, and a by-reference parameter costs nothing to read.
//
// Bytecode comes only from our own compiler (codegen.cpp), never from outside, and the compiler
// checks every register and jump it writes against the window and the code's length.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/script/runtime/program.h"

namespace brevalcore::script::runtime {

// The instructions. R[n] is register n of the window.
//   Count        p: the statement that starts (coverage)
//   Move         R[a] = R[b]
//   Let          R[a] = R[b] as an assignment: an object gives its default value
//   SetRef       R[a] = R[b] as Set: an object is required
//   LoadName     R[a] = value of the name p (a NameExpr bound to anything but a local)
//   StoreName    name p = R[b]
//   LoadField    R[a] = field b of Me
//   StoreField   field a of Me = R[b]
//   Clear        R[a .. a+b) = Empty
//   Add ... Is   R[a] = R[b] op R[c]
//   Append       R[a] = R[a] & R[b], growing R[a]'s text in place when no one else holds it
//   Neg, Not     R[a] = op R[b]
//   Jump         to c; x8 = 1 on a loop's way back (counts for the time-out)
//   JumpIfFalse  to c when R[a] is not true; JumpIfTrue: when it is
//   CaseJump     to c when R[a] = R[b] (Select Case)
//   CompareJump  to c when (R[a] op R[b]) is x (op a relational operator in x8)
//   ShortCircuit to c when R[a] is the Boolean x8 (False for And, True for Or) and every
//                register of guard p holds a plain value: what follows cannot change a
//                condition's truth nor raise, so it is skipped
//   CheckVar     the name p has storage, checked before anything else of its statement runs;
//                otherwise x8 says: kCheckLoop a loop's variable (501), kCheckArray the target
//                of ReDim (13), kCheckDim a Dim leaves it alone (to c)
//   ForPrep      counter (x: where, as EachNext's element) = R[b+2]; limit R[b], step R[b+1];
//                to c when done
//   ForLoop      counter += step; back to c while within the limit
//   ForNext      ForLoop of a local counter R[a] whose step is written as a whole number:
//                the direction is known (x8 = 1 counting up)
//   EachPrep     For Each: R[b], R[b+1] = Empty (nothing to enumerate yet)
//   EachOpen     R[b+1] = how R[b] is enumerated: the position in an array (a snapshot: R[b]
//                keeps the elements it had), or the object's enumerator
//   EachNext     the element (x: kVarLocal R[a], kVarField field a of Me, kVarGlobal the
//                global p, kVarName the name p) = the next item of R[b], R[b+1]; x8 = 0 on
//                entering: to c when there is none; x8 = 1 on the loop's way back (counts
//                for the time-out): back to c while there is one
//   IsArrayOrJump to c unless R[a] holds an array
//   VarIsArrayOrJump to c unless the variable (x, a, p) holds an array
//   ReadElement  R[b+c] = element R[b .. b+c) of the variable (x, a, p), which holds an array;
//                the subscripts are left as numbers, for binding the element by reference
//   CheckGap     an argument left out here fails when the call reaches a script procedure
//                (450) or an array (9); x8 (kGap*) says whose: Me's member of site p, the value
//                R[b] called (a GetRef), or site p's name declared late
//   Index        R[a] = element R[b](R[c] .. R[c+x)) of an array, or what else R[b] gives
//   CallProc     R[a] = call site p (a script procedure)
//   CallBuiltin  R[a] = built-in p (R[c] .. R[c+x))
//   CallGlobalMember R[a] = member p of a named object, known as a global name (R[c] .. R[c+x))
//   GetMember    R[a] = R[b].member of site p (R[c] .. R[c+x))
//   PutMember    R[b].member of site p = R[a]
//   CheckCallable R[a] can be called with site p's arguments: an object (13 when not, 91 for
//                Nothing), a GetRef given as many as its procedure takes; before they are evaluated
//   CallValue    R[a] = R[b] called with site p's arguments R[c] .. R[c+x): the object's default
//                member, or a GetRef's procedure (its parameters by reference as in any call)
//   CallMeMember R[a] = member site.meMember of Me (R[c] .. R[c+x)): a method, property or
//                field of the class the code belongs to, called by its bare name
//   CheckLate    the name called by site p (a CallExpr on a name Option Explicit left undefined
//                when the code was compiled) is bound to what was declared since (500 when
//                nothing was), and can take the site's arguments (450, 13, 91), before they are
//                evaluated
//   CallLate     R[a] = site p's name called with R[c] .. R[c+x): a procedure (its parameters by
//                reference), a named object's member, or what a variable holds, indexed or called
//   CheckArgs    the callee of call site p takes as many arguments as the site gives (450
//                otherwise), checked before they are evaluated: a global may name another
//                procedure by the time the call runs, and a member of Me is known only then
//   New          R[a] = a new instance of the class of p (a NewExpr), Class_Initialize run
//   Me           R[a] = the object the code runs for (424 outside a class)
//   Intrinsic    R[a] = the engine's own function x8 (ast::Intrinsic) of R[c] .. R[c+x)
//   OnError      x8: 1 for Resume Next, 0 for GoTo 0
//   SetGlobal    the global entry p = R[b] as it is, whatever it names: a script-level Const
//
// The variable (x, a, p) below is where x says, as for a loop's variable; kVarGlobal is a
// global still holding a variable when the instruction runs, kVarName has no storage when it
// names none.
//   Define       the variable (x, a, p) = R[b] as it is (Const); nothing without storage
//   DimArray     the variable (x, a, p) = a new array of upper bounds R[b .. b+c), fixed when
//                x8 is 1 (Dim a(n)); nothing without storage
//   ReDim        the variable (x, a, p) = a new dynamic array of upper bounds R[b .. b+c), its
//                elements kept when x8 is 1 (Preserve); a fixed array refuses (10)
//   Erase        the variable (x, a, p), or its element R[b .. b+c) when c > 0: a fixed array
//                emptied, a dynamic one let go; anything else refuses (13)
//   ElementOrObject the variable (x, a, p) goes on when it holds an array; an object (not
//                Nothing: 91) is copied into R[b], to c; anything else refuses (13), and so does
//                an object when x8 is 1
//   ToSubscript  R[a] = R[a] as a subscript (9 when left out), where the next subscript could act
//   StoreElement element R[b .. b+c) of the variable (x, a, p) = R[b+c] (x8 flags as Let)
//   Resolve      R[b] must be an object (424; 91 for Nothing); with site p, its member is found
//                now (438), before the arguments
//   PutIndexed   x8 >> 2 (kPut*) with arguments R[c .. c+x) = R[c+x] (x8 & kAssignSet: Set)
//   CallVariable the name p used as a statement: a variable's object is called for its default
//                member; a named object's member, a procedure or a built-in is called
//   Fail         raises error x: what a statement refuses once its operands are evaluated, or a
//                call that can never fit its callee, before its arguments are
//   Return       ends the code unit (also Exit Sub/Function/Property)
#define BREVALCORE_OPCODES(X)                                                                   \
  X(Count) X(Move) X(Let) X(SetRef) X(LoadName) X(StoreName) X(LoadField) X(StoreField) X(Clear) \
  X(Add) X(Sub) X(Mul) X(Div) X(IntDiv) X(Mod) X(Pow) X(Concat) X(Eq) X(Ne) X(Lt) X(Gt) X(Le)   \
  X(Ge) X(And) X(Or) X(Xor) X(Eqv) X(Imp) X(Is) X(Append) X(Neg) X(Not) X(Jump) X(JumpIfFalse)  \
  X(JumpIfTrue) X(CaseJump) X(CompareJump) X(ShortCircuit) X(CheckVar) X(ForPrep) X(ForLoop)    \
  X(ForNext) X(EachPrep) X(EachOpen) X(EachNext) X(IsArrayOrJump) X(VarIsArrayOrJump)          \
  X(ReadElement) X(CheckGap) X(Index) X(CallProc)                                               \
  X(CallBuiltin) X(CallGlobalMember) X(GetMember) X(PutMember) X(CheckCallable) X(CallValue)        \
  X(CallMeMember) X(CheckArgs) X(New) X(Me) X(Intrinsic) X(OnError) X(SetGlobal) X(Define)         \
  X(DimArray) X(ReDim) X(Erase) X(ElementOrObject) X(ToSubscript) X(StoreElement) X(Resolve)       \
  X(PutIndexed) X(CallVariable) X(CheckLate) X(CallLate) X(Fail) X(Return)

enum class Opcode : uint8_t {
#define BREVALCORE_OPCODE_NAME(name) name,
  BREVALCORE_OPCODES(BREVALCORE_OPCODE_NAME)
#undef BREVALCORE_OPCODE_NAME
};

// Let, SetRef, StoreName, StoreField, PutMember: x8 flags.
inline constexpr uint8_t kAssignSet = 1;   // a Set assignment
inline constexpr uint8_t kAssignMove = 2;  // the source is a temporary that may be emptied
// Concat: x8 flag for the first link of a & chain (its result grows in place).
inline constexpr uint8_t kConcatChainStart = 1;

// CheckVar: x8, what a name without storage means.
inline constexpr uint8_t kCheckLoop = 0;
inline constexpr uint8_t kCheckArray = 1;
inline constexpr uint8_t kCheckDim = 2;
// PutIndexed: x8 >> 2, whose member is assigned.
inline constexpr uint8_t kPutDefault = 0;       // the default member of the object R[b]
inline constexpr uint8_t kPutMember = 1;        // the member of site p on the object R[b]
inline constexpr uint8_t kPutGlobalMember = 2;  // the named object's member that global p is
inline constexpr uint8_t kPutClassMember = 3;   // Me's member a (a property called by its name)

// CheckGap: x8, whose call the argument is left out of.
inline constexpr uint8_t kGapMe = 0;     // a member of Me called by its bare name
inline constexpr uint8_t kGapValue = 1;  // the value R[b] called
inline constexpr uint8_t kGapLate = 2;   // the name of CheckLate's site

// ForPrep, ForLoop, EachNext, and the variables of Define ... StoreElement: x, where the
// variable lives.
inline constexpr uint16_t kVarLocal = 0;
inline constexpr uint16_t kVarField = 1;
inline constexpr uint16_t kVarGlobal = 2;  // a global variable
inline constexpr uint16_t kVarName = 3;    // any other name: found when it runs

// One instruction: 32 bytes, operands as register numbers into the window.
struct Instr {
  Opcode op;
  uint8_t x8 = 0;
  uint16_t x = 0;
  uint32_t a = 0, b = 0, c = 0;
  const void* p = nullptr;
  // Where the machine's loop handles `op`, filled in when the code first runs: each
  // instruction jumps straight to the next one's handler, with no table in between.
  mutable const void* handler = nullptr;
};

// How one argument of a call reaches a script procedure.
struct ArgBinding {
  enum Kind : uint8_t {
    Value,     // the value in temporary `reg`, moved into the callee
    LocalRef,  // a local variable (`local`): by reference, or its value; for an object's
               // member its value is also in `reg`
    NameRef,   // a variable found by its name (`expr`) when the call starts: a global, a
               // field of Me, a name declared late; for an object's member its value is in `reg`
    ElementRef,  // an element of the array variable (`where`, `var`, `place`: as an
                 // instruction's x, a, p) with the subscripts R[first .. first+count), read
                 // into `reg` in argument order; bound by reference when R[first] holds a
                 // number (the variable held an array when the argument was evaluated)
  };
  Kind kind = Value;
  bool hasValue = false;  // `reg` holds the argument's value (always for Value)
  uint32_t reg = 0;
  uint32_t local = 0;
  const ast::Expr* expr = nullptr;
  uint16_t where = 0;
  uint32_t var = 0;
  const void* place = nullptr;
  uint32_t first = 0, count = 0;
};

// A call of a script procedure, or of a member of an object.
struct CallSite {
  const Procedure* proc = nullptr;          // CallProc: the callee when known at compile time
  const GlobalEntry* global = nullptr;      // CallProc: ... or the global that names it now
  bool onMe = false;                        // CallProc: the callee runs with the caller's Me
  int meMember = -1;                        // CallMeMember: the member's index in Me's class
  const ast::Expr* expr = nullptr;          // the call
  String member;                            // GetMember, PutMember
  mutable ast::MemberCache cache;
  std::vector<ArgBinding> args;
  bool holdsElements = false;  // an argument is an ElementRef: the call may lock its array
};

// Where a run-time error is reported and where On Error Resume Next goes on: the innermost
// region holding the failing instruction names the statement.
struct ErrorRegion {
  uint32_t begin = 0, end = 0;
  uint32_t resume = 0;
  const ast::Stmt* stmt = nullptr;
};

struct Code {
  std::vector<Instr> instrs;
  std::vector<Variant> constants;
  std::vector<ErrorRegion> regions;  // innermost first
  std::vector<std::unique_ptr<CallSite>> sites;
  std::vector<std::unique_ptr<std::vector<uint32_t>>> guards;  // ShortCircuit: registers to check
  uint32_t locals = 0;
  uint32_t temps = 0;
  mutable bool threaded = false;  // the instructions' handlers are filled in
  uint32_t window() const { return locals + temps + static_cast<uint32_t>(constants.size()); }
};

}  // namespace brevalcore::script::runtime
