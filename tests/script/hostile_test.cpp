// Scripts written to hurt the host: structures far deeper than any native stack, built-ins
// fed megabytes or backtracking patterns, allocations without end. Each row must end with its
// designed result, within the time-out plus a second, on a host thread with a small stack,
// and leave the engine usable.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>

#include "platform/automation/error.h"
#include "tests/script/test_host.h"

namespace brevalcore::script::testing {
namespace {

using namespace std::chrono_literals;
namespace err = automation::err;

// A host thread's stack as small as a worker's: a recursive walk of any row's structure
// would overflow it many times over.
constexpr size_t kHostStack = 1u << 20;

// How long past the time-out a run may take to end. The sanitizers make every step several
// times slower, the last slice of a long built-in included.
#if defined(__SANITIZE_ADDRESS__)
constexpr auto kStopSlack = 3s;
#else
constexpr auto kStopSlack = 1s;
#endif

// Runs `body` on a thread with the small stack.
void OnSmallStack(const std::function<void()>& body) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, kHostStack);
  pthread_t thread;
  auto run = [](void* p) -> void* {
    (*static_cast<const std::function<void()>*>(p))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&body)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

struct HostileRow {
  const char* name;
  const char* code;
  const char* output;  // what it prints before it ends
  int error = 0;       // 0: runs to its end
  int line = 0;        // of the statement that raised `error`
  int column = 0;
  // A loop of two slow statements may be stopped in either: the other one's column.
  int otherColumn = 0;
};

void Play(const HostileRow& row, std::chrono::milliseconds timeout, size_t memoryCap = automation::MemoryBudget::kDefaultCap) {
  SCOPED_TRACE(row.name);
  RunResult result;
  std::string after;
  const auto start = std::chrono::steady_clock::now();
  OnSmallStack([&] {
    result = RunScript(row.code, timeout, memoryCap);
    after = RunScript("out.Echo \"alive\"").output;
  });
  EXPECT_LT(std::chrono::steady_clock::now() - start, timeout + kStopSlack);
  EXPECT_EQ(result.output, row.output);
  EXPECT_EQ(result.error, row.error) << result.description;
  EXPECT_EQ(result.line, row.line);
  if (row.otherColumn == 0 || result.column != row.otherColumn) {
    EXPECT_EQ(result.column, row.column);
  }
  EXPECT_EQ(after, "alive\n");
}

// Structures whose release, copy or conversion would recurse once per level.
const HostileRow kDeepRows[] = {
    {"linked list of a million objects released",
     "Class Node : Public Nxt : End Class\nDim head, n, i : Set head = Nothing\n"
     "For i = 1 To 1000000 : Set n = New Node : Set n.Nxt = head : Set head = n : Next\n"
     "Set n = Nothing : Set head = Nothing\nout.Echo \"released\"",
     "released\n"},
    {"linked list whose nodes say goodbye, in order",
     "Dim count, last\nClass Node\n Public Nxt, Id\n Sub Class_Terminate\n  count = count + 1\n"
     "  If Id <> last + 1 Then out.Echo \"order\", last, Id\n  last = Id\n End Sub\nEnd Class\n"
     "Dim head, n, i : last = 0 : Set head = Nothing\nFor i = 100000 To 1 Step -1 : Set n = New Node : n.Id = i : Set n.Nxt = head : Set head = n : Next\n"
     "Set n = Nothing : Set head = Nothing\nout.Echo count, last",
     "100000 100000\n"},
    {"array nested 300,000 deep", "Dim a, i : a = Array()\nFor i = 1 To 300000 : a = Array(a) : Next\na = Empty\nout.Echo \"released\"",
     "released\n"},
    {"nested array copied and compared", "Dim a, b, i : a = Array(1)\nFor i = 1 To 300000 : a = Array(a, i) : Next\nb = a\n"
     "b(1) = 0\nout.Echo a(1), b(1), IsArray(b(0))\nout.Echo a = b", "300000 0 -1\n", err::kTypeMismatch, 6, 1},
    {"dictionaries chained 300,000 deep",
     "Dim d, n, i\nFor i = 1 To 300000\n Set n = CreateObject(\"Scripting.Dictionary\") : n.Add \"next\", d : Set d = n\nNext\n"
     "Set n = Nothing : Set d = Nothing\nout.Echo \"released\"",
     "released\n"},
    {"default member that answers itself",
     "Class Selfish\n Public Default Property Get V : Set V = Me : End Property\nEnd Class\nDim c : Set c = New Selfish\nout.Echo CStr(c)", "",
     err::kOutOfStackSpace, 5, 1},
    // A statement of executed text is named by its place in that text.
    {"Execute of text that executes itself", "Dim s : s = \"Execute s\"\nExecute s", "", err::kOutOfStackSpace, 1, 1},
    {"Eval of text that evaluates itself", "Dim s, x : s = \"Eval(s)\"\nx = Eval(s)", "", err::kOutOfStackSpace, 2, 1},
    {"array of four huge dimensions", "Dim a(65535, 65535, 65535, 65535)\na(1, 1, 1, 1) = 1", "", err::kOutOfMemory, 1, 1},
    {"ReDim past the address space", "Dim a()\nReDim a(2147483646, 2147483646)", "", err::kOutOfMemory, 2, 1},
};

TEST(HostileScripts, DeepStructuresAreReleasedAndWalkedWithoutRecursion) {
  for (const HostileRow& row : kDeepRows) Play(row, 10s);
}

// Every stop names the statement that was running.
const HostileRow kWhereRows[] = {
    {"runaway recursion", "Sub R\n  R\nEnd Sub\nR", "", err::kOutOfStackSpace, 2, 3},
    {"runaway recursion of a function in an expression", "Function F(n)\n  F = F(n + 1) + 1\nEnd Function\nDim x : x = 1\nx = F(x)", "",
     err::kOutOfStackSpace, 2, 3},
    {"time-out in a loop", "Dim x\nx = 1\nDo\n  x = x + 1\nLoop", "", err::kTimeout, 3, 1},
    {"run-time error in a procedure", "Sub S\n  out.Echo \"in\"\n  x = 1 / 0\nEnd Sub\nS", "in\n", err::kDivisionByZero, 3, 3},
};

TEST(HostileScripts, StopsNameTheStatementThatRaised) {
  for (const HostileRow& row : kWhereRows) Play(row, 300ms);
}

// Built-ins whose cost grows with their input, at their worst, again and again: the run ends
// with the time-out, never a second later, however long one call would have taken.
const char kBig[] = "Dim big, needle, x, re : big = String(2000000, \"a\") : needle = String(100000, \"a\") & \"b\"\n";
const HostileRow kSlowRows[] = {
    {"catastrophic backtracking",
     "Set re = New RegExp : re.Pattern = \"^(a+)+$\"\nDo : x = re.Test(String(40, \"a\") & \"b\") : Loop", "", err::kTimeout, 3, 6},
    {"catastrophic backtracking, global replace",
     "Set re = New RegExp : re.Pattern = \"(a|aa)+$\" : re.Global = True\nx = re.Replace(String(5000, \"a\") & \"b\", \"-\")", "",
     err::kTimeout, 3, 1},
    {"a star over 26,000 characters, and a million",
     "Set re = New RegExp : re.Pattern = \"a*\"\nout.Echo re.Test(String(26000, \"a\")), re.Execute(String(1000000, \"a\"))(0).Length",
     "-1 1000000\n"},
    {"InStr of a 100 KB needle in 2 MB", "Do : x = InStr(big, needle) : Loop", "", err::kTimeout, 2, 6},
    {"InStr in text compare", "Do : x = InStr(1, big, needle, vbTextCompare) : Loop", "", err::kTimeout, 2, 6},
    {"InStrRev of a 100 KB needle", "needle = \"b\" & String(100000, \"a\")\nDo : x = InStrRev(big, needle) : Loop", "",
     err::kTimeout, 3, 6},
    {"Replace on 2 MB", "Do : x = Replace(big, \"a\", \"bb\") : Loop", "", err::kTimeout, 2, 6},
    {"Split into two million parts", "Do : x = Split(big, \"a\") : Loop", "", err::kTimeout, 2, 6},
    {"Join and Filter of megabytes", "x = Array(big, big, big)\nDo : x = Array(Join(x, \"\"), big) : x = Filter(x, needle, False) : Loop", "",
     err::kTimeout, 3, 36, 6},
    {"StrComp of equal megabytes", "x = big & \"\"\nDo : x = StrComp(big, x) : x = big & \"\" : Loop", "", err::kTimeout, 3, 28, 6},
    {"appending to megabytes", "x = big\nDo : x = big & \"x\" : Loop", "", err::kTimeout, 3, 6},
};

TEST(HostileScripts, LongBuiltInsEndWithTheTimeOut) {
  for (const HostileRow& row : kSlowRows) {
    HostileRow withText = row;
    const std::string code = std::string(kBig) + row.code;
    withText.code = code.c_str();
    Play(withText, 1s);
  }
}

// Allocations past the cap fail with 7, which On Error catches, and the engine goes on.
constexpr size_t kSmallCap = size_t{64} << 20;
const HostileRow kMemoryRows[] = {
    {"String of a billion", "x = String(1000000000, \"x\")", "", err::kOutOfMemory, 1, 1},
    {"Space of half a billion", "x = Space(500000000)", "", err::kOutOfMemory, 1, 1},
    {"doubling by concatenation", "x = \"x\"\nDo : x = x & x : Loop", "", err::kOutOfMemory, 2, 6},
    {"growing in place", "x = \"x\"\nDo : x = x & \"xxxxxxxxxxxxxxxx\" & x : Loop", "", err::kOutOfMemory, 2, 6},
    {"doubling by Replace", "x = \"x\"\nDo : x = Replace(x, \"x\", \"xx\") : Loop", "", err::kOutOfMemory, 2, 6},
    {"a hundred million elements", "Dim a()\nReDim a(100000000)", "", err::kOutOfMemory, 2, 1},
    {"two million objects", "Class C : Public v : End Class\nDim a(2000000), i\nFor i = 0 To 2000000 : Set a(i) = New C : Next", "",
     err::kOutOfMemory, 3, 24},
    {"a dictionary without end",
     "Set d = CreateObject(\"Scripting.Dictionary\")\nDo : d.Add d.Count, String(1000, \"k\") : Loop", "", err::kOutOfMemory, 2, 6},
    {"caught, and the engine goes on",
     "On Error Resume Next\nx = String(1000000000, \"x\")\nout.Echo Err.Number, Err.Description\nErr.Clear\n"
     "x = \"x\" : Do While Err.Number = 0 : x = x & x : Loop\nout.Echo Err.Number, Len(x)\nx = Empty\nout.Echo Len(String(1000000, \"y\"))",
     "7 Out of memory\n7 16777216\n1000000\n"},
};

TEST(HostileScripts, AllocationsPastTheCapFailWithOutOfMemory) {
  for (const HostileRow& row : kMemoryRows) Play(row, 10s, kSmallCap);
}

}  // namespace
}  // namespace brevalcore::script::testing
