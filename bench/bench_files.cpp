// Data files of the largest device: loading a full .mhx and .hex, saving as .mhx, the checksum.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/DataCommands.h"
#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/image/DataLoad.h"
#include "core/image/DataSave.h"
#include "core/options/Options.h"

namespace {

struct FilesFixture {
    qzr::MainState st;
    std::filesystem::path dir;

    FilesFixture() {
        qzr::selectDevice(st, "QZR-D52");
        st.firstShowDone = true;
        dir = std::filesystem::temp_directory_path() / ("qzr-bench-files-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        // Every word used: an instruction pattern that both formats take as it is.
        for (std::size_t w = 0; w < static_cast<std::size_t>(st.device.programWordCount()); ++w) {
            st.image.setProgramWord(w, qzr::splitWord(0x2000 + (w & 0x7FF)));
        }
        qzr::SaveProgramMemory(st.device, st.image, *st.ui, file("full.mhx"), qzr::DataSaveFormat::hex);
        // A .hex file of the same words in the other maker's 14-bit code (GOTO), 16 bytes a record.
        std::string hex = qzr::buildHexText(qzr::buildOutputImage(st.device, st.image));
        std::ofstream(file("full.hex"), std::ios::binary) << hex;
    }
    ~FilesFixture() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::string file(const char* name) const { return (dir / name).string(); }
};

FilesFixture& fixture() {
    static FilesFixture f;
    return f;
}

void BM_LoadFullMhx(benchmark::State& state) {
    auto& f = fixture();
    const std::string path = f.file("full.mhx");
    for (auto _ : state) benchmark::DoNotOptimize(qzr::LoadProgramMemory(f.st, path));
}
BENCHMARK(BM_LoadFullMhx)->Unit(benchmark::kMicrosecond);

void BM_LoadFullPicHex(benchmark::State& state) {
    auto& f = fixture();
    const std::string path = f.file("full.hex");
    for (auto _ : state) benchmark::DoNotOptimize(qzr::LoadProgramMemory(f.st, path));
}
BENCHMARK(BM_LoadFullPicHex)->Unit(benchmark::kMicrosecond);

void BM_SaveFullMhx(benchmark::State& state) {
    auto& f = fixture();
    const std::string path = f.file("saved.mhx");
    for (auto _ : state)
        benchmark::DoNotOptimize(
            qzr::SaveProgramMemory(f.st.device, f.st.image, *f.st.ui, path, qzr::DataSaveFormat::hex));
}
BENCHMARK(BM_SaveFullMhx)->Unit(benchmark::kMicrosecond);

void BM_CalChecksum(benchmark::State& state) {
    auto& f = fixture();
    for (auto _ : state)
        qzr::CalChecksum(f.st.options, f.st.optionBytes, f.st.device, f.st.image, *f.st.views);
}
BENCHMARK(BM_CalChecksum)->Unit(benchmark::kMicrosecond);

}  // namespace
