#pragma once
// The automation error model. Errors that must cross the script engine (a rule object failing
// inside a script, a conversion failing inside an expression) are thrown as AutomationError
// and caught once, at the engine or host-call boundary. Everything else uses Result values.
#include <cstdint>
#include <exception>
#include <string>

#include "platform/automation/text.h"

namespace brevalcore::automation {

// The platform's run-time error numbers used across the system.
namespace err {
inline constexpr int32_t kReturnWithoutGosub = 3;
inline constexpr int32_t kInvalidProcedureCall = 5;  // "Invalid procedure call or argument"
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kArrayFixedOrLocked = 10;
inline constexpr int32_t kDivisionByZero = 11;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kOutOfStringSpace = 14;
inline constexpr int32_t kCantPerformOperation = 17;
inline constexpr int32_t kOutOfStackSpace = 28;
inline constexpr int32_t kSubOrFunctionNotDefined = 35;
inline constexpr int32_t kBadFileNameOrNumber = 52;
inline constexpr int32_t kInternalError = 51;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kBadFileMode = 54;
inline constexpr int32_t kFileAlreadyOpen = 55;
inline constexpr int32_t kDeviceIoError = 57;
inline constexpr int32_t kFileAlreadyExists = 58;
inline constexpr int32_t kDiskFull = 61;
inline constexpr int32_t kInputPastEndOfFile = 62;
inline constexpr int32_t kTooManyFiles = 67;
inline constexpr int32_t kDeviceUnavailable = 68;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kDiskNotReady = 71;
inline constexpr int32_t kPathFileAccessError = 75;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectVariableNotSet = 91;
inline constexpr int32_t kForLoopNotInitialized = 92;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kObjectRequiredForSet = 424;  // "Object required"
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kCantCreateObject = 429;
inline constexpr int32_t kNoAutomation = 430;
inline constexpr int32_t kNoSuchMember = 438;  // "Object doesn't support this property or method"
inline constexpr int32_t kWrongNumberOfArguments = 450;
inline constexpr int32_t kNotACollection = 451;
inline constexpr int32_t kInvalidOrdinal = 452;
inline constexpr int32_t kNamedArgumentNotFound = 448;
inline constexpr int32_t kDuplicateKey = 457;
inline constexpr int32_t kUnsupportedAutomationType = 458;
inline constexpr int32_t kObjectDoesNotSupportEvents = 459;
inline constexpr int32_t kVariableUndefined = 500;
inline constexpr int32_t kIllegalAssignment = 501;
inline constexpr int32_t kNotSafeForScripting = 502;
inline constexpr int32_t kClassNotDefined = 506;
inline constexpr int32_t kUnexpectedQuantifier = 5017;
inline constexpr int32_t kTimeout = 1001;  // our own: the run exceeded its time limit
}  // namespace err

// The platform's English text for a run-time or compile error number, or "Unknown runtime
// error" when the number has no text of its own.
std::string ErrorText(int32_t number);

class AutomationError : public std::exception {
 public:
  AutomationError(int32_t number, String source, String description);
  // An error with the platform's standard text for `number` and an empty source.
  explicit AutomationError(int32_t number);

  int32_t number() const noexcept { return number_; }
  const String& source() const noexcept { return source_; }
  const String& description() const noexcept { return description_; }
  // Where help on the error is found (Err.HelpFile, Err.HelpContext); empty and 0 by default.
  const String& helpFile() const noexcept { return helpFile_; }
  int32_t helpContext() const noexcept { return helpContext_; }
  void SetHelp(String file, int32_t context) {
    helpFile_ = std::move(file);
    helpContext_ = context;
  }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int32_t number_;
  String source_;
  String description_;
  String helpFile_;
  int32_t helpContext_ = 0;
  std::string what_;
};

// The platform's error number for a failure reported as an HRESULT by an object: a control
// error (0x800A....) is its low word, the common system and dispatch failures have their own
// numbers (E_OUTOFMEMORY is 7, DISP_E_TYPEMISMATCH 13, E_ACCESSDENIED 70, ...); any other
// number is returned unchanged.
int32_t ErrorNumberFromHResult(int32_t number);

// Throws AutomationError(number) with the standard text.
[[noreturn]] void Raise(int32_t number);
[[noreturn]] void Raise(int32_t number, String source, String description);

}  // namespace brevalcore::automation
