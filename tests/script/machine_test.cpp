// What the bytecode machine decides on its own, one script per row: conditions that stop
// early, texts grown in place, comparisons that jump, errors mapped back to their statement,
// For Each over arrays and collections, With and when it lets its object go, by-reference
// arguments through member calls, and the moment a temporary lets an object go. Each row prints what the language says
// it must, whatever shortcut the machine takes.
#include <gtest/gtest.h>

#include "tests/script/test_host.h"

namespace brevalcore::script::testing {
namespace {

struct Row {
  const char* name;
  const char* code;
  const char* output;
  int error = 0;  // with its line and column when not 0
  int line = 0;
  int column = 0;
  int timeoutMs = 10000;
};

const Row kRows[] = {
    // And/Or in conditions
    {"and_false_skips_plain_tests", "Dim a, b : a = 1 : b = \"x\"\nIf a = 2 And b = \"y\" Then out.Echo 1 Else out.Echo 2", "2\n"},
    {"and_still_calls_functions", "Function F() : out.Echo \"F\" : F = True : End Function\nIf 1 = 2 And F() Then out.Echo 1\nout.Echo \"end\"",
     "F\nend\n"},
    {"and_still_raises_on_an_array",
     "Sub S\n On Error Resume Next\n Dim a : a = Array(1)\n If 1 = 2 And a = 1 Then out.Echo \"in\"\n out.Echo Err.Number\nEnd Sub\nS",
     "in\n13\n"},
    {"and_still_raises_on_an_object",
     "Class C : End Class\nSub S\n Dim o : Set o = New C\n If 1 = 2 And o = 1 Then out.Echo \"in\"\nEnd Sub\nS", "", 438, 4, 2},
    {"or_true_skips", "Sub S\n Dim s : s = \"a\"\n If s = \"a\" Or Len(s) > 5 Then out.Echo \"yes\"\nEnd Sub\nS", "yes\n"},
    {"and_outside_a_condition_keeps_its_type", "Dim x : x = (1 = 2) And 5 : out.Echo x, TypeName(x)", "0 Integer\n"},
    {"and_of_numbers_is_bitwise_in_a_condition", "If 2 And 1 Then out.Echo \"t\" Else out.Echo \"f\"", "f\n"},
    {"null_and_false", "If Null And False Then out.Echo 1 Else out.Echo 2\nIf Null Or True Then out.Echo 3", "2\n3\n"},
    // & chains
    {"append_in_a_loop", "Sub S\n Dim s, i\n For i = 1 To 3 : s = s & i & \",\" : Next\n out.Echo s\nEnd Sub\nS", "1,2,3,\n"},
    {"append_to_null", "Sub S\n Dim s : s = Null : s = s & \"x\" : out.Echo s\nEnd Sub\nS", "x\n"},
    {"append_to_itself", "Sub S\n Dim s : s = \"ab\" : s = s & s : s = s & s : out.Echo s\nEnd Sub\nS", "abababab\n"},
    {"append_keeps_a_shared_text", "Sub S\n Dim s, t : s = \"a\" : t = s : s = s & \"b\" : out.Echo s, t\nEnd Sub\nS", "ab a\n"},
    {"append_reads_the_target_before_a_call_changes_it",
     "Function G(x) : x = \"z\" : G = \"!\" : End Function\nSub S\n Dim t : t = \"a\" : t = t & G(t) : out.Echo t\nEnd Sub\nS", "a!\n"},
    {"chain_of_numbers_and_texts", "Dim n : n = 5 : out.Echo \"[\" & n & \"|\" & (n + 1) & \"]\"", "[5|6]\n"},
    {"chain_with_null_inside", "out.Echo \"a\" & Null & \"b\", IsNull(Null & Null)", "ab -1\n"},
    {"whole_numbers_joined_as_digits",
     "Dim b : b = CByte(200)\nout.Echo \"K\" & 12, -5 & \"x\", \"[\" & CInt(-32768) & \"]\", \"[\" & CLng(-2147483647) - 1 & \"]\", b & \"\"",
     "K12 -5x [-32768] [-2147483648] 200\n"},
    {"other_values_joined_by_the_locale", "out.Echo 1.5 & \"\", True & 1, Null & 3, 3 & Null, Empty & 7", "1,5 Vero1 3 3 7\n"},
    {"joined_array_is_a_type_mismatch", "Dim a : a = Array(1) : out.Echo \"x\" & a", "", 13, 1, 24},
    // Comparisons that jump
    {"null_comparison_is_not_true", "If Null = 1 Then out.Echo 1 Else out.Echo 2\nIf Not (Null = 1) Then out.Echo 3 Else out.Echo 4",
     "2\n4\n"},
    {"number_against_text", "Select Case 2 : Case \"2\" : out.Echo \"s\" : Case 2 : out.Echo \"n\" : End Select\n"
                            "If \"10\" < \"9\" Then out.Echo \"text order\"",
     "n\ntext order\n"},
    {"do_until_compare", "Dim i : Do Until i >= 3 : i = i + 1 : Loop : out.Echo i\nDo : i = i - 1 : Loop While i > 0 : out.Echo i",
     "3\n0\n"},
    // Errors and their statements
    {"error_in_elseif_enters_its_branch",
     "On Error Resume Next\nIf 1 = 2 Then\n out.Echo \"a\"\nElseIf 1 / 0 = 1 Then\n out.Echo \"b\"\nEnd If\nout.Echo Err.Number", "b\n11\n"},
    {"error_in_select_skips_it", "On Error Resume Next\nSelect Case 1 / 0\nCase 1 : out.Echo \"one\"\nEnd Select\nout.Echo Err.Number",
     "11\n"},
    {"error_in_do_condition_skips_the_loop", "On Error Resume Next\nDo While 1 / 0\n out.Echo \"in\"\nLoop\nout.Echo Err.Number",
     "11\n"},
    {"error_position_in_a_loop_body", "Dim i\nFor i = 1 To 3\n  x = 1 / (2 - i)\nNext", "", 11, 3, 3},
    {"error_position_in_a_procedure", "Sub S(n)\n  If n > 0 Then\n    out.Echo 10 \\ (n - 1)\n  End If\nEnd Sub\nS 2\nS 1", "10\n",
     11, 3, 5},
    {"resume_next_goes_on_after_a_call", "On Error Resume Next\nSub S : Err.Raise 5 : out.Echo \"not here\" : End Sub\nS\nout.Echo Err.Number",
     "5\n"},
    // Leaving loops from statements the syntax tree runs
    {"exit_for_from_with",
     "Class C : Public v : End Class\nDim o, i : Set o = New C\nFor i = 1 To 5\n With o\n  .v = i\n  If i = 2 Then Exit For\n End With\nNext\nout.Echo i, o.v",
     "2 2\n"},
    {"exit_do_from_for_each",
     "Dim a, x, n : a = Array(1, 2, 3)\nDo\n For Each x In a\n  n = n + x\n  If x = 2 Then Exit Do\n Next\nLoop\nout.Echo n", "3\n"},
    {"exit_sub_from_for_each", "Sub S\n Dim x\n For Each x In Array(1, 2)\n  out.Echo x : Exit Sub\n Next\n out.Echo \"no\"\nEnd Sub\nS", "1\n"},
    // Arguments by reference
    {"byref_local_through_own_method",
     "Class C\n Sub Bump(n) : n = n + 1 : End Sub\nEnd Class\nSub T : Dim o, k : Set o = New C : k = 1 : o.Bump k : out.Echo k : End Sub\nT", "2\n"},
    {"byref_global_through_own_method", "Class C\n Sub Bump(n) : n = n + 1 : End Sub\nEnd Class\nDim o, k : Set o = New C : k = 1 : o.Bump k : out.Echo k",
     "2\n"},
    {"byref_array_element", "Sub Bump(n) : n = n + 1 : End Sub\nSub T\n Dim a(2) : a(1) = 5 : Bump a(1) : out.Echo a(1)\nEnd Sub\nT", "6\n"},
    {"byval_parameter_gets_a_copy", "Sub Bump(ByVal n) : n = n + 1 : End Sub\nSub T : Dim k : k = 1 : Bump k : out.Echo k : End Sub\nT", "1\n"},
    {"wrong_argument_count", "Sub S(a) : End Sub\nSub T\n  S 1, 2\nEnd Sub\nT", "", 450, 3, 3},
    // Numbers
    {"integer_overflow_becomes_long", "Sub S\n Dim i, s : s = 32000\n For i = 1 To 1000 : s = s + 1 : Next\n out.Echo s, TypeName(s)\nEnd Sub\nS",
     "33000 Long\n"},
    {"long_overflow_becomes_double", "Dim x : x = 2147483647 : x = x + 1 : out.Echo TypeName(x), x", "Double 2147483648\n"},
    {"for_counter_global", "For i = 1 To 3 : Next : out.Echo i", "4\n"},
    {"for_counter_changed_in_the_body", "Sub S\n Dim i, n\n For i = 1 To 10 : i = i + 1 : n = n + 1 : Next\n out.Echo n, i\nEnd Sub\nS", "5 11\n"},
    {"for_with_text_bounds", "Dim i, n : For i = \"1\" To \"3\" : n = n + 1 : Next : out.Echo n", "3\n"},
    {"for_steps_written_as_numbers",
     "Sub S\n Dim i, t\n For i = 5 To 1 Step -2 : t = t & i : Next\n For i = 1 To 2 Step (1) : t = t & i : Next\n"
     " For i = 1 To 0 : t = t & \"never\" : Next\n For i = 0 To 1 Step 0.5 : t = t & \"h\" : Next\n out.Echo t, i\nEnd Sub\nS",
     "53112hhh 1,5\n"},
    {"for_counter_grows_past_integer", "Sub S\n Dim i, n\n For i = 32766 To 32768 : n = n + 1 : Next\n out.Echo n, i, TypeName(i)\nEnd Sub\nS",
     "3 32769 Long\n"},
    {"for_step_read_once", "Sub S\n Dim i, s, n : s = 1\n For i = 1 To 3 Step s : s = 5 : n = n + 1 : Next\n out.Echo n\nEnd Sub\nS", "3\n"},
    {"division_and_mod", "out.Echo 7 \\ 2, -7 Mod 3, 7 / 2, TypeName(6 / 3)", "3 -1 3,5 Double\n"},
    // For Each
    {"each_over_an_array", "Sub S\n Dim x, s\n For Each x In Array(1, \"a\", Null) : s = s & TypeName(x) & \",\" : Next\n out.Echo s, x\nEnd Sub\nS",
     "Integer,String,Null, Null\n"},
    {"each_over_a_matrix_in_memory_order", "Dim m(1, 2), x, i, j, s\nFor i = 0 To 1 : For j = 0 To 2 : m(i, j) = i & j : Next : Next\nFor Each x In m : s = s & x & \" \" : Next\nout.Echo s",
     "00 10 01 11 02 12 \n"},
    {"each_over_an_empty_array", "Dim a, x, n : a = Array() : x = \"kept\"\nFor Each x In a : n = n + 1 : Next\nout.Echo n, x", " kept\n"},
    {"each_sees_a_snapshot", "Sub S\n Dim a, x, s : a = Array(1, 2, 3)\n For Each x In a : a(2) = 9 : ReDim Preserve a(5) : s = s & x : Next\n out.Echo s, a(2), UBound(a)\nEnd Sub\nS",
     "123 9 5\n"},
    {"each_over_a_dictionary", "Dim d, k, s : Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"b\", 1 : d.Add \"a\", 2\nFor Each k In d : s = s & k & d(k) : Next\nout.Echo s",
     "b1a2\n"},
    {"each_over_a_collection", "Dim d, v, s : Set d = CreateObject(\"Scripting.Dictionary\")\nd(1) = \"x\" : d(2) = \"y\"\nFor Each v In d.Items : s = s & v : Next\nout.Echo s", "xy\n"},
    {"each_element_a_global_and_a_field",
     "Class C\n Private x\n Sub Run : For Each x In Array(4, 5) : Next : out.Echo x : End Sub\nEnd Class\nDim g\nFor Each g In Array(1, 2) : Next\nout.Echo g\nDim o : Set o = New C : o.Run",
     "2\n5\n"},
    {"each_exit_for_in_nested",
     "Sub S\n Dim x, y, s\n For Each x In Array(1, 2, 3)\n  For Each y In Array(\"a\", \"b\", \"c\")\n   If y = \"b\" Then Exit For\n   s = s & x & y\n  Next\n  If x = 2 Then Exit For\n Next\n out.Echo s, x, y\nEnd Sub\nS",
     "1a2a 2 b\n"},
    {"each_exit_for_leaves_only_its_loop", "Dim i, x, n\nFor i = 1 To 3\n For Each x In Array(1, 2) : Exit For : Next\n n = n + 1\nNext\nout.Echo n", "3\n"},
    {"each_element_that_fails", "Sub S\n Dim x\n For Each x In Array(1, \"a\", 3)\n  out.Echo x + 1\n Next\nEnd Sub\nS", "2\n", 13, 4, 3},
    {"each_over_a_number", "Dim x\nx = 1\n  For Each x In 5 : Next", "", 451, 3, 3},
    {"each_over_nothing", "Sub S\n Dim x, o : Set o = Nothing\n For Each x In o : Next\nEnd Sub\nS", "", 91, 3, 2},
    {"each_over_an_object_without_enumerator", "Class C : End Class\nDim x\nFor Each x In New C : Next", "", 451, 3, 1},
    {"each_failing_under_resume_next_runs_the_body_once",
     "On Error Resume Next\nDim x, n : x = \"kept\"\nFor Each x In 5 : n = n + 1 : out.Echo x, Err.Number : Next\nout.Echo n",
     "kept 451\n1\n"},
    {"each_element_error_resumed_inside", "Sub S\n On Error Resume Next\n Dim x, s\n For Each x In Array(1, \"a\", 3) : s = s & (x + 1) & \",\" : Next\n out.Echo s\nEnd Sub\nS",
     "2,4,\n"},
    {"each_exit_sub_inside", "Function F\n Dim x\n For Each x In Array(1, 2, 3) : If x = 2 Then F = x : Exit Function\n Next\n F = 0\nEnd Function\nout.Echo F", "2\n"},
    {"each_time_out_in_an_endless_loop", "Dim a, x, y : ReDim a(100000)\nFor Each x In a\n For Each y In a : Next\nNext", "", 1001, 3, 2, 200},
    {"for_counter_a_field", "Class K\n Private i\n Sub Go\n  Do\n   For i = 1 To 3 : If i = 2 Then Exit Do\n   Next\n  Loop\n  out.Echo i\n End Sub\nEnd Class\nDim o : Set o = New K : o.Go",
     "2\n"},
    {"loop_variable_a_constant_is_refused_first",
     "Const K = 1\nFunction F : out.Echo \"F\" : F = 3 : End Function\nFor Each K In Array(F()) : Next", "", 501, 3, 1},
    {"for_counter_a_constant_skipped_under_resume_next",
     "On Error Resume Next\nConst K = 1\nFor K = 1 To 2 : out.Echo \"in\" : Next\nout.Echo Err.Number", "501\n"},
    {"loop_variable_undeclared", "Option Explicit\nDim n\nFor Each y In Array(1) : n = 1 : Next\nout.Echo n", "", 501, 3, 1},
    {"loop_variable_declared_later_by_execute", "Sub S\n For Each z In Array(7) : Next\nEnd Sub\nExecuteGlobal \"Dim z\"\nS\nout.Echo z", "7\n"},
    // With
    {"with_reads_writes_and_calls",
     "Class C\n Public V\n Function Twice(n) : Twice = 2 * n : End Function\nEnd Class\nSub S\n Dim o : Set o = New C\n With o\n  .V = 3\n  out.Echo .V, .Twice(.V)\n End With\nEnd Sub\nS",
     "3 6\n"},
    {"with_evaluated_once", "Class C : Public V : End Class\nDim o, n\nFunction Get1 : n = n + 1 : Set Get1 = o : End Function\nSet o = New C\nWith Get1()\n .V = 1 : .V = .V + 1\nEnd With\nout.Echo n, o.V",
     "1 2\n"},
    {"with_nested", "Class C : Public V, Inner : End Class\nDim o : Set o = New C : Set o.Inner = New C\nWith o\n .V = 1\n With .Inner\n  .V = 2\n End With\n .V = .V + 10\nEnd With\nout.Echo o.V, o.Inner.V",
     "11 2\n"},
    {"with_and_each", "Class C : Public V : End Class\nSub S\n Dim o, x : Set o = New C : o.V = 0\n With o\n  For Each x In Array(1, 2, 3) : .V = .V + x : Next\n End With\n out.Echo o.V\nEnd Sub\nS",
     "6\n"},
    {"with_inside_a_loop", "Class C : Public V : End Class\nDim a(2), i, s\nFor i = 0 To 2 : Set a(i) = New C : a(i).V = i : Next\nFor i = 0 To 2\n With a(i) : s = s & .V : End With\nNext\nout.Echo s",
     "012\n"},
    {"with_on_nothing", "Class C : Public V : End Class\nDim o\nWith o\n out.Echo \"in\"\n  .V = 1\nEnd With", "in\n", 424, 5, 3},
    {"with_on_nothing_set", "Class C : Public V : End Class\nDim o : Set o = Nothing\nWith o\n  .V = 1\nEnd With", "", 91, 4, 3},
    {"with_expression_fails", "Sub S\n Dim a\n With a(1)\n  out.Echo \"in\"\n End With\nEnd Sub\nS", "", 13, 3, 2},
    {"with_expression_fails_under_resume_next_skips_it",
     "On Error Resume Next\nDim a\nWith a(1)\n out.Echo \"in\"\nEnd With\nout.Echo \"after\", Err.Number", "after 13\n"},
    {"with_releases_its_object_at_the_end",
     "Class C\n Public V\n Private Sub Class_Terminate : out.Echo \"bye\" : End Sub\nEnd Class\nWith New C\n .V = 1\nEnd With\nout.Echo \"after\"",
     "bye\nafter\n"},
    {"with_released_when_a_loop_is_left",
     "Class C\n Private Sub Class_Terminate : out.Echo \"bye\" : End Sub\nEnd Class\nDim i\nFor i = 1 To 2\n With New C\n  Exit For\n End With\nNext\nout.Echo \"after\"",
     "bye\nafter\n"},
    {"with_released_when_a_function_is_left",
     "Class C\n Private Sub Class_Terminate : out.Echo \"bye\" : End Sub\nEnd Class\nFunction F\n Do\n  With New C\n   Exit Function\n  End With\n Loop\nEnd Function\nF\nout.Echo \"after\"",
     "bye\nafter\n"},
    {"with_released_when_an_error_leaves_it",
     "Class C\n Private Sub Class_Terminate : out.Echo \"bye\" : End Sub\nEnd Class\nWith New C\n  x = 1 / 0\nEnd With", "bye\n", 11, 5, 3},
    {"with_member_by_reference_from_a_tree_statement", "Class C : Public V : End Class\nDim o : Set o = New C\nWith o\n ReDim a(2) : .V = a : .V(1) = 5\nEnd With\nout.Echo UBound(o.V)",
     "2\n"},
    // New and Me
    {"new_in_a_loop_releases_the_previous",
     "Class C\n Public N\n Private Sub Class_Initialize : k = k + 1 : N = k : out.Echo \"init\", N : End Sub\n"
     " Private Sub Class_Terminate : out.Echo \"bye\", N : End Sub\nEnd Class\nDim k, x, i\nFor i = 1 To 3 : Set x = New C : Next\nout.Echo \"end\", x.N",
     "init 1\ninit 2\nbye 1\ninit 3\nbye 2\nend 3\n"},
    {"new_inside_a_procedure", "Class C : Public V : End Class\nSub S\n Dim o : Set o = New C : o.V = 4 : out.Echo TypeName(o), o.V\nEnd Sub\nS",
     "C 4\n"},
    {"new_initialize_that_raises", "Class C\n Private Sub Class_Initialize : Err.Raise 5 : End Sub\nEnd Class\nDim o\n Set o = New C", "", 5, 2, 33},
    {"new_initialize_raising_resumed", "Class C\n Private Sub Class_Initialize : Err.Raise 5 : End Sub\nEnd Class\nOn Error Resume Next\nDim o : Set o = New C\nout.Echo Err.Number, IsEmpty(o)",
     "5 -1\n"},
    {"new_of_an_unknown_class", "Dim o\nSub S\n  Set o = New Nowhere\nEnd Sub\nS", "", 506, 3, 3},
    {"new_of_an_unknown_class_resumed", "On Error Resume Next\nDim o : Set o = New Nowhere\nout.Echo Err.Number, IsEmpty(o)", "506 -1\n"},
    {"new_of_a_built_in_class", "Dim r : Set r = New RegExp : r.Pattern = \"b+\" : out.Echo r.Test(\"abbc\")", "-1\n"},
    {"new_with_array_fields", "Class C\n Public A(2)\nEnd Class\nDim o : Set o = New C : o.A(2) = 7 : out.Echo UBound(o.A), o.A(2)", "2 7\n"},
    {"new_declared_later_by_execute_global", "Sub S\n Dim o : Set o = New Late : out.Echo TypeName(o)\nEnd Sub\nExecuteGlobal \"Class Late : End Class\"\nS",
     "Late\n"},
    {"me_compared_with_is",
     "Class C\n Function Same(o) : Same = o Is Me : End Function\nEnd Class\nDim a, b : Set a = New C : Set b = New C\nout.Echo a.Same(a), a.Same(b)",
     "-1 0\n"},
    {"me_passed_by_reference_and_by_value",
     "Class C\n Public V\n Sub Go : Take Me : TakeVal Me : out.Echo V : End Sub\nEnd Class\n"
     "Sub Take(o) : o.V = o.V & \"r\" : Set o = Nothing : End Sub\nSub TakeVal(ByVal o) : o.V = o.V & \"v\" : End Sub\n"
     "Dim inst : Set inst = New C : inst.Go : out.Echo TypeName(inst)",
     "rv\nC\n"},
    {"me_outside_a_class", "Sub S\n Dim o\n  Set o = Me\nEnd Sub\nS", "", 424, 3, 3},
    {"me_outside_a_class_resumed", "On Error Resume Next\nDim o : Set o = Me\nout.Echo Err.Number", "424\n"},
    // Calls that do not fit their callee
    {"missing_argument_evaluates_those_before_it",
     "Function F(n) : out.Echo \"F\", n : F = n : End Function\nSub S(a, b, c) : out.Echo \"in\" : End Sub\nSub T\n  S F(1), , F(3)\nEnd Sub\nT",
     "F 1\n", 450, 4, 3},
    {"missing_argument_in_an_expression", "Function G(a, b) : G = 1 : End Function\nDim x\n x = G(, 2)", "", 450, 3, 2},
    {"missing_argument_resumed", "On Error Resume Next\nFunction G(a, b) : G = 1 : End Function\nDim x : x = 5 : x = G(1, )\nout.Echo Err.Number, x",
     "450 5\n"},
    {"too_many_arguments_evaluates_none",
     "Function F(n) : out.Echo \"F\" : End Function\nFunction G() : G = 1 : End Function\nDim x\nx = G(F(1))", "", 450, 4, 1},
    {"too_few_arguments_to_a_function", "Function G(a, b) : G = a + b : End Function\nSub S\n Dim x\n   x = G(1)\nEnd Sub\nS", "", 450, 4, 4},
    {"wrong_count_resumed_goes_on",
     "On Error Resume Next\nSub S(a) : out.Echo \"S\" : End Sub\nS 1, 2\nout.Echo Err.Number\nErr.Clear\nS 1\nout.Echo Err.Number", "450\nS\n0\n"},
    {"wrong_count_to_a_built_in", "Dim x\nx = Len(\"a\", \"b\")", "", 450, 2, 1},
    {"wrong_count_to_a_built_in_resumed", "On Error Resume Next\nDim x : x = 3 : x = Left(\"abc\")\nout.Echo Err.Number, x", "450 3\n"},
    {"recursion_by_own_name_with_wrong_count", "Function F(n)\n  If n > 0 Then F = F(n - 1, 1)\nEnd Function\nout.Echo F(1)", "", 450, 2, 17},
    {"procedure_redefined_with_a_fitting_count",
     "Sub S(a) : out.Echo \"one\" : End Sub\nSub T : S 1, 2 : End Sub\nExecuteGlobal \"Sub S(a, b) : out.Echo \"\"two\"\", a, b : End Sub\"\nT", "two 1 2\n"},
    // The engine's own functions
    {"eval_sees_the_locals", "Function F(a)\n Dim b : b = 10\n F = Eval(\"a * b + 1\")\nEnd Function\nout.Echo F(4)", "41\n"},
    {"eval_in_a_method_sees_fields", "Class C\n Private V\n Function Go : V = 3 : Go = Eval(\"V + 1\") : End Function\nEnd Class\nDim o : Set o = New C : out.Echo o.Go",
     "4\n"},
    {"eval_of_a_function_that_raises", "Function Bad : Err.Raise 11 : End Function\nSub S\n Dim x\n  x = Eval(\"1 + Bad()\")\nEnd Sub\nS", "", 11, 1, 16},
    {"eval_of_a_syntax_error", "Dim x\n x = Eval(\"1 +\")", "", 1023, 1, 4},
    {"eval_of_a_syntax_error_resumed", "On Error Resume Next\nDim x : x = Eval(\"(1\")\nout.Echo Err.Number", "1006\n"},
    {"eval_compares_rather_than_assigns", "Dim a : a = 2\nout.Echo Eval(\"a = 2\"), a", "-1 2\n"},
    {"eval_the_same_text_in_two_procedures",
     "Function F : Dim n : n = 1 : F = Eval(\"n\") : End Function\nFunction G : Dim z, n : n = 2 : G = Eval(\"n\") : End Function\nout.Echo F, G, F",
     "1 2 1\n"},
    {"eval_of_a_with_member_outside_its_with",
     "Class C : Public V : End Class\nDim o : Set o = New C : o.V = 2\nWith o\n out.Echo .V\n out.Echo Eval(\".V + 1\")\nEnd With", "2\n", 424, 5, 2},
    {"eval_without_arguments", "Dim x\nx = Eval()", "", 450, 2, 1},
    {"execute_sets_a_local", "Sub S\n Dim a\n Execute \"a = 5\"\n out.Echo a\nEnd Sub\nS", "5\n"},
    {"getref_and_typename", "Function Twice(n) : Twice = 2 * n : End Function\nDim f : Set f = GetRef(\"Twice\")\nout.Echo f(4), TypeName(f), IsObject(f)",
     "8 Object -1\n"},
    {"getref_of_a_missing_procedure", "Dim f\nSet f = GetRef(\"Nowhere\")", "", 5, 2, 1},
    {"typename_with_two_arguments", "Dim x\nx = TypeName(1, 2)", "", 450, 2, 1},
    {"array_field_read_in_a_method",
     "Class C\n Private A(2), D\n Sub Fill : Dim i : For i = 0 To 2 : A(i) = i * i : Next : End Sub\n"
     " Function Sum : Sum = A(0) + A(1) + A(2) : End Function\n"
     " Function Of(k) : Set D = CreateObject(\"Scripting.Dictionary\") : D(k) = \"v\" & k : Of = D(k) : End Function\n"
     " Function Bad : Bad = A(3) : End Function\nEnd Class\nDim o : Set o = New C : o.Fill : out.Echo o.Sum, o.Of(2)\nout.Echo o.Bad",
     "5 v2\n", 9, 6, 17},
    {"own_members_called_by_their_names",
     "Class C\n Private A(1), T\n Public Property Get Items : Items = Array(\"x\", \"y\") : End Property\n"
     " Private Function Twice(n) : n = n * 2 : Twice = n : End Function\n"
     " Sub Go\n  Dim k : k = 3 : A(1) = 9\n  out.Echo Twice(k), k, Items()(1), Items(0), A(1)\n  Note \"x\" : Note(\"y\")\n End Sub\n"
     " Sub Note(s) : T = T & s : out.Echo T : End Sub\nEnd Class\nDim o : Set o = New C : o.Go",
     "6 6 y x 9\nx\nxy\n"},
    {"own_member_with_a_wrong_count_evaluates_nothing",
     "Class C\n Function Two(a, b) : Two = a + b : End Function\n Function Loud : out.Echo \"loud\" : End Function\n"
     " Sub Go\n  out.Echo Two(Loud())\n End Sub\nEnd Class\nDim o : Set o = New C : o.Go",
     "", 450, 5, 3},
    {"own_member_with_a_wrong_count_resumed",
     "Class C\n Sub One(a) : out.Echo \"one\", a : End Sub\n Sub Go\n  On Error Resume Next\n  One 1, 2\n  out.Echo Err.Number\n  One 3\n End Sub\nEnd Class\n"
     "Dim o : Set o = New C : o.Go",
     "450\none 3\n"},
    {"variable_holding_an_object_called",
     "Function Bump(n) : n = n + 1 : Bump = n * 10 : End Function\nSub S\n Dim d, f, k : Set d = CreateObject(\"Scripting.Dictionary\")\n"
     " d(\"a\") = 1 : k = 1 : Set f = GetRef(\"Bump\")\n out.Echo d(\"a\"), d(\"none\") = \"\", f(k), k\nEnd Sub\nS",
     "1 -1 20 2\n"},
    {"called_object_taken_before_its_arguments",
     "Dim d, e\nFunction Swap : Set d = e : Swap = \"a\" : End Function\nSet d = CreateObject(\"Scripting.Dictionary\") : d(\"a\") = \"first\"\n"
     "Set e = CreateObject(\"Scripting.Dictionary\") : e(\"a\") = \"second\"\nout.Echo d(Swap()), d(\"a\")",
     "first second\n"},
    {"number_called_evaluates_nothing", "Function Loud : out.Echo \"loud\" : End Function\nSub S\n Dim n : n = 3\n  out.Echo n(Loud())\nEnd Sub\nS",
     "", 13, 4, 3},
    {"nothing_called", "Function Loud : out.Echo \"loud\" : End Function\nDim o : Set o = Nothing\nout.Echo o(Loud())", "", 91, 3, 1},
    {"getref_called_with_a_wrong_count", "Function Loud : out.Echo \"loud\" : End Function\nFunction Two(a, b) : End Function\nDim f : Set f = GetRef(\"Two\")\nout.Echo f(Loud())",
     "", 450, 4, 1},
    {"bare_names_as_statements",
     "Class C\n Sub Ping : out.Echo \"ping\" : End Sub\n Sub Go : Ping : Err : out.Echo \"go\" : End Sub\nEnd Class\nDim o : Set o = New C : o.Go\n  Eval",
     "ping\ngo\n", 450, 6, 3},
    {"constant_called_with_arguments", "Const K = 5\nDim x\nx = K(1)", "", 13, 3, 1},
    {"err_read_as_a_value", "On Error Resume Next\nErr.Raise 7\nDim e : Set e = Err\nout.Echo e.Number, Err(), TypeName(Err)", "7 7 ErrObject\n"},
    // Statements that store into arrays, declare and call by name
    {"element_1d_and_2d", "Sub S\n Dim a(2), m(1, 2), i, j\n For i = 0 To 2 : a(i) = i * 10 : Next\n"
     " For i = 0 To 1 : For j = 0 To 2 : m(i, j) = i & j : Next : Next\n out.Echo a(0), a(2), m(1, 2), m(0, 1)\nEnd Sub\nS",
     "0 20 12 01\n"},
    {"element_out_of_range", "Sub S\n Dim a(2)\n a(1) = 1\n  a(3) = 5\nEnd Sub\nS", "", 9, 4, 3},
    {"element_wrong_dimensions", "Dim m(1, 1)\nm(1) = 2", "", 9, 2, 1},
    {"element_of_a_non_array", "Dim x : x = 5\nx(1) = 2", "", 13, 2, 1},
    {"element_of_empty_skips_its_subscripts", "Function F : out.Echo \"F\" : F = 0 : End Function\nDim x\nx(F()) = 2", "", 13, 3, 1},
    {"element_value_first_then_subscripts",
     "Dim a(3), n\nFunction V : n = n & \"v\" : V = 7 : End Function\nFunction I : n = n & \"i\" : I = 1 : End Function\na(I()) = V()\nout.Echo n, a(1)",
     "vi 7\n"},
    {"element_text_subscript", "Dim a(3) : a(\"2\") = \"t\" : out.Echo a(2) : a(1.6) = \"r\" : out.Echo a(2)\na(\"x\") = 1", "t\nr\n", 13, 2, 1},
    {"element_missing_subscript_first", "Function F : out.Echo \"F\" : F = 0 : End Function\nDim m(1, 1)\nm(, F()) = 1", "", 9, 3, 1},
    {"element_of_a_fixed_global_and_field",
     "Class C\n Public a(2)\n Private b(1)\n Sub Fill : b(1) = \"b\" : a(0) = b(1) & \"!\" : End Sub\nEnd Class\nDim g(1), o\ng(1) = \"g\"\n"
     "Set o = New C : o.Fill : o.a(2) = \"x\"\nout.Echo g(1), o.a(0), o.a(2)",
     "g b! x\n"},
    {"element_of_an_array_passed_by_reference",
     "Sub Fill(arr) : arr(0) = \"in\" : End Sub\nSub ByVal1(ByVal arr) : arr(0) = \"lost\" : End Sub\nDim a(1) : Fill a : ByVal1 a : out.Echo a(0)", "in\n"},
    // An element held by reference while the callee changes its array
    {"held_element_redim_refused", "Dim a : ReDim a(3)\nSub M(x) : ReDim a(5) : x = 1 : End Sub\nM a(0)", "", 10, 2, 12},
    {"held_element_redim_preserve_refused", "Dim a : ReDim a(3)\nSub M(x)\n ReDim Preserve a(5)\nEnd Sub\nM a(1)", "", 10, 3, 2},
    {"held_element_erase_refused", "Sub M(x)\n Erase a\nEnd Sub\nDim a : a = Array(1, 2)\nM a(1)", "", 10, 2, 2},
    {"held_element_of_a_member_call",
     "Dim a : ReDim a(3)\nClass C\n Sub M(x) : ReDim a(5) : x = 1 : End Sub\nEnd Class\nDim o : Set o = New C\no.M a(0)", "", 10, 3, 13},
    {"held_element_refusal_resumed",
     "Dim a : ReDim a(3)\nSub M(x)\n On Error Resume Next\n ReDim a(5)\n out.Echo Err.Number\n x = 1\nEnd Sub\nM a(2)\n"
     "out.Echo UBound(a), a(2)\nReDim a(1) : out.Echo UBound(a)",
     "10\n3 1\n1\n"},
    {"held_element_and_writes_by_name_share_the_array",
     "Dim a : a = Array(0, 0)\nSub M(x)\n a(1) = 7 : x = 9 : out.Echo a(0), a(1)\nEnd Sub\nM a(0) : out.Echo a(0), a(1)",
     "9 7\n9 7\n"},
    {"held_element_outlives_its_variable",
     "Dim a : a = Array(1, 2)\nSub M(x) : a = 5 : x = \"lost\" : out.Echo a : End Sub\nM a(1) : out.Echo a, TypeName(a)", "5\n5 Integer\n"},
    {"held_element_in_eval_text",
     "Dim a : ReDim a(3)\nFunction F(x) : ReDim a(5) : F = 1 : End Function\nSub S\n Dim v : v = Eval(\"F(a(0))\")\nEnd Sub\nS", "", 10, 2, 17},
    {"held_elements_of_one_array_twice",
     "Dim a : a = Array(1, 2)\nSub M(x, y) : x = 10 : y = 20 : a(0) = a(0) + 1 : End Sub\nM a(0), a(1) : out.Echo a(0), a(1)", "11 20\n"},
    {"element_write_copies_a_shared_array", "Sub S\n Dim a, b : a = Array(1, 2) : b = a : b(0) = 9 : out.Echo a(0), b(0)\nEnd Sub\nS", "1 9\n"},
    {"element_set_an_object", "Class C : Public V : End Class\nDim a(1) : Set a(1) = New C : a(1).V = 4 : out.Echo a(1).V, TypeName(a(0))\nSet a(0) = 5",
     "4 Empty\n", 424, 3, 1},
    {"element_let_takes_the_default_value",
     "Class C\n Public Default Property Get V : V = 42 : End Property\nEnd Class\nDim a(0) : a(0) = New C : out.Echo TypeName(a(0))", "Integer\n"},
    {"element_of_the_function_result", "Function F\n F = Array(1, 2)\n F(1) = 5\nEnd Function\nout.Echo F()(1)", "5\n"},
    {"element_subscript_replaces_the_array",
     "Dim a(2)\nFunction G : a = 5 : G = 1 : End Function\nSub S\n Dim b : b = Array(1, 2)\n b(G2(b)) = 3\nEnd Sub\n"
     "Function G2(x) : x = Empty : G2 = 0 : End Function\nOn Error Resume Next\na(G()) = 1 : out.Echo Err.Number, a\nS : out.Echo Err.Number",
     "13 5\n13\n"},
    {"element_of_an_array_of_arrays", "Dim a : a = Array(Array(1, 2), 3)\nout.Echo a(0)(1)\na(0)(1) = 5", "2\n", 424, 3, 1},
    {"dictionary_item_by_default_and_by_name",
     "Sub S\n Dim d : Set d = CreateObject(\"Scripting.Dictionary\")\n d(\"k\") = 1 : d.Item(\"j\") = 2 : d(\"k\") = d(\"k\") + 10\n"
     " Set d(\"o\") = CreateObject(\"Scripting.Dictionary\")\n out.Echo d(\"k\"), d.Item(\"j\"), d.Count, TypeName(d(\"o\"))\nEnd Sub\nS",
     "11 2 3 Dictionary\n"},
    {"dictionary_in_a_global_and_a_with", "Dim d : Set d = CreateObject(\"Scripting.Dictionary\")\nd(1) = \"a\"\nWith d\n .Item(2) = \"b\"\nEnd With\nout.Echo d(1) & d(2)",
     "ab\n"},
    {"indexed_member_of_nothing", "Dim o : Set o = Nothing\no.Items(1) = 2", "", 91, 2, 1},
    {"indexed_member_missing", "Class C : End Class\nDim o : Set o = New C\no.Items(1) = 2", "", 438, 3, 1},
    {"indexed_property_with_parameters",
     "Class C\n Private v(3)\n Public Property Let Item(i, x) : v(i) = x : End Property\n Public Property Get Item(i) : Item = v(i) : End Property\n"
     " Sub Fill : Item(2) = \"in\" : End Sub\nEnd Class\nDim o : Set o = New C : o.Item(1) = \"a\" : o.Fill : out.Echo o.Item(1), o.Item(2)",
     "a in\n"},
    {"indexed_through_a_property_get",
     "Class C\n Private d\n Private Sub Class_Initialize : Set d = CreateObject(\"Scripting.Dictionary\") : End Sub\n"
     " Public Property Get Items : Set Items = d : End Property\nEnd Class\nDim o : Set o = New C : o.Items(\"k\") = 5 : out.Echo o.Items(\"k\")",
     "5\n"},
    {"member_assignment_outside_with", "Sub S\n Dim x : x = 1\n  .V = x\nEnd Sub\nS", "", 424, 3, 3},
    {"assign_to_a_procedure_element", "Sub P : End Sub\nP(1) = 2", "", 13, 2, 1},
    {"redim_local_global_and_field",
     "Class C\n Public a\n Sub Grow : ReDim a(3) : a(3) = \"f\" : End Sub\nEnd Class\nSub S\n Dim x : ReDim x(2) : x(2) = \"l\" : out.Echo UBound(x), x(2)\nEnd Sub\n"
     "ReDim g(1, 4) : out.Echo UBound(g, 2)\nS\nDim o : Set o = New C : o.Grow : out.Echo UBound(o.a), o.a(3)",
     "4\n2 l\n3 f\n"},
    {"redim_preserve_grows_and_shrinks",
     "Dim a : a = Array(1, 2, 3)\nReDim Preserve a(4) : a(4) = 5 : out.Echo a(0), a(2), TypeName(a(3)), a(4)\nReDim Preserve a(1) : out.Echo UBound(a), a(1)\n"
     "ReDim a(2) : out.Echo TypeName(a(0))",
     "1 3 Empty 5\n1 2\nEmpty\n"},
    {"redim_preserve_last_dimension_only",
     "Dim m : ReDim m(1, 1) : m(1, 1) = \"x\"\nReDim Preserve m(1, 3) : out.Echo m(1, 1), UBound(m, 2)\nReDim Preserve m(2, 3)", "x 3\n", 9, 3, 1},
    {"redim_of_a_fixed_array", "Dim a(2)\nReDim a(3)", "", 10, 2, 1},
    {"redim_preserve_of_a_non_array", "Dim x : x = 5 : ReDim Preserve x(1) : x(1) = 2 : out.Echo x(1), TypeName(x(0))", "2 Empty\n"},
    {"redim_bounds", "Dim a\nReDim a(-1) : out.Echo UBound(a)\nReDim a(\"2\") : out.Echo UBound(a)\nReDim a(-2)", "-1\n2\n", 9, 4, 1},
    {"redim_several_stops_at_the_failing_one", "On Error Resume Next\nDim a, b(1), c\nReDim a(2), b(3), c(4)\nout.Echo UBound(a), IsEmpty(c), Err.Number",
     "2 -1 10\n"},
    {"redim_bounds_read_in_order",
     "Dim n, a\nFunction B(x) : n = n & x : B = x : End Function\nReDim a(B(1), B(2)) : out.Echo n, UBound(a, 2)", "12 2\n"},
    {"erase_dynamic_and_fixed",
     "Dim a, f(2), x : a = Array(1, 2) : f(1) = \"k\"\nErase a : Erase f\nout.Echo IsArray(a), UBound(f), TypeName(f(1))\nx = UBound(a)",
     "-1 2 Empty\n", 9, 4, 1},
    {"erase_a_non_array", "Dim x : x = 1\nErase x", "", 13, 2, 1},
    {"erase_keeps_a_shared_copy", "Dim a, b(1) : b(0) = 1 : a = b : Erase b : out.Echo a(0), TypeName(b(0))", "1 Empty\n"},
    {"erase_an_element",
     "Dim a, x : a = Array(Array(1), 2)\nErase a(0) : On Error Resume Next : x = UBound(a(0)) : out.Echo Err.Number\nOn Error GoTo 0\nErase a(1)",
     "9\n", 13, 4, 1},
    {"const_script_level_and_procedure",
     "Const A = 2, B = \"b\"\nSub S\n Const K = 5\n out.Echo K + A, B\nEnd Sub\nS\nout.Echo A * 10", "7 b\n20\n"},
    {"const_from_a_constant_expression", "Const H = &H10\nConst N = -1\nout.Echo H, N, TypeName(H)", "16 -1 Integer\n"},
    {"dim_fixed_in_a_loop_is_fresh", "Dim i, s\nFor i = 1 To 3\n Dim a(2)\n s = s & TypeName(a(1)) & \",\"\n a(1) = i\nNext\nout.Echo s, a(1)",
     "Empty,Empty,Empty, 3\n"},
    {"dim_fixed_in_a_procedure_loop", "Sub S\n Dim i, s\n For i = 1 To 2\n  Dim m(1, 1)\n  s = s & IsEmpty(m(1, 1))\n  m(1, 1) = i\n Next\n out.Echo s\nEnd Sub\nS",
     "VeroVero\n"},
    {"dim_dynamic_and_reuse", "Dim a()\nout.Echo UBound(a)\nReDim a(1) : a(1) = 3 : out.Echo a(1)", "", 9, 2, 1},
    {"dim_fixed_is_refused_by_redim", "Sub S\n Dim a(1)\n ReDim Preserve a(2)\nEnd Sub\nS", "", 10, 3, 2},
    {"resume_next_around_each",
     "On Error Resume Next\nDim a(1), f(1), x, d\na(5) = 1 : out.Echo Err.Number : Err.Clear\nReDim f(3) : out.Echo Err.Number : Err.Clear\n"
     "Erase x : out.Echo Err.Number : Err.Clear\nx(1) = 2 : out.Echo Err.Number : Err.Clear\nSet d = Nothing : d(1) = 1 : out.Echo Err.Number : Err.Clear\n"
     "ReDim x(-5) : out.Echo Err.Number, IsEmpty(x) : Err.Clear\nSet a(0) = 3 : out.Echo Err.Number, IsEmpty(a(0))\nout.Echo \"end\"",
     "9\n10\n13\n13\n91\n9 -1\n424 -1\nend\n"},
    {"resume_next_in_a_procedure", "Sub S\n On Error Resume Next\n Dim a(1)\n a(2) = 1\n out.Echo Err.Number\n Const C = 1\n ReDim a(3)\n out.Echo Err.Number\nEnd Sub\nS",
     "9\n10\n"},
    {"variable_as_a_statement", "Dim x : x = 1\nx", "", 13, 2, 1},
    {"object_variable_as_a_statement",
     "Class C\n Public Default Sub Go : out.Echo \"go\" : End Sub\nEnd Class\nDim o : Set o = New C\no\nSet o = Nothing\no", "go\n", 91, 7, 1},
    {"constant_as_a_statement", "Const K = 1\nK", "", 13, 2, 1},
    {"conversion_as_a_statement", "Call CInt(2)", "", 458, 1, 1},
    {"array_element_as_a_statement", "Sub S\n Dim a : a = Array(1)\n a(0)\n out.Echo \"ok\"\n a(3)\nEnd Sub\nS", "ok\n", 9, 5, 2},
    {"class_member_as_a_statement", "Class C\n Sub Hi : out.Echo \"hi\" : End Sub\n Sub Go : Hi : Me.Hi : End Sub\nEnd Class\nDim o : Set o = New C : o.Go", "hi\nhi\n"},
    // Array elements given by reference to members and called values, arguments left out, a() and gaps
    {"element_byref_through_own_method",
     "Class C\n Sub Bump(n) : n = n + 1 : End Sub\n Sub Keep(ByVal n) : n = 0 : End Sub\nEnd Class\n"
     "Dim o, a(2), m(1, 2) : Set o = New C : a(1) = 5 : m(1, 2) = 7\no.Bump a(1) : o.Keep a(1) : o.Bump m(1, 2)\n"
     "Sub S\n Dim b : b = Array(1, 2) : o.Bump b(0) : With o : .Bump b(1) : End With : out.Echo b(0), b(1)\nEnd Sub\nS\nout.Echo a(1), m(1, 2)",
     "2 3\n6 8\n"},
    {"element_byref_through_a_called_value",
     "Function Bump(n) : n = n + 10 : Bump = n : End Function\nDim f, a(1, 1) : Set f = GetRef(\"Bump\") : a(1, 0) = 1\n"
     "Sub S\n Dim g, b : Set g = f : b = Array(3) : out.Echo g(b(0)), b(0)\nEnd Sub\nS\nout.Echo f(a(1, 0)), a(1, 0), f((a(1, 0))), a(1, 0)",
     "13 13\n11 11 21 11\n"},
    {"element_byref_to_a_host_is_its_value", "Dim a : a = Array(\"x\", \"y\") : out.Echo a(1), a(0)", "y x\n"},
    {"element_subscripts_in_argument_order",
     "Class C : Sub Two(x, y) : x = \"X\" & y : End Sub : End Class\nFunction I(k) : out.Echo \"i\" & k : I = k : End Function\n"
     "Dim o, a(3) : Set o = New C\no.Two a(I(1)), I(2) : out.Echo a(1)",
     "i1\ni2\nX2\n"},
    {"element_out_of_range_before_later_arguments",
     "Class C : Sub Two(x, y) : out.Echo \"called\" : End Sub : End Class\nFunction Later() : out.Echo \"later\" : End Function\n"
     "Dim o, a(1) : Set o = New C\no.Two a(5), Later()",
     "", 9, 4, 1},
    {"element_errors_under_resume_next",
     "Class C : Sub Two(x, y) : x = 1 : End Sub : End Class\nFunction Later() : out.Echo \"later\" : End Function\n"
     "Dim o, a(1), n : Set o = New C : n = \"z\"\nOn Error Resume Next\no.Two a(5), Later() : out.Echo Err.Number : Err.Clear\n"
     "o.Two a(n), Later() : out.Echo Err.Number : Err.Clear\nout.Echo a(5), Later() : out.Echo Err.Number : Err.Clear\n"
     "o.Two a(1), 2 : out.Echo Err.Number, a(1)",
     "9\n13\n9\n0 1\n"},
    {"element_of_a_variable_that_is_no_array",
     "Class Dbl : Public Default Function V(k) : V = k * 2 : End Function : End Class\nClass C : Sub Bump(n) : n = n + 1 : End Sub : End Class\n"
     "Dim o, d, x : Set o = New C : Set d = New Dbl : x = 4\no.Bump d(3) : out.Echo \"ok\"\no.Bump x(1)",
     "ok\n", 13, 5, 1},
    {"gap_in_an_own_member_call",
     "Class C\n Sub Three(a, b, c) : out.Echo \"in\" : End Sub\n Sub Go : Me.Three 1, , 3 : End Sub\n Sub Bare : Three I(1), , I(3) : End Sub\nEnd Class\n"
     "Function I(k) : out.Echo \"i\" & k : I = k : End Function\nDim o : Set o = New C\nOn Error Resume Next\n"
     "o.Three I(1), , I(3) : out.Echo Err.Number : Err.Clear\no.Go : out.Echo Err.Number : Err.Clear\no.Bare : out.Echo Err.Number\n"
     "On Error GoTo 0\no.Three 1, 2",
     "i1\ni3\n450\n450\ni1\n450\n", 450, 13, 1},
    {"gap_in_a_called_value_and_a_host_call",
     "Function F(a, b, c) : F = 1 : End Function\nFunction I(k) : out.Echo \"i\" & k : I = k : End Function\nDim r : Set r = GetRef(\"F\")\n"
     "On Error Resume Next\nout.Echo 1, , 3 : out.Echo Err.Number : Err.Clear\nout.Echo r(I(1), , I(3)) : out.Echo Err.Number\nOn Error GoTo 0\nout.Echo r(1, )",
     "1 13\ni1\n450\n", 450, 8, 1},
    {"empty_parentheses_on_a_variable",
     "Class Dv : Public Default Function V : V = \"dv\" : End Function : End Class\nFunction G : G = \"g\" : End Function\n"
     "Dim x, d, r, a : x = 5 : Set d = New Dv : Set r = GetRef(\"G\") : a = Array(1)\nout.Echo x(), d(), r()\nout.Echo a()",
     "5 dv g\n", 9, 5, 1},
    {"index_with_a_subscript_left_out",
     "Function I(k) : out.Echo \"i\" & k : I = k : End Function\nDim m(2, 2, 2)\nOn Error Resume Next\n"
     "out.Echo m(I(1), , I(2)) : out.Echo Err.Number\nOn Error GoTo 0\nx = m(1, )",
     "i1\n9\n", 9, 6, 1},
    // Named objects, constants and classes called with arguments
    {"script_level_constant_called_with_arguments", "Const K = 5\nSub S\n On Error Resume Next\n out.Echo K(1) : out.Echo Err.Number\nEnd Sub\nS\nout.Echo K()\nx = K(2)",
     "13\n5\n", 13, 8, 1},
    {"named_object_called_with_arguments", "On Error Resume Next\nx = out(1) : out.Echo Err.Number\nOn Error GoTo 0\nx = out()", "438\n", 438, 4, 1},
    {"class_called_with_arguments", "Class C : End Class\nFunction I(k) : out.Echo \"i\" & k : End Function\nx = C(I(1))", "", 13, 3, 1},
    // Calls of what is not a name
    {"call_of_a_value_that_is_not_a_name",
     "Function F : F = Array(7, 8) : End Function\nFunction H(n) : n = n + 1 : H = n : End Function\nFunction G : Set G = GetRef(\"H\") : End Function\n"
     "Function I(k) : out.Echo \"i\" & k : I = k : End Function\nDim a, k : a = Array(4, 5) : k = 1\n"
     "x = (a)(1) : out.Echo x, F()(I(1)), G()(k), k\nOn Error Resume Next\nx = (5)(1) : out.Echo Err.Number : Err.Clear\nx = F()() : out.Echo Err.Number\n"
     "On Error GoTo 0\nx = (Nothing)(I(2))",
     "i1\n5 8 2 2\n13\n9\n", 91, 11, 1},
    // Names declared by ExecuteGlobal after the code that uses them was compiled
    {"names_bound_late",
     "Option Explicit\nFunction I(k) : out.Echo \"i\" & k : I = k : End Function\n"
     "Sub S\n Dim k : k = 1\n out.Echo Late(2), LateArr(1), LateObj.v\n LateSub k : out.Echo k\n Call LateSub(k) : out.Echo k\n"
     " LateArr(1) = 9 : out.Echo LateArr(1)\nEnd Sub\n"
     "Sub T\n On Error Resume Next\n out.Echo Nope(I(1)) : out.Echo Err.Number\n On Error GoTo 0\n Nope 1\nEnd Sub\n"
     "Class C : Public v : End Class\n"
     "ExecuteGlobal \"Function Late(n) : Late = n * 3 : End Function\" & vbCrLf & \"Dim LateArr : LateArr = Array(1, 2)\" & vbCrLf & "
     "\"Sub LateSub(x) : x = x + 1 : End Sub\" & vbCrLf & \"Dim LateObj : Set LateObj = New C : LateObj.v = 4\"\nS\nT",
     "6 2 4\n2\n3\n9\n500\n", 500, 14, 2},
    // .member in text given to Execute and Eval: only a With of the text's own holds its object
    {"with_member_in_execute_and_eval_text",
     "Class C : Public v : Public Function Twice(n) : Twice = n * 2 : End Function : End Class\n"
     "Sub S\n Dim o : Set o = New C\n On Error Resume Next\n With o\n  Execute \".v = 5\" : out.Echo Err.Number : Err.Clear\n"
     "  out.Echo Eval(\".Twice(3)\") : out.Echo Err.Number : Err.Clear\n  Execute \"With o : .v = 6 : End With\"\n  out.Echo .v\n End With\nEnd Sub\nS\n"
     "Dim g : Set g = New C\nWith g\n Execute \"With g : .v = .Twice(4) : End With\"\n out.Echo .v\n out.Echo Eval(\".v\")\nEnd With",
     "424\n424\n6\n8\n", 424, 17, 2},
    // Objects held by temporaries
    {"temporary_object_released_at_statement_end",
     "Class C\n Public Property Get Value : Value = 1 : End Property\n Private Sub Class_Terminate : out.Echo \"bye\" : End Sub\nEnd Class\n"
     "Sub S\n Dim x : x = (New C).Value\n out.Echo \"after\", x\nEnd Sub\nS",
     "bye\nafter 1\n"},
    // Properties that only read or write a field
    {"field_property_round_trip",
     "Class Box\n Private m\n Public Property Get P : P = m : End Property\n Public Property Let P(v) : m = v : End Property\nEnd Class\n"
     "Dim d : Set d = New Box\nout.Echo TypeName(d.P)\nd.P = 5 : out.Echo d.P, TypeName(d.P)\nd.P = \"x\" : out.Echo d.P\n"
     "d.P = Array(1, 2) : out.Echo UBound(d.P)\nd.P = Null : out.Echo TypeName(d.P)",
     "Empty\n5 Integer\nx\n1\nNull\n"},
    {"field_property_reads_an_object_s_default_value",
     "Class V : Public Default Property Get X : X = 7 : End Property : End Class\n"
     "Class Box\n Private m\n Public Property Get P : P = m : End Property\n Public Property Let P(v) : m = v : End Property\n"
     " Sub Hold(o) : Set m = o : End Sub\nEnd Class\n"
     "Dim d : Set d = New Box\nd.Hold New V : out.Echo d.P\nd.P = New V : out.Echo d.P, TypeName(d.P)",
     "7\n7 Integer\n"},
    {"field_property_get_of_an_object_without_default",
     "Class E : End Class\nClass Box\n Private m\n Public Property Get P\n  P = m\n End Property\n Sub Hold(o) : Set m = o : End Sub\nEnd Class\n"
     "Dim d : Set d = New Box\nd.Hold New E\nout.Echo d.P",
     "", 438, 5, 3},
    {"field_property_let_of_an_object_without_default",
     "Class E : End Class\nClass Box\n Private m\n Public Property Let P(v)\n  m = v\n End Property\nEnd Class\n"
     "Dim d : Set d = New Box\nd.P = New E",
     "", 438, 5, 3},
    {"field_property_through_a_variable_holding_the_object",
     "Class Box\n Private m\n Public Property Get P : P = m : End Property\n Public Property Let P(v) : m = v : End Property\nEnd Class\n"
     "Sub S\n Dim a(1), i : Set a(0) = New Box : Set a(1) = New Box\n For i = 0 To 1 : a(i).P = i * 10 : Next\n out.Echo a(0).P + a(1).P\nEnd Sub\nS",
     "10\n"},
    {"default_property_on_let", "Class C\n Public Default Property Get V : V = 42 : End Property\nEnd Class\nSub S\n Dim o, x : Set o = New C : x = o : out.Echo x\nEnd Sub\nS",
     "42\n"},
};

class Machine : public ::testing::TestWithParam<Row> {};

TEST_P(Machine, PrintsWhatTheLanguageSays) {
  const Row& row = GetParam();
  const RunResult result = RunScript(row.code, std::chrono::milliseconds(row.timeoutMs));
  EXPECT_EQ(result.output, row.output);
  EXPECT_EQ(result.error, row.error) << result.description;
  if (row.error) {
    EXPECT_EQ(result.line, row.line);
    EXPECT_EQ(result.column, row.column);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, Machine, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brevalcore::script::testing
