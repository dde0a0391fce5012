#pragma once
// cResource: the resource library of banner packages, loaded for the length of one update.
// Path and handle are set together when a library loads and cleared together by CloseLibrary.
#include <cstdint>
#include <memory>
#include <span>

#include "platform/automation/text.h"
#include "platform/pe/pe_image.h"

namespace brevalcore::packages {

using automation::String;

// The package update asks for names of at most 255 characters.
inline constexpr int32_t kLoadStringDefaultLength = 256;

class cResource {
 public:
  cResource() = default;
  ~cResource() { CloseLibrary(); }
  cResource(const cResource&) = delete;
  cResource& operator=(const cResource&) = delete;

  const String& LibraryFilePath() const { return libraryFilePath_; }
  // Closes any loaded library, then loads `newValue` when such a file exists. A file that
  // exists but is no loadable library raises AutomationError (number: the load's error code,
  // source "cResource.LibraryFilePath_Let (<path>)").
  void SetLibraryFilePath(const String& newValue);
  uint32_t hLibrary() const { return hLibrary_; }
  void CloseLibrary();

  // String `intResourceID` of the library, read in the single-byte code page into a buffer of
  // `lngMaxLen` characters. True when it exists and is not empty.
  bool DLL_LoadString(int16_t intResourceID, String& returnString, int32_t lngMaxLen = kLoadStringDefaultLength) const;
  // The bytes of resource "#<id>" (a number, which must lie in 1..32767) or `name` of type
  // `strResourceType`. The span stays valid while the library is loaded.
  bool DLL_LoadData(int32_t intResourceID, std::span<const uint8_t>& returnData, const String& strResourceType) const;
  bool DLL_LoadData(const String& resourceName, std::span<const uint8_t>& returnData,
                    const String& strResourceType) const;

  // The loaded image, for callers that read more than strings and data (nullptr when none).
  const pe::PeImage* image() const { return image_.get(); }

 private:
  bool LoadData(const pe::ResourceId& name, std::span<const uint8_t>& returnData, const String& type) const;

  String libraryFilePath_;
  uint32_t hLibrary_ = 0;
  std::unique_ptr<pe::PeImage> image_;
};

}  // namespace brevalcore::packages
