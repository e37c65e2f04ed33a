// Serial numbers: a QTP file for the most parts the dialog allows, and reading it back record by record.
#include <benchmark/benchmark.h>

#include <string>

#include "app/DeviceCommands.h"
#include "app/MainState.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"

namespace {

qzr::SerialNumberState eightBytePseudoRandom() {
    qzr::SerialNumberState s;
    s.wordCount = 8;
    s.mode = qzr::SerialKind::PseudoRandom;
    s.startAddress = 0x100;
    return s;
}

void BM_BuildQtpFileMostParts(benchmark::State& state) {
    for (auto _ : state) {
        qzr::SerialNumberState s = eightBytePseudoRandom();
        std::string content = qzr::buildQtpFile(s, qzr::kMaxQtpParts);
        benchmark::DoNotOptimize(content.data());
    }
}
BENCHMARK(BM_BuildQtpFileMostParts)->Unit(benchmark::kMillisecond);

void BM_ReadQtpFileMostParts(benchmark::State& state) {
    qzr::SerialNumberState writer = eightBytePseudoRandom();
    const std::string content = qzr::buildQtpFile(writer, qzr::kMaxQtpParts);
    qzr::MainState st;
    qzr::selectDevice(st, "QZR-D52");
    for (auto _ : state) {
        st.serial.qtpContent = content;
        st.serial.qtpReadOffset = 0;
        long numbers = 0;
        for (;;) {
            qzr::ReadSerialData(st.serial, st.device, *st.ui);
            if (st.serial.qtpNoNumber) break;
            ++numbers;
        }
        benchmark::DoNotOptimize(numbers);
    }
}
BENCHMARK(BM_ReadQtpFileMostParts)->Unit(benchmark::kMillisecond);

// The whole cycle of the three-byte register (16.7 million steps).
void BM_PseudoRandomThreeByteCycle(benchmark::State& state) {
    for (auto _ : state) {
        uint64_t v = qzr::pseudoRandomStep(0, 3);
        uint64_t steps = 1;
        while (v != 0) {
            v = qzr::pseudoRandomStep(v, 3);
            ++steps;
        }
        benchmark::DoNotOptimize(steps);
    }
}
BENCHMARK(BM_PseudoRandomThreeByteCycle)->Unit(benchmark::kMillisecond);

}  // namespace
