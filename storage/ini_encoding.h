#pragma once
// The encodings a profile file may have, told apart as the platform tells them: by the
// byte-order mark alone. A file without one is ANSI (Windows-1252), whatever it holds, so a
// UTF-16 file without its mark is read byte by byte and written back byte by byte.
//
// The profile core works on one text per file: the file's bytes for ANSI files, UTF-8 for the
// Unicode files (UTF-8 with its mark as it stands; UTF-16 converted, lone surrogates kept), so
// every line a write does not touch comes back exactly as it was.
#include <string>
#include <string_view>

#include "platform/automation/text.h"
#include "storage/profile.h"

namespace brevalcore::storage {

enum class IniEncoding { Ansi, Utf8Bom, Utf16Le, Utf16Be };

struct IniText {
  IniEncoding encoding = IniEncoding::Ansi;
  LineEnd eol = LineEnd::CrLf;
  Bytes text;  // what the profile core parses (see above)
};

IniEncoding DetectIniEncoding(std::string_view fileBytes);
// The core's text of a file's bytes. In a UTF-16 file an odd last byte is not a character and
// is dropped, as the platform's reader drops it.
IniText DecodeIniFile(std::string_view fileBytes);
// The file's bytes for the core's text, with the mark of its encoding.
void EncodeIniFile(IniEncoding encoding, std::string_view text, Bytes& out);
TextForm TextFormOf(IniEncoding encoding);
// LF when every line break of `text` is a lone LF; otherwise CR LF, as the platform writes.
LineEnd DetectLineEnd(std::string_view text);

// The control's texts as the platform's ANSI functions pass them to a file of `encoding`:
// squeezed through Windows-1252 ("?" for what it lacks), then in the core's text form.
Bytes IniArgument(automation::StringView text, IniEncoding encoding);
// A text of the core back to the control, as the ANSI functions return it.
automation::String IniResult(std::string_view text, IniEncoding encoding);

}  // namespace brevalcore::storage
