// Reading and checking a large console database: 100000 snap-ins and 10000 configurations,
// read anew (another program wrote the file) and checked once before a snap-in is found. The
// check looks at every record once; a check that compares records with each other would show
// here as a time that grows with the square of the count.
#include <benchmark/benchmark.h>

#include <string>

#include "platform/path/HostFile.h"
#include "platform/path/World.h"
#include "platform/tasklib/TaskLib.h"
#include "tests/TestWorld.h"
#include "tests/support/Support.h"

namespace {

constexpr int kSnapins = 100000, kConfigurations = 10000;

std::string LargeDatabase() {
  std::string records;
  for (int i = 2; i <= kSnapins; ++i)
    records += "snapin " + std::to_string(i) + " \"Snap-in " + std::to_string(i) + "\" \"\" \"\"\n";
  for (int i = 1; i <= kConfigurations; ++i) {
    records += "config " + std::to_string(kSnapins + i) + " " + std::to_string(kSnapins + 1 - i) +
               " \"c\" 0 \"\"\n";
  }
  return ConsoleDatabase(2 * kSnapins + 2, records);
}

void BM_FindSnapinInALargeDatabase(benchmark::State& state) {
  TestWorld world;
  int database = 0;
  SetDatabasePtr(&database);
  const std::string path = qv::World::Current()->DatabaseHostPath(), bytes = LargeDatabase();
  for (auto _ : state) {
    state.PauseTiming();
    qv::WriteHostFileAtomic(path, bytes);
    state.ResumeTiming();
    SnapinRecord snapin{};
    if (FindSnapin("snap-in 100000", &snapin) == FALSE) {
      state.SkipWithError(qv::TaskLibraryProblem().c_str());
      break;
    }
  }
  FreeDatabasePtr();
}
BENCHMARK(BM_FindSnapinInALargeDatabase)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
