#pragma once
// What compiled code binds to: global entries, procedures and script classes. The compiler
// creates them; the interpreter reads them. Nothing here is looked up by name at run time.
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/automation/object.h"
#include "platform/automation/variant.h"
#include "platform/script/syntax/ast.h"

namespace brevalcore::script::runtime {

using automation::DispId;
using automation::Object;
using automation::Ref;
using automation::String;
using automation::StringView;
using automation::Variant;

class Interpreter;
struct Code;
struct Procedure;
class ScriptClass;

enum class GlobalKind : uint8_t { Variable, Constant, Procedure, Class, NamedObject, ObjectMember };

// One script-level name. Entries never move (they live in a deque), so compiled code and
// by-reference arguments may hold their address.
struct GlobalEntry {
  String name;
  GlobalKind kind = GlobalKind::Variable;
  Variant value;                 // Variable, Constant, NamedObject
  Procedure* proc = nullptr;     // Procedure
  ScriptClass* cls = nullptr;    // Class
  Ref<Object> object;            // ObjectMember: the named object ...
  DispId member = automation::kDispIdUnknown;  // ... and the member's id
};

struct Procedure {
  const ast::ProcDecl* decl = nullptr;
  String name;
  ast::ProcKind kind = ast::ProcKind::Sub;
  int paramCount = 0;
  int slotCount = 1;  // slot 0 holds the result, then the parameters, then the locals
  std::vector<uint8_t> byVal;  // per parameter; bytes, not bits: every call reads them
  ScriptClass* owner = nullptr;
  // Local names and their slots, kept for Eval and Execute inside the procedure.
  std::unordered_map<String, int> locals;
  // The body as bytecode, made when the procedure is first called.
  mutable std::shared_ptr<Code> code;
  // A property whose whole body reads a field into its result (Get) or writes its one
  // parameter into a field (Let), found when the body is compiled: calls read or write the
  // field without a frame.
  enum class Accessor : uint8_t { None, GetsField, LetsField };
  mutable Accessor accessor = Accessor::None;
  mutable int accessorField = -1;
};

struct ClassMember {
  String name;
  bool isPublic = true;
  int field = -1;  // index into the object's fields, or -1
  Procedure* get = nullptr;
  Procedure* let = nullptr;
  Procedure* set = nullptr;
  Procedure* method = nullptr;  // Sub or Function
};

class ScriptClass {
 public:
  String name;
  std::vector<ClassMember> members;       // DispId = index + 1
  std::unordered_map<String, int> byName;  // lower-cased name -> member index
  int fieldCount = 0;
  // Fields declared as fixed arrays: field index and upper bounds (constant expressions).
  std::vector<std::pair<int, const ast::FieldDecl*>> arrayFields;
  int defaultMember = -1;
  Procedure* initialize = nullptr;
  Procedure* terminate = nullptr;
  Interpreter* engine = nullptr;  // null once the engine is gone
  std::shared_ptr<ast::Program> program;  // keeps the procedures' syntax alive
  std::vector<std::unique_ptr<Procedure>> procedures;

  int Find(StringView member) const;
};

// An instance of a script class. Host code can call it by name like any automation object.
class ScriptObject : public Object {
 public:
  explicit ScriptObject(std::shared_ptr<ScriptClass> cls);
  String TypeName() const override { return cls_->name; }
  DispId GetIdOfName(StringView name) const override;
  Variant Invoke(DispId id, automation::InvokeKind kind, std::span<Variant> args) override;
  Ref<automation::Enumerator> NewEnum() override;

  ScriptClass& cls() const { return *cls_; }
  Variant& Field(int index) { return fields_[index]; }

 protected:
  void LastReleased() noexcept override;

 private:
  std::shared_ptr<ScriptClass> cls_;
  std::vector<Variant> fields_;
  automation::MemoryCharge charge_;
  bool terminated_ = false;
};

// The language's own lower-casing of names, used as map keys.
String Key(StringView name);

}  // namespace brevalcore::script::runtime
