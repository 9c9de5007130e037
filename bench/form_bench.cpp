// Loading and saving a large form, side by side with Python's configparser doing the same
// work on the same file in the same run. The machine is shared, so each side reports its
// fastest round (the one least disturbed) and only the ratios are compared.
//
//   Load: a fresh read of the file (cache dropped) and every value the form has. The file
//         was saved a minute ago, as the forms an administrator opens usually were.
//   LoadJustWritten: the same, on a file another program wrote within the last two seconds;
//         such a file may change again unseen within one clock tick, so every call reads
//         it again (no target; shown so the price is known).
//         configparser peer: read() the file and look up every key.
//   Save: the whole file written anew and flushed to disk.
//         configparser peer: set every key and write() the file.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "forms/CustomForm.h"
#include "platform/profile/Profile.h"
#include "tests/TestWorld.h"

namespace {

double Fastest(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}

constexpr int kFields = 1000;
const char kForm[] = "\\\\CORE1\\qvlogon\\BIG.FRM";

std::string BigForm() {
  std::string text =
      "[Header]\r\nName=Quovant(R) Custom Data INI file\r\nVersion=1.0\r\n"
      "CreationDate=904651200\r\nLastModifiedDate=904737600\r\n"
      "[Form]\r\nFormName=Big form\r\nFormDescription=Many questions\r\n";
  for (int i = 1; i <= kFields; ++i) {
    std::string n = std::to_string(i);
    if (i % 4 == 0)
      text += "Field" + n + "=LISTBOX, Pick" + n + ", Which one of these, number " + n +
              "?, NR, {First, {Second, with comma}, Third, Fourth}\r\n";
    else
      text += "Field" + n + "=EDIT, Item" + n + ", What is item " + n + "?, R, \r\n";
    text += "FieldNote" + n + "=A note for question " + n + "\r\n";
  }
  return text;
}

void BM_Load(benchmark::State& state) {
  for (auto _ : state) {
    qv::ResetProfiles();
    auto form = std::make_unique<CCustomForm>();
    form->SetFilePath(kForm);
    form->Load();
    benchmark::DoNotOptimize(form->Definition().Entries().size());
  }
}
BENCHMARK(BM_Load)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->ReportAggregatesOnly(true);

TestWorld* g_world = nullptr;

void BM_LoadJustWritten(benchmark::State& state) {
  std::string bytes = BigForm();
  for (auto _ : state) {
    state.PauseTiming();
    g_world->Put(kForm, bytes);
    qv::ResetProfiles();
    state.ResumeTiming();
    auto form = std::make_unique<CCustomForm>();
    form->SetFilePath(kForm);
    form->Load();
    benchmark::DoNotOptimize(form->Definition().Entries().size());
  }
}
BENCHMARK(BM_LoadJustWritten)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(2)
    ->ComputeStatistics("min", Fastest)
    ->ReportAggregatesOnly(true);

void BM_Save(benchmark::State& state) {
  auto form = std::make_unique<CCustomForm>();
  form->SetFilePath(kForm);
  form->Load();
  form->SetSaveFlags(false, false);
  for (auto _ : state) {
    form->Save();
    qv::FlushProfiles();
  }
}
BENCHMARK(BM_Save)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ComputeStatistics("min", Fastest)
    ->ReportAggregatesOnly(true);

// The same work in Python's configparser; prints "load <us>" and "save <us>" per operation.
const char kPeer[] = R"PY(
import configparser, sys, time
path, rounds = sys.argv[1], 200
def read():
    p = configparser.RawConfigParser(strict=False, interpolation=None)
    p.optionxform = str
    p.read(path, encoding='latin-1')
    for s in p.sections():
        for k in p[s]:
            p[s][k]
    return p
p = read()
best = float('inf')
for _ in range(rounds):
    t = time.perf_counter()
    read()
    best = min(best, time.perf_counter() - t)
print('load', best * 1e6)
out = path + '.peer'
best = float('inf')
for _ in range(rounds):
    t = time.perf_counter()
    q = configparser.RawConfigParser(interpolation=None)
    q.optionxform = str
    for s in p.sections():
        q.add_section(s)
        for k, v in p[s].items():
            q[s][k] = v
    with open(out, 'w', encoding='latin-1', newline='\r\n') as f:
        q.write(f)
    best = min(best, time.perf_counter() - t)
print('save', best * 1e6)
)PY";

class Collect : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      std::string name = run.benchmark_name();  // "BM_Load/repeats:5_min"
      if (name.ends_with("_min"))
        times[name.substr(0, name.find('/'))] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;  // microseconds per operation
};

std::map<std::string, double> RunPeer(const std::string& hostFile) {
  std::map<std::string, double> times;
  std::string script = hostFile + ".peer.py";
  if (FILE* f = std::fopen(script.c_str(), "w")) {
    std::fputs(kPeer, f);
    std::fclose(f);
  }
  std::string command = "python3 '" + script + "' '" + hostFile + "'";
  if (FILE* p = popen(command.c_str(), "r")) {
    char name[16];
    double us = 0;
    while (std::fscanf(p, "%15s %lf", name, &us) == 2)
      times[name] = us;
    pclose(p);
  }
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  TestWorld world;
  g_world = &world;
  world.Put(kForm, BigForm());
  // Saved a minute ago.
  struct timespec times[2] = {{0, UTIME_OMIT}, {time(nullptr) - 60, 0}};
  if (utimensat(AT_FDCWD, world.Host(kForm).c_str(), times, 0) != 0)
    return 1;
  sleep(3);  // and its status settled too (utimensat moved the change time)
  benchmark::Initialize(&argc, argv);
  Collect reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  world.Put(kForm, BigForm());  // the same bytes the peer reads

  std::map<std::string, double> peer = RunPeer(world.Host(kForm));
  if (peer.size() != 2) {
    std::printf("configparser peer did not run; no ratios\n");
    return 1;
  }
  double load = reporter.times["BM_Load"] / peer["load"];
  double save = reporter.times["BM_Save"] / peer["save"];
  std::printf("form of %d questions, microseconds per operation (ours / configparser):\n", kFields);
  std::printf("  load %.1f / %.1f = %.2fx (target <= 0.50x)\n", reporter.times["BM_Load"],
              peer["load"], load);
  std::printf("  load of a file written just now %.1f / %.1f = %.2fx (no target)\n",
              reporter.times["BM_LoadJustWritten"], peer["load"],
              reporter.times["BM_LoadJustWritten"] / peer["load"]);
  std::printf("  save %.1f / %.1f = %.2fx (target <= 1.00x)\n", reporter.times["BM_Save"],
              peer["save"], save);
  benchmark::Shutdown();
  return 0;
}
