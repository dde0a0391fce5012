// `brevalcore check` of a 500-page package (each page with a dozen links, a script that shows
// every page), beside reading the same files in the same run. The goal is the check within
// one second; CheckPackage also reports its ratio to the reading as "ratio_to_read".
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tools/authoring/check.h"

namespace brevalcore::authoring {
namespace {

namespace fs = std::filesystem;

constexpr int kPages = 500;

std::string PageText(int i) {
  const std::string n = std::to_string(i);
  return "<html><head><title>Banner " + n + "</title><link rel=\"stylesheet\" href=\"stile.css\"></head><body>\n"
         "<h1>Banner " + n + "</h1><img src=\"logo.svg\" href=\"#PRESCRIBE?0" + n + "\">\n"
         "<p>Un testo di qualche riga per il medico, come nei banner veri. " + std::string(600, 'x') + "</p>\n"
         "<a href=\"#PRESCRIBE?0" + n + "&amp;1" + n + "?MODE=1&amp;NOTREPLACEABLE=2\">Prescrivi</a>\n"
         "<a href=\"#SUBSTITUTE?2" + n + "?NOTREPLACEABLE=0\">Sostituisci</a>\n"
         "<a href=\"#SHELL?scheda" + n + ".pdf\">Scheda</a>\n"
         "<a href=\"#SHELLLIST?scheda" + n + ".pdf|Scheda&amp;nota.txt|Nota\">Schede</a>\n"
         "<a href=\"#DOCUMENT?lettera.rtf\">Lettera</a>\n"
         "<a href=\"#LINK?https://www.example.org/" + n + "\">Sito</a>\n"
         "<a href=\"#SAVELINK?https://www.example.org/" + n + "|Banner " + n + "\">Salva</a>\n"
         "<a href=\"#VOLUNTAS?ADESIONE" + n + "\">Aderisci</a>\n"
         "<input type=\"button\" value=\"Visto\" href=\"#SAVEPATIENTKEYDATA?visto=" + n + "\">\n"
         "<a href=\"#SAVEKEYDATA?letto=si\">Letto</a> <a href=\"https://www.example.org/\">Fonte</a>\n"
         "</body></html>\n";
}

struct Workspace {
  fs::path root;
  Workspace() {
    std::string pattern = (fs::temp_directory_path() / "bvc-check-bench-XXXXXX").string();
    root = ::mkdtemp(pattern.data());
    std::string script =
        "Option Explicit\nSub BeforeInitialize\n  DefaultEmptyPage = \"https://servizi.example/home\"\nEnd Sub\n"
        "Sub StartPrescription\n  Select Case GetBannerKeyData(\"BVC\", \"turno\")\n";
    for (int i = 0; i < kPages; ++i) {
      const std::string n = std::to_string(i);
      script += "    Case \"" + n + "\"\n      If PatientAgeIsBetween(" + std::to_string(i % 90) +
                ", 120) And DoctorRegionIs(\"080|090\") Then ShowBanner \"banner" + n + "\"\n";
      Write("banner" + n + ".html", PageText(i));
      Write("scheda" + n + ".pdf", "%PDF-1.4 " + n);
    }
    script += "  End Select\nEnd Sub\nSub BeforeSelect\nEnd Sub\nSub AfterSelect\nEnd Sub\n";
    Write("banner.script", script);
    Write("offline.html", "<html><body>offline</body></html>");
    Write("lettera.rtf", "{\\rtf1\\ansi Gentile ??PAZIENTE??,\\par ??DATA?? ??MEDICO??}");
    Write("stile.css", "body{}");
    Write("logo.svg", "<svg/>");
    Write("nota.txt", "nota");
  }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(root / name, std::ios::binary) << text;
  }
};

const Workspace& Space() {
  static const Workspace space;
  return space;
}

// The baseline: every file of the package read into memory.
size_t ReadAll(const fs::path& folder) {
  size_t bytes = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes += text.size();
  }
  return bytes;
}

void ReadPackage(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ReadAll(Space().root));
}

void CheckPackage(benchmark::State& state) {
  double checkSeconds = 0, readSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ReadAll(Space().root));
    readSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.ResumeTiming();
    start = std::chrono::steady_clock::now();
    const CheckResult result = CheckPath(Space().root.string());
    checkSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (CheckExitStatus(result, true) != 0) {
      state.SkipWithError(FormatFindings(result.findings).substr(0, 300).c_str());
      break;
    }
  }
  state.counters["ratio_to_read"] = readSeconds > 0 ? checkSeconds / readSeconds : 0;
}

BENCHMARK(ReadPackage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CheckPackage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace brevalcore::authoring

BENCHMARK_MAIN();
