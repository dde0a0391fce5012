#pragma once
// CIniFile: the automation class through which scripts, the host and the control read and
// write the doctor's profile file. It has no state; every member works on the file named by
// its first argument (see ini_file.h for the guarantees).
#include "platform/automation/dispatch.h"

namespace brevalcore::storage {

class CIniFile : public automation::DispatchObject<CIniFile> {
 public:
  static const automation::ClassInfo& Class();
  // The instance the control shares, created on first use.
  static automation::Ref<CIniFile> Shared();

  automation::String ReadIni(const automation::String& fileName, const automation::String& section,
                             const automation::String& key);
  automation::String ReadIniSection(const automation::String& fileName, const automation::String& section);
  void WriteIni(const automation::String& fileName, const automation::String& section,
                const automation::String& key, const automation::String& value);
  void WriteIniSection(const automation::String& fileName, const automation::String& section,
                       const automation::String& value);
  // An array of String indexed from 0, empty when the file has no sections.
  automation::Variant GetIniSections(const automation::String& fileName);
};

}  // namespace brevalcore::storage
