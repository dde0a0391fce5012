#include "platform/automation/locale.h"

namespace brevalcore::automation {

const Locale& CurrentLocale() {
  static const Locale italian;
  return italian;
}

}  // namespace brevalcore::automation
