// Extracting a theme pack's wallpapers through the extractor component: one pass of the
// cabinet library per member, so the cost grows with the members before each one in its
// folder. Beside it, cabextract extracting the same pack in one pass.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "archive/components/ab_cab_extractor.h"

namespace fs = std::filesystem;

namespace {

struct Pack {
    fs::path folder;
    fs::path file;
    fs::path out;
};

std::u16string u16(const fs::path& path) {
    return path.u16string();
}

// A pack of `wallpapers` pictures of 400 kB each (compressible like photographs are, a
// little) and a theme file, written by gcab with MSZIP into one folder.
Pack makePack(int wallpapers) {
    Pack pack;
    pack.folder = fs::temp_directory_path() / ("pelmora-bench-" + std::to_string(::getpid()) + "-" +
                                               std::to_string(wallpapers));
    fs::create_directories(pack.folder / "src" / "DesktopBackground");
    std::string list;
    uint32_t seed = 12345;
    for (int i = 0; i < wallpapers; ++i) {
        std::string name = "DesktopBackground/img" + std::to_string(i) + ".jpg";
        std::ofstream out(pack.folder / "src" / name, std::ios::binary);
        for (int k = 0; k < 400000; ++k) {
            seed = seed * 1103515245u + 12345u;
            out.put(static_cast<char>((seed >> 16) % 64));
        }
        list += " " + name;
    }
    std::ofstream(pack.folder / "src" / "Pack.theme") << "[Theme]\r\n";
    pack.file = pack.folder / "Pack.themepack";
    pack.out = pack.folder / "out";
    fs::create_directories(pack.out);
    std::string command = "cd '" + (pack.folder / "src").string() + "' && gcab -c -z '" +
                          pack.file.string() + "'" + list + " Pack.theme >/dev/null";
    if (std::system(command.c_str()) != 0) std::abort();
    return pack;
}

void BM_ExtractorWallpapers(benchmark::State& state) {
    Pack pack = makePack(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        TAbCabExtractor extractor(nullptr);
        extractor.SetBaseDirectory(u16(pack.out));
        extractor.SetFileName(u16(pack.file));
        extractor.ExtractFiles(u"*.jpg;*.png");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * 400000);
    fs::remove_all(pack.folder);
}
BENCHMARK(BM_ExtractorWallpapers)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_CabextractWallpapers(benchmark::State& state) {
    Pack pack = makePack(static_cast<int>(state.range(0)));
    std::string command = "cabextract -q -F '*.jpg' -d '" + pack.out.string() + "' '" +
                          pack.file.string() + "' >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("cabextract failed");
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * 400000);
    fs::remove_all(pack.folder);
}
BENCHMARK(BM_CabextractWallpapers)
    ->Arg(1)
    ->Arg(4)
    ->Arg(16)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
