// The language, one small script per row with the output it must print. The recorded cases
// cover the library and the common statements; these rows cover what they leave out:
// scoping, classes, Execute/Eval/GetRef, error propagation between procedures, and the
// compile-time binding of names.
#include <gtest/gtest.h>

#include "tests/script/test_host.h"

namespace brevalcore::script::testing {
namespace {

struct Row {
  const char* name;
  const char* code;
  const char* output;
};

const Row kRows[] = {
    {"recursion", "Function F(n) : If n <= 1 Then F = 1 Else F = n * F(n - 1)\nEnd Function\nout.Echo F(10)",
     "3628800\n"},
    {"dim_is_hoisted", "Sub S : x = 5 : Dim x : out.Echo x : End Sub\nS\nout.Echo IsEmpty(x)", "5\n-1\n"},
    {"undeclared_in_procedure_is_local", "Sub S : y = 1 : End Sub\nS\nout.Echo Eval(\"IsEmpty(y)\")", "-1\n"},
    {"implicit_global_shared_with_procedures", "Sub S : z = z + 1 : End Sub\nz = 1 : S\nout.Echo z", "2\n"},
    {"global_seen_by_procedure", "Dim g : g = 1\nSub S : g = g + 1 : End Sub\nS : S\nout.Echo g", "3\n"},
    {"procedure_declared_later", "Later 4\nSub Later(n) : out.Echo n * 2 : End Sub", "8\n"},
    {"byref_by_default_byval_copies", "Sub A(x, ByVal y) : x = x + 1 : y = y + 1 : End Sub\n"
     "Dim p, q : p = 1 : q = 1 : A p, q : out.Echo p, q", "2 1\n"},
    {"paren_argument_is_by_value", "Sub A(x) : x = 9 : End Sub\nDim p : p = 1 : A (p) : out.Echo p : Call A(p) : out.Echo p",
     "1\n9\n"},
    {"array_byval_is_copied", "Sub Change(ByVal v) : v(0) = 9 : End Sub\nDim a : a = Array(1) : Change a : out.Echo a(0)", "1\n"},
    {"exit_function_keeps_value", "Function F : F = 1 : Exit Function : F = 2 : End Function\nout.Echo F()", "1\n"},
    {"exit_for_inside_do", "Dim i, n\nFor i = 1 To 3\n Do\n  n = n + 1\n  If n > 1 Then Exit For\n Loop While False\nNext\nout.Echo i, n",
     "2 2\n"},
    {"for_step_negative_double", "Dim i, s\nFor i = 1 To 0 Step -0.5 : s = s & i & \";\" : Next\nout.Echo s", "1;0,5;0;\n"},
    {"for_bounds_evaluated_once", "Dim i, n, c : n = 2\nFor i = 1 To n : n = 5 : c = c + 1 : Next\nout.Echo c", "2\n"},
    {"select_case_else_and_strings", "Dim v : v = \"b\"\nSelect Case v\nCase \"a\", \"c\" : out.Echo 1\nCase Else : out.Echo 2\nEnd Select",
     "2\n"},
    {"select_null_matches_nothing", "Select Case Null\nCase Null : out.Echo 1\nCase Else : out.Echo 2\nEnd Select", "2\n"},
    {"while_wend_nested", "Dim i, j, s\nWhile i < 2 : i = i + 1 : j = 0\n While j < 2 : j = j + 1 : s = s & i & j & \" \" : Wend\nWend\nout.Echo s",
     "11 12 21 22 \n"},
    {"do_until_at_end_runs_once", "Dim n : Do : n = n + 1 : Loop Until True : out.Echo n", "1\n"},
    {"line_continuation_and_rem", "Dim s : s = \"a\" & _\n   \"b\" Rem comment\nout.Echo s ' trailing", "ab\n"},
    {"hex_octal_date_literals", "out.Echo &HFF, &H8000, &O17, &HFFFFFFFF, #1/2/2026#", "255 -32768 15 -1 02/01/2026\n"},
    {"case_insensitive_names", "DIM Abc : abc = 3 : OUT.ECHO aBc", "3\n"},
    {"const_values", "Const A = 2, B = \"x\"\nout.Echo A * 3, B", "6 x\n"},
    {"class_default_property", "Class L\n Private m\n Public Default Property Get Item(i) : Item = i * 10 : End Property\nEnd Class\n"
     "Dim o : Set o = New L : out.Echo o(4), o.Item(5)", "40 50\n"},
    {"class_property_let_with_index", "Class P\n Private v(2)\n Public Property Let At(i, x) : v(i) = x : End Property\n"
     " Public Property Get At(i) : At = v(i) : End Property\nEnd Class\nDim o : Set o = New P : o.At(1) = \"q\" : out.Echo o.At(1)",
     "q\n"},
    {"class_method_byref", "Class K\n Sub Bump(n) : n = n + 1 : End Sub\nEnd Class\nDim o, x : Set o = New K : x = 1 : o.Bump x : Call o.Bump(x) : out.Echo x",
     "3\n"},
    {"class_fields_per_instance", "Class K : Public n : End Class\nDim a, b : Set a = New K : Set b = New K : a.n = 1 : b.n = 2 : out.Echo a.n, b.n",
     "1 2\n"},
    {"class_me_and_private_call", "Class K\n Private Function Sec() : Sec = 7 : End Function\n"
     " Public Function Pub() : Pub = Sec() + Me.Val : End Function\n Public Property Get Val() : Val = 1 : End Property\nEnd Class\n"
     "Dim o : Set o = New K : out.Echo o.Pub()", "8\n"},
    {"terminate_on_last_release", "Class T\n Public Name\n Sub Class_Terminate : out.Echo \"bye\", Name : End Sub\nEnd Class\n"
     "Sub Make : Dim t : Set t = New T : t.Name = \"local\" : End Sub\nMake : out.Echo \"after\"", "bye local\nafter\n"},
    {"object_kept_alive_by_second_reference", "Class T : Sub Class_Terminate : out.Echo \"gone\" : End Sub : End Class\n"
     "Dim a, b : Set a = New T : Set b = a : Set a = Nothing : out.Echo \"still\" : Set b = Nothing",
     "still\ngone\n"},
    {"with_nested", "Class K : Public n, c : End Class\nDim o : Set o = New K : Set o.c = New K\n"
     "With o : .n = 1 : With .c : .n = 2 : End With : out.Echo .n, .c.n : End With", "1 2\n"},
    {"for_each_dictionary_and_exit", "Dim d, k, s : Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"a\", 1 : d.Add \"b\", 2 : d.Add \"c\", 3\n"
     "For Each k In d : If k = \"c\" Then Exit For\n s = s & k : Next : out.Echo s", "ab\n"},
    {"execute_and_eval_see_locals", "Sub S : Dim v : v = 2 : Execute \"v = v * 5\" : out.Echo Eval(\"v + 1\") : End Sub\nS", "11\n"},
    {"execute_global_defines_procedure", "ExecuteGlobal \"Function Sq(n) : Sq = n * n : End Function\"\nout.Echo Eval(\"Sq(7)\")",
     "49\n"},
    {"getref_calls_procedure", "Function Twice(n) : Twice = n * 2 : End Function\nDim f : Set f = GetRef(\"Twice\") : out.Echo f(21)",
     "42\n"},
    {"error_in_callee_resumes_in_caller", "Sub Bad : Err.Raise 5 : out.Echo \"not here\" : End Sub\n"
     "On Error Resume Next\nBad : out.Echo \"next\", Err.Number", "next 5\n"},
    {"resume_next_is_per_procedure", "Sub Inner : Dim x : x = 1 / 0 : out.Echo \"not here\" : End Sub\n"
     "Sub Outer : On Error Resume Next : Inner : out.Echo \"outer\", Err.Number : End Sub\nOuter", "outer 11\n"},
    {"err_raise_defaults", "On Error Resume Next\nErr.Raise 9\nout.Echo Err.Number, Err.Description", "9 Subscript out of range\n"},
    {"null_propagation", "out.Echo IsNull(Null + 1), IsNull(Null & Null), Null & \"x\", IsNull(Not Null), IsNull(-Null)",
     "-1 -1 x -1 -1\n"},
    {"overflow_promotion", "out.Echo TypeName(32767 + 1), TypeName(-32768 - 1), TypeName(2147483647 * 2), TypeName(CByte(255) + 1)",
     "Long Long Double Integer\n"},
    {"string_plus_number", "out.Echo \"2\" + 3, TypeName(\"2\" + 3), \"2\" & 3, \"a\" + \"b\"", "5 Double 23 ab\n"},
    {"redim_preserve_and_erase", "Dim a() : ReDim a(1) : a(1) = \"x\" : ReDim Preserve a(3) : out.Echo UBound(a), a(1)\n"
     "Erase a : On Error Resume Next : out.Echo UBound(a) : out.Echo Err.Number", "3 x\n9\n"},
    {"erase_fixed_keeps_size", "Dim a(2) : a(0) = 1 : Erase a : out.Echo UBound(a), IsEmpty(a(0))", "2 -1\n"},
    {"set_requires_object", "On Error Resume Next\nDim x : Set x = 5 : out.Echo Err.Number", "424\n"},
    {"is_requires_objects", "On Error Resume Next\nDim x : x = (1 Is Nothing) : out.Echo Err.Number", "424\n"},
    {"call_on_nothing", "On Error Resume Next\nDim x : Set x = Nothing : x.Foo : out.Echo Err.Number", "91\n"},
    {"unknown_class", "On Error Resume Next\nDim x : Set x = New Missing : out.Echo Err.Number", "506\n"},
    {"option_explicit_undefined", "Option Explicit\nDim a : a = 1\nOn Error Resume Next\nb = 2 : out.Echo Err.Number", "500\n"},
    {"wrong_argument_count", "Sub S(a) : End Sub\nOn Error Resume Next\nS 1, 2 : out.Echo Err.Number", "450\n"},
    {"missing_sub_is_type_mismatch", "On Error Resume Next\nNoSuchSub : out.Echo Err.Number", "13\n"},
    {"single_line_if_else_chain", "Dim i : For i = 1 To 3 : If i = 1 Then out.Echo \"a\" Else If i = 2 Then out.Echo \"b\" Else out.Echo \"c\"\nNext",
     "a\nb\nc\n"},
    // A & chain grows its own fresh result in place: the strings it started from stay as they were.
    {"concat_chain_leaves_its_sources", "Dim a, b, c : a = \"x\" : b = a & \"y\" & \"z\" : c = a & \"w\"\nout.Echo a, b, c", "x xyz xw\n"},
    {"concat_of_function_result_leaves_global",
     "Dim kept : kept = \"ab\"\nFunction G() : G = kept : End Function\nDim r : r = G() & \"!\" & \"?\"\nout.Echo kept, r", "ab ab!?\n"},
    {"concat_of_array_and_dictionary_items_leaves_them",
     "Dim v(0), d : v(0) = \"p\" : Set d = CreateObject(\"Scripting.Dictionary\") : d(\"k\") = \"q\"\n"
     "out.Echo v(0) & \"1\" & \"2\", d(\"k\") & \"3\" & \"4\", v(0), d(\"k\")", "p12 q34 p q\n"},
    {"concat_chain_with_numbers_and_null", "out.Echo \"1\" & 2 & Null & \"3\" & 4.5, IsNull(Null & Null), 1 & 2 & True", "1234,5 -1 12Vero\n"},
    {"comparison_precedence", "out.Echo 1 + 2 = 3, Not 1 + 1 = 3, 2 < 3 = True, \"a\" & 1 = \"a1\"", "-1 -1 -1 -1\n"},
};

class Language : public ::testing::TestWithParam<Row> {};

TEST_P(Language, PrintsExpectedOutput) {
  const Row& row = GetParam();
  const RunResult r = RunScript(row.code);
  EXPECT_EQ(r.error, 0) << r.description << " at line " << r.line;
  EXPECT_EQ(r.output, row.output);
}

INSTANTIATE_TEST_SUITE_P(Rows, Language, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// Scripts that must stop with an error: number and line of the failing statement.
struct FailRow {
  const char* name;
  const char* code;
  int error;
  int line;
  const char* output;  // what ran before the error
};

const FailRow kFailRows[] = {
    {"runtime_error_line", "out.Echo 1\nDim a : a = 1 / 0\nout.Echo 2", 11, 2, "1\n"},
    {"error_inside_procedure_reports_inner_line", "Sub S\n  out.Echo \"in\"\n  Err.Raise 1234\nEnd Sub\nS", 1234, 3, "in\n"},
    {"goto_zero_restores_failure", "On Error Resume Next\nOn Error GoTo 0\nx = CInt(\"q\")", 13, 3, ""},
    {"syntax_error_runs_nothing", "out.Echo 1\nIf Then", 1023, 2, ""},
    {"unterminated_string", "out.Echo \"abc", 1033, 1, ""},
    {"missing_end_if", "If True Then\nout.Echo 1\n", 1014, 3, ""},
    {"sub_call_with_parentheses", "Sub S(a, b) : End Sub\nS(1, 2)", 1044, 2, ""},
    {"next_without_for", "Next", 1055, 1, ""},
};

class Failure : public ::testing::TestWithParam<FailRow> {};

TEST_P(Failure, StopsWithNumberAndLine) {
  const FailRow& row = GetParam();
  const RunResult r = RunScript(row.code);
  EXPECT_EQ(r.error, row.error) << r.description;
  EXPECT_EQ(r.line, row.line);
  EXPECT_EQ(r.output, row.output);
}

INSTANTIATE_TEST_SUITE_P(Rows, Failure, ::testing::ValuesIn(kFailRows),
                         [](const ::testing::TestParamInfo<FailRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevalcore::script::testing
