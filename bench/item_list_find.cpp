// Finding an item by name in an owning archive list should cost about the same whether the
// list holds a hundred items or fifty thousand: the name hash keeps lookups off the list.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "archive/core/ab_archive_item.h"
#include "archive/core/ab_text.h"

namespace {

std::u16string memberName(int64_t i) {
    return utf8ToUtf16("Theme\\DesktopBackground\\img" + std::to_string(i) + ".jpg");
}

void fillList(TAbArchiveList& list, int64_t count) {
    for (int64_t i = 0; i < count; ++i) {
        auto* item = new TAbArchiveItem();
        item->SetFileName(memberName(i));
        list.Add(item);
    }
}

// Looks up names spread over the whole list, in a different letter case than stored.
void BM_FindPresent(benchmark::State& state) {
    TAbArchiveList list(true);
    fillList(list, state.range(0));
    std::vector<std::u16string> probes;
    for (int64_t i = 0; i < 64; ++i) {
        probes.push_back(upperCaseAscii(memberName(i * state.range(0) / 64)));
    }
    size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(list.Find(probes[next]));
        next = (next + 1) % probes.size();
    }
}

void BM_FindAbsent(benchmark::State& state) {
    TAbArchiveList list(true);
    fillList(list, state.range(0));
    const std::u16string probe = u"Theme\\DesktopBackground\\missing.jpg";
    for (auto _ : state) benchmark::DoNotOptimize(list.Find(probe));
}

void BM_IsActiveDupe(benchmark::State& state) {
    TAbArchiveList list(true);
    fillList(list, state.range(0));
    const std::u16string probe = memberName(state.range(0) / 2);
    for (auto _ : state) benchmark::DoNotOptimize(list.IsActiveDupe(probe));
}

}  // namespace

BENCHMARK(BM_FindPresent)->RangeMultiplier(10)->Range(100, 10000)->Arg(50000);
BENCHMARK(BM_FindAbsent)->RangeMultiplier(10)->Range(100, 10000)->Arg(50000);
BENCHMARK(BM_IsActiveDupe)->RangeMultiplier(10)->Range(100, 10000)->Arg(50000);
BENCHMARK_MAIN();
