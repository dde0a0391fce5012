#include "storage/packages/resource_library.h"

#include <sys/stat.h>

#include "platform/automation/error.h"

namespace brevalcore::packages {

namespace {

using automation::Ascii;

// The largest resource number the A-functions accept as "#n" from a 16-bit integer.
constexpr int32_t kMaxResourceNumber = 32767;

// Module handles are opaque numbers to callers; give each load a distinct, non-zero one.
uint32_t NextHandle() {
  static uint32_t next = 0x10000000;
  next += 0x10000;
  if (next == 0) next = 0x10000000;
  return next;
}

}  // namespace

void cResource::SetLibraryFilePath(const String& newValue) {
  CloseLibrary();
  const std::string path = automation::ToUtf8(newValue);
  struct stat st {};
  // Hidden, read-only and system files count as well: anything there that is not a folder.
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return;
  pe::LoadError error;
  auto image = pe::PeImage::Load(path, &error);
  if (!image) {
    const String code = Ascii(std::to_string(error.code));
    automation::Raise(error.code, u"cResource.LibraryFilePath_Let (" + newValue + u")",
                      u"The LoadLibrary API failed with the error number " + code +
                          u" while trying to load the file '" + newValue + u"'");
  }
  image_ = std::move(image);
  hLibrary_ = NextHandle();
  libraryFilePath_ = newValue;
}

void cResource::CloseLibrary() {
  image_.reset();
  hLibrary_ = 0;
  libraryFilePath_.clear();
}

bool cResource::DLL_LoadString(int16_t intResourceID, String& returnString, int32_t lngMaxLen) const {
  returnString.clear();
  if (!image_ || intResourceID < 1 || lngMaxLen < 1) return false;
  const std::string bytes = image_->LoadString(static_cast<uint16_t>(intResourceID), lngMaxLen);
  if (bytes.empty()) return false;
  returnString = automation::FromCp1252(bytes);
  return true;
}

bool cResource::DLL_LoadData(int32_t intResourceID, std::span<const uint8_t>& returnData,
                             const String& strResourceType) const {
  returnData = {};
  if (!image_ || strResourceType.empty()) return false;
  if (intResourceID < 1 || intResourceID > kMaxResourceNumber) return false;
  return LoadData(pe::ResourceId{static_cast<uint16_t>(intResourceID), {}}, returnData, strResourceType);
}

bool cResource::DLL_LoadData(const String& resourceName, std::span<const uint8_t>& returnData,
                             const String& strResourceType) const {
  returnData = {};
  if (!image_ || strResourceType.empty()) return false;
  return LoadData(pe::ParseResourceId(automation::ToCp1252(resourceName)), returnData, strResourceType);
}

bool cResource::LoadData(const pe::ResourceId& name, std::span<const uint8_t>& returnData, const String& type) const {
  const auto data = image_->FindResource(pe::ParseResourceId(automation::ToCp1252(type)), name);
  if (!data) return false;
  returnData = *data;
  return true;
}

}  // namespace brevalcore::packages
