// The batch's record of the files a run made (qrfiles::MadeFiles), which finds a name that leads
// to one of them again: the time to record a file and to look one up, and the memory per file,
// from ten thousand files to 4.2 million. Inode numbers come as a file system gives them out:
// mostly one after another, with gaps.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "madefiles.h"

namespace {

std::uint64_t InodeOf(std::uint64_t Row) { return 1000003 + Row * 3 + Row / 7; }

void BM_Record(benchmark::State& State) {
    const auto Files = static_cast<std::uint64_t>(State.range(0));
    double BytesPerFile = 0;
    for (auto _ : State) {
        qrfiles::MadeFiles Made;
        for (std::uint64_t Row = 1; Row <= Files; ++Row) Made.Add({2049, InodeOf(Row)}, Row);
        BytesPerFile = static_cast<double>(Made.MemoryBytes()) / static_cast<double>(Made.Count());
        benchmark::DoNotOptimize(Made.Count());
    }
    State.counters["bytes_per_file"] = BytesPerFile;
    State.SetItemsProcessed(static_cast<std::int64_t>(State.iterations() * Files));
}

void BM_LookUp(benchmark::State& State) {
    const auto Files = static_cast<std::uint64_t>(State.range(0));
    qrfiles::MadeFiles Made;
    for (std::uint64_t Row = 1; Row <= Files; ++Row) Made.Add({2049, InodeOf(Row)}, Row);
    std::uint64_t Row = 0;
    for (auto _ : State) {
        Row = Row % (2 * Files) + 1;  // half of them are not files of the run
        benchmark::DoNotOptimize(Made.Find({2049, Row <= Files ? InodeOf(Row) : InodeOf(Row) + 1}));
    }
}

BENCHMARK(BM_Record)->Arg(10000)->Arg(100000)->Arg(1000000)->Arg(4200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookUp)->Arg(10000)->Arg(4200000);

}  // namespace

BENCHMARK_MAIN();
