#include "rules/tracing.h"

#include <map>

#include "platform/automation/error.h"
#include "platform/automation/plugins.h"
#include "rules/history.h"
#include "rules/tracing/tracer.h"

namespace brevalcore::rules {

namespace {

void ReportTraceFailure(const cContext& context, int32_t number, StringView description) noexcept {
  try {
    Diagnostic diagnostic;
    diagnostic.kind = DiagnosticKind::Trace;
    diagnostic.number = number;
    diagnostic.procedure = u"TraceBannerAction";
    const String reason = description.empty() ? automation::FromUtf8(automation::ErrorText(number)) : String(description);
    diagnostic.message = u"Trace lost: " + reason;
    context.Report(diagnostic);
  } catch (...) {
  }
}

}  // namespace

Ref<automation::Object>& TracingComponent(const std::string& controlFolder) {
  // One reference per thread, as each control lives on its host's user-interface thread, and
  // per folder, as each folder keeps its own trace database.
  static thread_local std::map<std::string, Ref<automation::Object>> components;
  return components[controlFolder];
}

void RegisterRuleFactories(automation::ObjectFactories& factories) {
  tracing::RegisterBundledTracer(factories);
  automation::LoadPluginsFromEnvironment(factories);
}

bool CreateTracingComponent(automation::ObjectFactories& factories) {
  try {
    TracingComponent() = factories.Create(kTracingProgId);
  } catch (...) {
    // A start-up that cannot create it (its database busy or gone) keeps the component an
    // earlier start-up made; with none, the control works without tracing.
  }
  return static_cast<bool>(TracingComponent());
}

automation::ObjectFactories FactoriesForControlFolder(const automation::ObjectFactories& base,
                                                      const std::string& controlFolder, const shell::Clock* clock) {
  automation::ObjectFactories factories = base;
  const auto* tracer = factories.Find(kTracingProgId);
  if (tracer && tracing::IsBundledTracer(*tracer))
    tracing::RegisterBundledTracer(factories, tracing::TraceDatabaseIn(controlFolder), clock);
  return factories;
}

void TraceBannerAction(StringView bannerCode, StringView action, StringView parameter, const cContext& context) {
  try {
    Ref<automation::Object> tracer = TracingComponent(context.control_folder());
    if (!tracer) return;
    const auto facts = context.CurrentFacts();
    const auto application = facts->Application();
    const auto doctor = facts->Doctor();
    if (!application || !doctor) return;
    std::vector<Variant> args{Variant(BannerName(bannerCode)), Variant(action), Variant(parameter),
                              Variant(application->Software()), Variant(doctor->Region()),
                              Variant(doctor->Province()), Variant(doctor->Uid()), Variant(doctor->Role())};
    // The bundled component also takes who the doctor is, so that its records can travel;
    // any other gets Trace with the eight values.
    if (const automation::DispId record = tracer->GetIdOfName(u"TraceRecord"); record != automation::kDispIdUnknown) {
      args.insert(args.end(), {Variant(doctor->Code()), Variant(doctor->Asl()), Variant(doctor->SpecializationBranch())});
      tracer->Invoke(record, automation::kInvokeMethod, args);
      return;
    }
    const automation::DispId id = tracer->GetIdOfName(u"Trace");
    if (id == automation::kDispIdUnknown) return;
    tracer->Invoke(id, automation::kInvokeMethod, args);
  } catch (const automation::AutomationError& e) {
    // Tracing never disturbs the banner choice or the click handling; the host is told.
    ReportTraceFailure(context, e.number(), e.description());
  } catch (...) {
    ReportTraceFailure(context, automation::err::kInvalidProcedureCall, {});
  }
}

}  // namespace brevalcore::rules
