// Cost of a by-id member call through the dispatch tables against a plain virtual call, and
// of the Variant conversions scripts perform most. A report script computes
// ratio = ByIdCall / VirtualCall from the two benchmarks' cpu_time; ByIdCall also reports the
// ratio directly, against a baseline timed in the same run, as "ratio_to_virtual".
#include <benchmark/benchmark.h>

#include <ctime>

#include "platform/automation/convert.h"
#include "platform/automation/dispatch.h"

namespace brevalcore::automation {

// The baseline: the same work behind an ordinary virtual function. The compiler must not see
// which class the object has, or it inlines Add into the loop and the baseline is no call at
// all; a host's objects come from another library, so their calls are real calls too. (Outside
// the unnamed namespace, so the compiler cannot know it has no derived class.)
class PlainCounter {
 public:
  virtual ~PlainCounter() = default;
  [[gnu::noinline]] virtual int32_t Add(int32_t n) { return total_ += n; }

 private:
  int32_t total_ = 0;
};

namespace {

class Counter : public DispatchObject<Counter> {
 public:
  static const ClassInfo& Class() {
    static const ClassInfo info = ClassBuilder<Counter>(u"Counter")
                                      .Method<&Counter::Add>(u"Add")
                                      .Get<&Counter::Total>(u"Total")
                                      .Build();
    return info;
  }
  int32_t Add(int32_t n) { return total_ += n; }
  int32_t Total() const { return total_; }

 private:
  int32_t total_ = 0;
};

PlainCounter* MakePlain() {
  static PlainCounter counter;
  PlainCounter* hidden = &counter;
  benchmark::DoNotOptimize(hidden);  // from here on, any PlainCounter-derived object
  return hidden;
}

// One baseline call, with the same Variant traffic as the dispatched call: an argument in, a
// result out.
inline void CallVirtually(PlainCounter* counter) {
  Variant arg(int32_t{1});
  int32_t r = counter->Add(arg.AsLong());
  Variant result(r);
  benchmark::DoNotOptimize(result);
}

// Thread CPU time in nanoseconds: on a machine shared with other builds, wall time would
// charge other processes' time to whichever benchmark was running.
double CpuNanoseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// Nanoseconds per virtual call measured once, so that the by-id benchmark can report the
// ratio in the same run.
double VirtualCallNanoseconds() {
  static const double ns = [] {
    PlainCounter* counter = MakePlain();
    constexpr int kCalls = 20'000'000;
    const double start = CpuNanoseconds();
    for (int i = 0; i < kCalls; ++i) CallVirtually(counter);
    return (CpuNanoseconds() - start) / kCalls;
  }();
  return ns;
}

void VirtualCall(benchmark::State& state) {
  PlainCounter* counter = MakePlain();
  for (auto _ : state) CallVirtually(counter);
}
BENCHMARK(VirtualCall);

void ByIdCall(benchmark::State& state) {
  Ref<Counter> counter = MakeRef<Counter>();
  Object* object = counter.get();
  benchmark::DoNotOptimize(object);
  const DispId add = object->GetIdOfName(u"add");
  const double baseline = VirtualCallNanoseconds();
  const double start = CpuNanoseconds();
  for (auto _ : state) {
    Variant arg(int32_t{1});
    Variant result = object->Invoke(add, kInvokeMethod, std::span<Variant>(&arg, 1));
    benchmark::DoNotOptimize(result);
  }
  const double ns = (CpuNanoseconds() - start) / static_cast<double>(state.iterations());
  state.counters["ratio_to_virtual"] = ns / baseline;
}
BENCHMARK(ByIdCall);

void ByIdPropertyGet(benchmark::State& state) {
  Ref<Counter> counter = MakeRef<Counter>();
  Object* object = counter.get();
  benchmark::DoNotOptimize(object);
  const DispId total = object->GetIdOfName(u"Total");
  for (auto _ : state) {
    Variant result = object->Invoke(total, kInvokeGet, {});
    benchmark::DoNotOptimize(result);
  }
}
BENCHMARK(ByIdPropertyGet);

void NameLookup(benchmark::State& state) {
  Ref<Counter> counter = MakeRef<Counter>();
  for (auto _ : state) benchmark::DoNotOptimize(counter->GetIdOfName(u"ADD"));
}
BENCHMARK(NameLookup);

void DoubleToString(benchmark::State& state) {
  Variant v(1234.5678);
  for (auto _ : state) benchmark::DoNotOptimize(ToString(v));
}
BENCHMARK(DoubleToString);

void LongToString(benchmark::State& state) {
  Variant v(int32_t{123456});
  for (auto _ : state) benchmark::DoNotOptimize(ToString(v));
}
BENCHMARK(LongToString);

void TextToDouble(benchmark::State& state) {
  Variant v(u"1.234,5678");
  for (auto _ : state) benchmark::DoNotOptimize(ToDouble(v));
}
BENCHMARK(TextToDouble);

void DoubleToLong(benchmark::State& state) {
  Variant v(2.5);
  for (auto _ : state) benchmark::DoNotOptimize(ToLong(v));
}
BENCHMARK(DoubleToLong);

void DateToString(benchmark::State& state) {
  Variant v(Date{46000.75});
  for (auto _ : state) benchmark::DoNotOptimize(ToString(v));
}
BENCHMARK(DateToString);

void TextToDate(benchmark::State& state) {
  Variant v(u"31/12/2026 23:59:59");
  for (auto _ : state) benchmark::DoNotOptimize(ToDate(v));
}
BENCHMARK(TextToDate);

void CompareMixed(benchmark::State& state) {
  Variant a(int32_t{10}), b(2.5);
  for (auto _ : state) benchmark::DoNotOptimize(Compare(a, b));
}
BENCHMARK(CompareMixed);

}  // namespace
}  // namespace brevalcore::automation

BENCHMARK_MAIN();
