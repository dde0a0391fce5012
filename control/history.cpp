// The control's side of the rule objects: creating Actions, Conditions and Commands for the
// script, the tracing component and its automatic push, and the banner history and trace
// calls that the banner commands make through the control.
#include "control/banner_control.h"
#include "control/texts.h"
#include "rules/actions.h"
#include "rules/commands.h"
#include "rules/conditions.h"
#include "rules/history.h"
#include "rules/tracing.h"
#include "rules/tracing/auto_push.h"
#include "rules/tracing/store.h"

namespace brevalcore::control {

using automation::MakeRef;

// Each rule object gets the control's context, in the order the script host registers them.
void BrevalcoreBanner::CreateRuleObjects() {
  Ref<rules::cContext> shared = context();
  auto actions = MakeRef<rules::Actions>();
  actions->set_context(shared);
  actions_ = actions;
  auto conditions = MakeRef<rules::Conditions>();
  conditions->set_context(shared);
  conditions_ = conditions;
  auto commands = MakeRef<rules::Commands>();
  commands->set_context(shared);
  commands_ = commands;
}

void BrevalcoreBanner::CreateTracing() {
  try {
    Tracing() = factories_->Create(rules::kTracingProgId);
  } catch (const automation::AutomationError& e) {
    // Without a tracer the banners work as before; the thread's reference keeps what it held.
    rules::Diagnostic diagnostic;
    diagnostic.kind = rules::DiagnosticKind::Trace;
    diagnostic.number = e.number();
    diagnostic.procedure = u"Init";
    diagnostic.message = text::kTracerNotCreated + e.description();
    Diagnose(diagnostic);
  } catch (...) {
  }
}

// Through the injected process service, exactly as the updater is started: the push is an
// outside process and the host's thread only checks the interval.
void BrevalcoreBanner::StartAutoPush() {
  try {
    tracing::StartAutoPush(controlFolder_, tracing::TraceDatabaseIn(controlFolder_), *clock_, *processes_);
  } catch (...) {
    // The push is a convenience: nothing of it may reach the host.
  }
}

Ref<automation::Object>& BrevalcoreBanner::Tracing() { return rules::TracingComponent(controlFolder_); }

void BrevalcoreBanner::CountPrescription() { rules::CountPrescription(Context()); }

void BrevalcoreBanner::IncrementBannerCounter(StringView word) {
  rules::IncrementBannerCounter(Banner(), word, Context());
}

void BrevalcoreBanner::TraceBannerAction(StringView word, StringView param) {
  rules::TraceBannerAction(Banner(), word, param, Context());
}

void BrevalcoreBanner::WriteBannerKeyData(StringView key, StringView value) {
  rules::WriteBannerKeyData(Banner(), key, Variant(value), Context());
}

void BrevalcoreBanner::WriteBannerPatientKeyData(StringView key, StringView value) {
  rules::WriteBannerPatientKeyData(Banner(), key, Variant(value), Context());
}

}  // namespace brevalcore::control
