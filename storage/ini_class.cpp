#include "storage/ini_class.h"

#include "platform/automation/diagnostics.h"
#include "storage/ini_file.h"

namespace brevalcore::storage {
namespace {

std::filesystem::path PathOf(const automation::String& fileName) { return automation::ToUtf8(fileName); }

// The platform's callers never look at a write's result; a refused or failed write is still
// worth knowing about.
void NoteFailure(const IniWriteResult& result) {
  if (!result) automation::ReportDiagnostic("profile file", result.error());
}

}  // namespace

const automation::ClassInfo& CIniFile::Class() {
  static const automation::ClassInfo info = automation::ClassBuilder<CIniFile>(u"CIniFile")
                                                .Method<&CIniFile::ReadIni>(u"ReadIni")
                                                .Method<&CIniFile::ReadIniSection>(u"ReadIniSection")
                                                .Method<&CIniFile::WriteIni>(u"WriteIni")
                                                .Method<&CIniFile::WriteIniSection>(u"WriteIniSection")
                                                .Method<&CIniFile::GetIniSections>(u"GetIniSections")
                                                .Build();
  return info;
}

automation::Ref<CIniFile> CIniFile::Shared() {
  static const automation::Ref<CIniFile> shared = automation::MakeRef<CIniFile>();
  return shared;
}

automation::String CIniFile::ReadIni(const automation::String& fileName, const automation::String& section,
                                     const automation::String& key) {
  return storage::ReadIni(PathOf(fileName), section, key);
}

automation::String CIniFile::ReadIniSection(const automation::String& fileName, const automation::String& section) {
  return storage::ReadIniSection(PathOf(fileName), section);
}

void CIniFile::WriteIni(const automation::String& fileName, const automation::String& section,
                        const automation::String& key, const automation::String& value) {
  NoteFailure(storage::WriteIni(PathOf(fileName), section, key, value));
}

void CIniFile::WriteIniSection(const automation::String& fileName, const automation::String& section,
                               const automation::String& value) {
  NoteFailure(storage::WriteIniSection(PathOf(fileName), section, value));
}

automation::Variant CIniFile::GetIniSections(const automation::String& fileName) {
  std::vector<automation::Variant> items;
  for (automation::String& name : storage::GetIniSections(PathOf(fileName))) items.emplace_back(std::move(name));
  return automation::Variant(automation::ArrayData::FromVector(std::move(items)));
}

}  // namespace brevalcore::storage
