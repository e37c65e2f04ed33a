// Host cost of the serial component on the writer's per-byte handshake, measured over a pseudo-terminal
// pair: the component drives the slave, a thread on the master answers every byte with one byte.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/writer/Comm.h"

namespace {

using qzr::TComm;

// The far end: answers 0xB5 to every byte it receives, until stopped.
class Answerer {
  public:
    Answerer() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        char name[128];
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
            ptsname_r(master_, name, sizeof name) != 0)
            return;
        slave_ = name;
    }
    ~Answerer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (master_ >= 0) ::close(master_);
    }
    void Start() {
        thread_ = std::thread([this] {
            while (!stop_) {
                pollfd p{master_, POLLIN, 0};
                if (::poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN)) continue;
                unsigned char buf[64];
                ssize_t n = ::read(master_, buf, sizeof buf);
                for (ssize_t i = 0; i < n; ++i) {
                    unsigned char answer = 0xB5;
                    if (::write(master_, &answer, 1) != 1) return;
                }
            }
        });
    }
    const std::string& slave() const { return slave_; }

  private:
    int master_ = -1;
    std::string slave_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

bool OpenOn(TComm& comm, const std::string& device) {
    comm.SetDeviceName(device);
    comm.SetBaudRate(qzr::TBaudrate::br115200);
    comm.SetFlowControl(qzr::TFlowControl::fcNone);
    comm.Open();
    return comm.Enabled();
}

// One handshake as the protocol runs it: CTS query, write one byte, wait for and read the one-byte answer.
void BM_SerialHandshakeRoundTrip(benchmark::State& state) {
    Answerer far;
    TComm comm;
    if (far.slave().empty() || !OpenOn(comm, far.slave())) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    far.Start();
    std::uint8_t out = 0x55;
    std::uint8_t in = 0;
    for (auto _ : state) {
        if (!comm.Cts() || comm.Write(&out, 1) != 1) {
            state.SkipWithError("write failed");
            break;
        }
        while (comm.Read(&in, 1) == 0) {
            if (!comm.WaitForInput(1000)) {
                state.SkipWithError("no answer");
                return;
            }
        }
        benchmark::DoNotOptimize(in);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("time per byte");
}
BENCHMARK(BM_SerialHandshakeRoundTrip)->UseRealTime();

// The polls the protocol makes between bytes: a read on an idle line and the CTS query.
void BM_SerialIdleReadAndCts(benchmark::State& state) {
    Answerer far;
    TComm comm;
    if (far.slave().empty() || !OpenOn(comm, far.slave())) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::uint8_t in = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(comm.Read(&in, 1));
        benchmark::DoNotOptimize(comm.Cts());
    }
}
BENCHMARK(BM_SerialIdleReadAndCts);

}  // namespace
