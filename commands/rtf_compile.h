#pragma once
// RtfCompile: fills an RTF template whose variables are written between two separator tags
// (??NAME?? with the default separator). Variables the object does not hold are asked for
// through its VariableReplace event. Errors carry the source "RTF Compile".
#include <unordered_map>

#include "platform/automation/dispatch.h"

namespace brevalcore::commands {

using automation::String;
using automation::StringView;
using automation::Variant;

inline constexpr char16_t kRtfCompileSource[] = u"RTF Compile";
inline constexpr char16_t kDefaultSepTag[] = u"??";
// GetVariable's answer for a name no variable holds.
inline constexpr char16_t kVariableError[] = u"VARIABLE ERROR";

namespace rtf_err {
inline constexpr int32_t kFileNotFound = 404;          // "File Not Found"
inline constexpr int32_t kOutputReadOnly = -10010;     // "Output file is read-only."
}  // namespace rtf_err

class RtfCompile : public automation::DispatchObject<RtfCompile> {
 public:
  static const automation::ClassInfo& Class();

  String SepTag() const { return sepTag_; }
  void SetSepTag(const String& tag) { sepTag_ = tag; }
  int32_t VariableCount() const { return static_cast<int32_t>(vars_.size()); }
  void VariableClear() { vars_.clear(); }
  // Adds one variable; a name already present, in any case, raises 457.
  void VariableAdd(const String& name, const String& value);
  // Compiles the file `in` into `out`; gives the unresolved tags, each followed by CR LF.
  String FileCompile(const String& in, const String& out);
  // Compiles `in` (any value convertible to text) into `out`; gives the unresolved tags.
  String StringCompile(const Variant& in, Variant& out);

  // The same, for C++ callers.
  struct Compiled {
    String text;
    String unresolved;
  };
  Compiled Compile(StringView text);

  // The connection point of VariableReplace(VariableName, VariableValue by reference).
  automation::EventSource& Events() { return events_; }

  // CR LF becomes "\par ", tab "\tab "; nothing else is touched.
  static String RtfEscape(StringView text);

 private:
  // The value of `name`, or kVariableError when no variable of that name exists.
  String GetVariable(StringView name) const;
  String RaiseVariableReplace(StringView name);

  String sepTag_ = kDefaultSepTag;
  std::unordered_map<String, String> vars_;  // upper-cased name -> value
  automation::EventSource events_;
};

}  // namespace brevalcore::commands
