#pragma once
// The engine's own automation objects: the Err object and the function references GetRef
// returns.
#include "platform/script/runtime/interpreter.h"

namespace brevalcore::script::runtime {

class ErrObject : public Object {
 public:
  String TypeName() const override { return u"ErrObject"; }
  DispId GetIdOfName(StringView name) const override;
  Variant Invoke(DispId id, automation::InvokeKind kind, std::span<Variant> args) override;

  // Records an error the engine caught; its help file and context are cleared.
  void Set(int32_t number, String source, String description);
  void SetHelp(String file, int32_t context) {
    helpFile_ = std::move(file);
    helpContext_ = context;
  }
  void Clear() { Set(0, {}, {}); }
  int32_t number() const { return number_; }

 private:
  int32_t number_ = 0;
  String source_;
  String description_;
  String helpFile_;
  int32_t helpContext_ = 0;
};

// What GetRef returns: calling its default member calls the procedure.
class GetRefObject : public Object {
 public:
  GetRefObject(Interpreter& in, const Procedure& proc) : in_(in), proc_(proc) {}
  const Interpreter& engine() const { return in_; }
  const Procedure& procedure() const { return proc_; }
  String TypeName() const override { return u"Object"; }
  DispId GetIdOfName(StringView) const override { return automation::kDispIdUnknown; }
  Variant Invoke(DispId id, automation::InvokeKind kind, std::span<Variant> args) override;

 private:
  Interpreter& in_;
  const Procedure& proc_;
};

// The name TypeName gives a value.
String TypeNameOf(const Variant& v);

}  // namespace brevalcore::script::runtime
