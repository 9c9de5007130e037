// Filling the catalogue over a forms share of 5,000 forms, side by side in one run with
//   (a) reading every form file's bytes once (the least any fill must do), and
//   (b) Python's configparser reading FormName and FormDescription of the same files,
// and writing the distribution script of a group of 500 forms. The machine is shared, so
// each side reports its fastest round and only the ratios are compared.
//
//   FillCatalogue: a first fill, with no saved order.
//   FillCatalogueSavedOrder: a later fill, the saved order naming every row.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "distribution/DistributionTask.h"
#include "forms/CustomDoc.h"
#include "platform/path/HostFile.h"
#include "platform/profile/Profile.h"
#include "platform/registry/AppProfile.h"
#include "platform/registry/Registry.h"
#include "tests/TestWorld.h"
#include "view/Catalogue.h"

namespace {

constexpr int kForms = 5000;
constexpr int kGroupForms = 500;
const char kShare[] = "\\\\CORE1\\qvlogon\\";

double Fastest(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}

std::string FormText(int n) {
  std::string id = std::to_string(n);
  std::string text =
      "[Header]\r\nName=Quovant(R) Custom Data INI file\r\nVersion=1.0\r\n"
      "CreationDate=904651200\r\nLastModifiedDate=904737600\r\n"
      "[Form]\r\nFormName=Form " +
      id + "\r\nFormDescription=Questions of form " + id + "\r\n";
  for (int i = 1; i <= 10; ++i) {
    std::string f = std::to_string(i);
    text += "Field" + f + "=EDIT, Item" + f + ", What is item " + f + "?, R, \r\n";
  }
  return text;
}

std::string g_shareHost;

void BM_ReadEveryFile(benchmark::State& state) {
  for (auto _ : state) {
    std::size_t total = 0;
    DIR* dir = ::opendir(g_shareHost.c_str());
    while (dirent* entry = ::readdir(dir)) {
      std::string bytes;
      if (entry->d_name[0] != '.' && qv::ReadHostFile(g_shareHost + "/" + entry->d_name, &bytes))
        total += bytes.size();
    }
    ::closedir(dir);
    benchmark::DoNotOptimize(total);
  }
}

void Fill(benchmark::State& state) {
  for (auto _ : state) {
    CCustomDoc document;
    CListCtrl list;
    CFormCatalogue catalogue(list, document, kShare);
    catalogue.FillCatalogue();
    if (list.GetItemCount() != kForms + 2)  // the forms, the group and the add-new row
      state.SkipWithError(("wrong number of rows: " + std::to_string(list.GetItemCount())).c_str());
  }
}

void BM_FillCatalogue(benchmark::State& state) {
  qv::ResetRegistry();
  Fill(state);
}

void BM_FillCatalogueSavedOrder(benchmark::State& state) {
  {
    CCustomDoc document;
    CListCtrl list;
    CFormCatalogue catalogue(list, document, kShare);
    catalogue.FillCatalogue();
    catalogue.SaveOrder(0);
    qv::FlushRegistry();
  }
  Fill(state);
}

void BM_WriteGroupScript(benchmark::State& state) {
  CCustomDoc document;
  CListCtrl list;
  CFormCatalogue catalogue(list, document, kShare);
  catalogue.FillCatalogue();
  CDistributionTask task;
  task.SetDocument(&document);
  task.SetGroup(1);
  task.SetName("Big group");
  for (auto _ : state) {
    task.WriteScript();
    qv::FlushProfiles();
  }
}

#define ROUNDS(name)                      \
  BENCHMARK(name)                         \
      ->Unit(benchmark::kMillisecond)     \
      ->Iterations(1)                     \
      ->Repetitions(5)                    \
      ->ComputeStatistics("min", Fastest) \
      ->ReportAggregatesOnly(true)
ROUNDS(BM_ReadEveryFile);
ROUNDS(BM_FillCatalogue);
ROUNDS(BM_FillCatalogueSavedOrder);
ROUNDS(BM_WriteGroupScript);

// Reads FormName and FormDescription of every *.FRM file; prints "fill <ms>", fastest round.
const char kPeer[] = R"PY(
import configparser, os, sys, time
share = sys.argv[1]
best = float('inf')
for _ in range(5):
    t = time.perf_counter()
    rows = []
    for name in sorted(os.listdir(share)):
        if not name.upper().endswith('.FRM'):
            continue
        p = configparser.RawConfigParser(strict=False, interpolation=None)
        p.read(os.path.join(share, name), encoding='latin-1')
        rows.append((p.get('Form', 'FormName', fallback=''),
                     p.get('Form', 'FormDescription', fallback='')))
    best = min(best, time.perf_counter() - t)
print('fill', best * 1e3)
)PY";

class Collect : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      std::string name = run.benchmark_name();
      if (name.ends_with("_min"))
        times[name.substr(0, name.find('/'))] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;  // milliseconds per operation
};

double RunPeer(const std::string& folder) {
  std::string script = folder + "/../peer.py";
  if (FILE* f = std::fopen(script.c_str(), "w")) {
    std::fputs(kPeer, f);
    std::fclose(f);
  }
  double ms = 0;
  std::string command = "python3 '" + script + "' '" + folder + "'";
  if (FILE* p = popen(command.c_str(), "r")) {
    char name[16];
    if (std::fscanf(p, "%15s %lf", name, &ms) != 2)
      ms = 0;
    pclose(p);
  }
  return ms;
}

}  // namespace

int main(int argc, char** argv) {
  TestWorld world;
  qv::TheAppProfile().SetRegistryKey("Arvex\\Quovant\\QVNX\\QVccfg");
  g_shareHost = world.Host(std::string(kShare) + "FRM1A.FRM");
  g_shareHost.erase(g_shareHost.rfind('/'));
  // The samples of the default world make way.
  for (const char* sample : {"FRM1A.FRM", "FRM2B7.FRM", "FRM3C.FRM"})
    ::unlink((g_shareHost + "/" + sample).c_str());
  std::string group = "[Group1]\r\nName=Big group\r\n";
  for (int n = 1; n <= kForms; ++n) {
    char file[32];
    std::snprintf(file, sizeof file, "FRM%X.FRM", n + 0x100);
    world.Put(std::string(kShare) + file, FormText(n));
    if (n <= kGroupForms)
      group += "Form" + std::to_string(n) + "=Form " + std::to_string(n) + "\r\n";
  }
  world.Put(std::string(kShare) + "FDGRPLST.GPS", group);
  // Saved a minute ago, as a share's forms usually were; then let the status settle.
  DIR* dir = ::opendir(g_shareHost.c_str());
  while (dirent* entry = ::readdir(dir)) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - 60, 0}};
    if (entry->d_name[0] != '.')
      utimensat(AT_FDCWD, (g_shareHost + "/" + entry->d_name).c_str(), times, 0);
  }
  ::closedir(dir);
  sleep(3);

  benchmark::Initialize(&argc, argv);
  Collect reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double peer = RunPeer(g_shareHost);
  auto& t = reporter.times;
  std::printf("catalogue of %d forms, milliseconds per fill:\n", kForms);
  std::printf("  fill %.1f / read every file %.1f = %.2fx (target <= 3x)\n", t["BM_FillCatalogue"],
              t["BM_ReadEveryFile"], t["BM_FillCatalogue"] / t["BM_ReadEveryFile"]);
  std::printf("  fill with saved order %.1f / read every file %.1f = %.2fx (target <= 3x)\n",
              t["BM_FillCatalogueSavedOrder"], t["BM_ReadEveryFile"],
              t["BM_FillCatalogueSavedOrder"] / t["BM_ReadEveryFile"]);
  if (peer > 0)
    std::printf("  configparser %.1f / fill %.1f = %.2fx faster (target >= 3x)\n", peer,
                t["BM_FillCatalogue"], peer / t["BM_FillCatalogue"]);
  else
    std::printf("  configparser peer did not run; no ratio\n");
  std::printf("  script of a group of %d forms: %.2f ms\n", kGroupForms, t["BM_WriteGroupScript"]);
  benchmark::Shutdown();
  return peer > 0 ? 0 : 1;
}
