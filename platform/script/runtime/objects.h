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

  void Set(int32_t number, String source, String description);
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
