// Catalogue loads and profile file round trips at growing sizes; compare the per-size times to see
// that the work grows linearly (10x the profiles or items should cost about 10x the time).
#include <stdlib.h>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/Clock.h"
#include "app/ProgramFolder.h"
#include "app/UserPrompts.h"
#include "profiles/Profile.h"
#include "profiles/ProfileCatalogue.h"

namespace {

using namespace tarnwick;

const std::time_t kNow = MakeLocalTime(2024, 3, 5, 9, 30, 15);

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarnwick-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

Profile SampleProfile(const std::string& name, bool scheduled, int items) {
  Profile p;
  ResetSchedule(p.schedule, kNow);
  p.name = name;
  p.isScheduled = scheduled;
  for (int i = 0; i < items; ++i) {
    p.localSources.push_back(
        {"/home/user/documents/project-" + std::to_string(i), "+[*.doc;*.txt]-[~*]", ItemKind::LocalFolder, true});
  }
  p.localDestFolder = "/backup/target";
  p.schedule.enabled = scheduled;
  p.schedule.type = kScheduleWeekly;
  p.schedule.weekdays = 0x15;
  p.schedule.startTime = MakeLocalTime(1980, 2, 6, 22, 0);
  return p;
}

// N profile files, half of them scheduled, and a catalogue that has seen them all once.
void BM_LoadCatalogue(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  ScratchFolder folder;
  SetProgramFolderPath(folder.path());
  for (int i = 0; i < count; ++i) {
    Profile p = SampleProfile("profile-" + std::to_string(i), i % 2 == 1, 5);
    ProfilePathFor(p);
    if (!WriteProfile(p, kNow).ok()) std::abort();
  }
  SilentPrompts prompts;
  FixedClock clock(kNow);
  CProfileCatalogue catalogue(prompts, clock);
  if (!catalogue.LoadCatalogue().ok()) std::abort();  // the first sight writes the create times
  for (auto _ : state) {
    if (!catalogue.LoadCatalogue().ok()) std::abort();
    benchmark::DoNotOptimize(catalogue.Rows(ProfileList::Scheduled).data());
  }
  if (catalogue.Rows(ProfileList::Quick).size() + catalogue.Rows(ProfileList::Scheduled).size() !=
      static_cast<std::size_t>(count)) {
    state.SkipWithError("rows missing");
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LoadCatalogue)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// WriteProfile then ReadProfile of one profile with N local source items.
void BM_WriteReadProfile(benchmark::State& state) {
  const int items = static_cast<int>(state.range(0));
  ScratchFolder folder;
  SetProgramFolderPath(folder.path());
  Profile p = SampleProfile("big", true, items);
  ProfilePathFor(p);
  Profile read;
  for (auto _ : state) {
    if (!WriteProfile(p, kNow).ok() || !ReadProfile(p.filePath, read, kNow).ok()) std::abort();
    benchmark::DoNotOptimize(read.localSources.data());
  }
  if (read.localSources.size() != static_cast<std::size_t>(items)) state.SkipWithError("items missing");
  state.SetItemsProcessed(state.iterations() * items);
}
BENCHMARK(BM_WriteReadProfile)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
