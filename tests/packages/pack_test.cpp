// Packages made by the builder read back identically through our reader, through python's
// pefile, and through the control's unpacking; bad input is refused.
#include <openssl/sha.h>

#include <cstdio>

#include <gtest/gtest.h>

#include "platform/pe/version_resource.h"
#include "storage/packages/package_builder.h"
#include "storage/packages/package_check.h"
#include "storage/packages/resource_library.h"
#include "storage/packages/unpack.h"
#include "tests/packages/package_test_support.h"

namespace brevalcore::packages {
namespace {

using namespace testing;

const std::string kDumpScript = std::string(BREVALCORE_SOURCE_DIR) + "/tests/packages/pefile_dump.py";

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(bytes.data(), bytes.size(), digest);
  char hex[2 * SHA256_DIGEST_LENGTH + 1];
  for (int i = 0; i < SHA256_DIGEST_LENGTH; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
  return hex;
}

// The same facts pefile_dump.py prints, as our reader sees them.
std::string OurDump(const pe::PeImage& image) {
  std::vector<std::string> lines;
  lines.push_back(image.format() == pe::PeFormat::Pe32Plus ? "format PE32+" : "format PE32");
  for (const pe::ResourceType& type : image.resources()) {
    for (const pe::ResourceName& name : type.names) {
      if (type.type.name == u"BANNER") {
        const auto data = image.FindResource(type.type, name.name);
        lines.push_back("banner " + std::to_string(name.name.id) + " " + std::to_string(data->size()) + " " +
                        Sha256Hex(*data));
      } else if (!type.type.IsNamed() && type.type.id == pe::kRtString) {
        for (int index = 0; index < 16; ++index) {
          const uint16_t id = static_cast<uint16_t>((name.name.id - 1) * 16 + index);
          const auto text = image.LoadStringUtf16(id);
          if (text && !text->empty()) lines.push_back("string " + std::to_string(id) + " " + automation::ToUtf8(*text));
        }
      }
    }
  }
  const auto version = pe::VersionResource::FromImage(image);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "fixed %08X %08X", version->Fixed()->fileVersionMS, version->Fixed()->fileVersionLS);
  lines.push_back(buffer);
  for (const pe::Translation& t : version->Translations()) {
    std::snprintf(buffer, sizeof buffer, "%04X %04X", t.language, t.codePage);
    lines.push_back(std::string("translation ") + buffer);
    std::snprintf(buffer, sizeof buffer, "%04X%04X", t.language, t.codePage);
    for (const char* key : {"CompanyName", "FileDescription", "FileVersion", "ProductVersion"}) {
      const pe::VersionQuery q = version->Query(std::string("\\StringFileInfo\\") + buffer + "\\" + key);
      if (q.ok) lines.push_back(std::string("value ") + buffer + " " + key + " " +
                                automation::ToUtf8(automation::FromCp1252(q.text)));
    }
  }
  lines.push_back("checksum ok");
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

std::optional<std::string> PefileDump(const fs::path& library) {
  if (std::system("/usr/bin/python3 -c 'import pefile' 2>/dev/null") != 0) return std::nullopt;
  FILE* pipe = ::popen(("/usr/bin/python3 '" + kDumpScript + "' '" + library.string() + "'").c_str(), "r");
  std::string out;
  char chunk[4096];
  while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) out.append(chunk, n);
  ::pclose(pipe);
  return out;
}

class PackRoundTrip : public ::testing::TestWithParam<pe::PeFormat> {};

TEST_P(PackRoundTrip, ReadsBackEverywhere) {
  ScratchFolder scratch;
  const fs::path source = scratch / "src";
  fs::create_directories(source / ".git");
  WriteFile(source / "index.html", "<html>indice</html>");
  WriteFile(source / "banner.script", "Sub BeforeInitialize\r\nEnd Sub\r\n");
  WriteFile(source / "empty.txt", "");
  WriteFile(source / "pagina \xC3\xA8.html", std::string("bin\0ary\xFF", 8));
  WriteFile(source / ".hidden", "not packed");
  WriteFile(source / ".git" / "HEAD", "not packed");

  PackOptions options;
  options.version = "2.0.1.5";
  options.format = GetParam();
  const PackResult packed = BuildPackage(source.string(), options);
  ASSERT_TRUE(packed.ok) << packed.error;
  ASSERT_EQ(packed.files.size(), 4u);
  const fs::path dll = scratch / "BVCRES.DLL";
  WriteBytes(dll, packed.library);

  const auto image = pe::PeImage::Load(dll.string(), nullptr);
  ASSERT_TRUE(image);
  const std::string ours = OurDump(*image);
  EXPECT_NE(ours.find("string 2 banner.script\n"), std::string::npos) << ours;
  EXPECT_NE(ours.find("string 5 pagina \xC3\xA8.html\n"), std::string::npos) << ours;
  EXPECT_NE(ours.find("value 041004E4 FileVersion 2.0.1.5\n"), std::string::npos) << ours;
  EXPECT_NE(ours.find("translation 0410 04E4\n"), std::string::npos) << ours;
  if (const auto theirs = PefileDump(dll)) EXPECT_EQ(ours, *theirs);
  else GTEST_LOG_(WARNING) << "python3-pefile not installed: independent check skipped";

  // The control's own unpacking gives back every file byte for byte.
  const fs::path banners = scratch / "banners";
  cResource library;
  library.SetLibraryFilePath(automation::FromUtf8(dll.string()));
  shell::FixedClock clock;
  String problem;
  const auto package = ReadPackage(library, u"2.0.1.5", problem);
  ASSERT_TRUE(package) << automation::ToUtf8(problem);
  EmptyBannerFolder(banners.string());
  const UnpackResult unpacked = UnpackPackage(*package, banners.string(), u"2.0.1.5", u"01/01/2026 00:00:00", clock);
  ASSERT_TRUE(unpacked.ok) << automation::ToUtf8(unpacked.errorText);
  EXPECT_EQ(unpacked.filesWritten, 4);
  for (const PackedFile& file : packed.files) {
    const std::string name = automation::ToUtf8(file.name);
    EXPECT_EQ(ReadFile(banners / name), ReadFile(file.path)) << name;
  }
  EXPECT_TRUE(fs::exists(banners / "2.0.1.5.BVC"));
}

INSTANTIATE_TEST_SUITE_P(Formats, PackRoundTrip, ::testing::Values(pe::PeFormat::Pe32, pe::PeFormat::Pe32Plus));

TEST(Pack, RefusesWhatTheControlCouldNotUnpack) {
  ScratchFolder scratch;
  const struct { const char* version; std::string fileName; const char* errorPart; } rows[] = {
      {"2.0.1", "a.html", "version"},
      {"2.0.1.5.6", "a.html", "version"},
      {"2.0.x.5", "a.html", "version"},
      {"70000.0.0.0", "a.html", "version"},
      {"", "a.html", "version"},
      {"1.0.0.0", "\xE6\x97\xA5\xE6\x9C\xAC.html", "Windows-1252"},
      {"1.0.0.0", std::string(200, 'd') + "/" + std::string(50, 'n') + ".html", "longer than 255"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.version + std::string(" ") + row.fileName.substr(0, 20));
    const fs::path source = scratch / "src";
    fs::remove_all(source);
    fs::create_directories((source / row.fileName).parent_path());
    WriteFile(source / row.fileName, "x");
    PackOptions options;
    options.version = row.version;
    const PackResult packed = BuildPackage(source.string(), options);
    EXPECT_FALSE(packed.ok);
    EXPECT_NE(packed.error.find(row.errorPart), std::string::npos) << packed.error;
  }
}

}  // namespace
}  // namespace brevalcore::packages
