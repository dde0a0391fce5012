#include "rules/context.h"

namespace brevalcore::rules {

const ClassInfo& cContext::Class() {
  using C = cContext;
  static const ClassInfo info = automation::ClassBuilder<C>(u"cContext")
                                    .Property<&C::Banner, &C::SetBanner>(u"Banner")
                                    .Property<&C::PathTempBanner, &C::SetPathTempBanner>(u"PathTempBanner")
                                    .Property<&C::ServiziTirsaPage, &C::SetServiziTirsaPage>(u"ServiziTirsaPage")
                                    .Property<&C::Offline, &C::SetOffline>(u"Offline")
                                    .ObjectProperty<&C::CurrentFacts, &C::SetCurrentFacts>(u"CurrentFacts")
                                    .Build();
  return info;
}

cContext::cContext() : facts_(automation::MakeRef<Facts>()), clock_(&shell::SystemClock::Instance()) {}

void cContext::SetCurrentFacts(Ref<Facts> v) {
  facts_ = std::move(v);
  if (facts_ && !controlFolder_.empty()) facts_->set_control_folder(controlFolder_);
}

void cContext::set_control_folder(std::string folder) {
  controlFolder_ = std::move(folder);
  if (facts_) facts_->set_control_folder(controlFolder_);
}

}  // namespace brevalcore::rules
