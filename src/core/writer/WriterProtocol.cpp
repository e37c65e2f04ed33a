#include "core/writer/WriterProtocol.h"

#include <algorithm>

#include "core/image/MemoryImage.h"
#include "core/writer/LinkState.h"

namespace qzr {

namespace {

// The link of a port that was never made: closed, no CTS, nothing received.
class ClosedLink final : public CommLink {
  public:
    void PurgeIn() override {}
    void PurgeOut() override {}
    int Write(const uint8_t*, int) override { return -1; }
    int Read(uint8_t*, int) override { return 0; }
    int InQueCount() override { return -1; }
    bool Cts() override { return false; }
    bool WaitForInput(int) override { return false; }
};

ClosedLink closedLink;

// The pause between two looks at CTS.
constexpr int kCtsPollMs = 2;

}  // namespace

int compareVersion(const std::string& a, const std::string& b) {
    const int c = a.compare(b);  // char_traits<char> compares as unsigned characters
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string versionFromIdText(const std::string& idText) {
    const auto v = idText.find('V');
    return v == std::string::npos ? std::string() : idText.substr(v);
}

bool isModelHrp011(const std::string& idText) {
    return idText.compare(0, 6, "HRP011") == 0;
}
bool isModelHrp021(const std::string& idText) {
    return idText.compare(0, 7, " HRP021") == 0;
}
bool isModelHrp021A(const std::string& idText) {
    return idText.compare(0, 8, " HRP021A") == 0;
}

bool writeDataPairMode(const std::string& idText, const std::string& version) {
    return (isModelHrp011(idText) || isModelHrp021(idText)) && compareVersion(version, "V3.20") >= 0;
}

bool twoBytesPerHandshake(const std::string& idText, const std::string& version) {
    return (isModelHrp011(idText) && compareVersion(version, "V3.21") >= 0) ||
           (isModelHrp021(idText) && compareVersion(version, "V3.26") >= 0);
}

WriterLink::WriterLink(LinkState& linkState, MemoryImage& image, const std::atomic<bool>* stop)
    : linkState_(linkState), image_(image), link_(nullptr), clock_(&linkState.tickClock()), stop_(stop) {}

WriterLink::WriterLink(LinkState& linkState, MemoryImage& image, CommLink& link, Clock& clock,
                       const std::atomic<bool>* stop)
    : linkState_(linkState), image_(image), link_(&link), clock_(&clock), stop_(stop) {}

CommLink& WriterLink::link() {
    if (link_) return *link_;
    if (linkState_.Comm1) return *linkState_.Comm1;
    return closedLink;
}

void WriterLink::Purge() {
    link().PurgeIn();
    link().PurgeOut();
}

WriterLink::WaitResult WriterLink::WaitCts(int start, int budgetTicks) {
    for (;;) {
        if (budgetExpired(clock(), start, budgetTicks)) return WaitResult::Timeout;
        if (link().Cts()) return WaitResult::Ok;
        if (stopRequested()) return WaitResult::Stopped;
        clock().sleepFor(kCtsPollMs);
    }
}

WriterLink::WaitResult WriterLink::PacedSend(uint8_t b, int start, int budgetTicks) {
    const WaitResult r = WaitCts(start, budgetTicks);
    if (r == WaitResult::Ok) WriteByte(b);
    return r;
}

void WriterLink::WriteByte(uint8_t b) {
    link().Write(&b, 1);
}

bool WriterLink::ReadByte(uint8_t& b) {
    CommLink& l = link();
    if (l.InQueCount() <= 0) return false;
    return l.Read(&b, 1) == 1;
}

void WriterLink::IdleUntilInput(int start, int budgetTicks) {
    const int passed = ticksSince(start, clock().clockTicks());
    // Wake just after the tick on which the budget runs out.
    int ms = (budgetTicks + 1 - passed) * 10;
    ms = std::clamp(ms, 1, kWaitSliceMs);
    link().WaitForInput(ms);
}

WriterLink::WaitResult WriterLink::WaitForByte(int start, int budgetTicks) {
    for (;;) {
        if (link().InQueCount() > 0) return WaitResult::Ok;
        if (budgetExpired(clock(), start, budgetTicks)) return WaitResult::Timeout;
        if (stopRequested()) return WaitResult::Stopped;
        IdleUntilInput(start, budgetTicks);
    }
}

LinkResult WriterLink::waitReply(uint8_t& b) {
    const int start = clockTicks();
    for (;;) {
        if (ReadByte(b)) return lrDone;
        if (CheckTimeOut(start)) return lrTimeout;
        if (stopRequested()) return lrStopped;
        IdleUntilInput(start);
    }
}

namespace {

// What a byte with bit 7 set means where it ends an exchange: 0xB8 done, 0xFD adapter error, 0xFE nothing
// in the socket, anything else an unexpected reply.
LinkResult endByteResult(uint8_t b) {
    switch (b) {
        case wb::kDone:
            return lrDone;
        case wb::kAdapterError:
            return lrAdapterError;
        case wb::kNoChip:
            return lrNoChip;
        default:
            return lrBadReply;
    }
}

LinkResult toResult(WriterLink::WaitResult r) {
    return r == WriterLink::WaitResult::Timeout ? lrTimeout : lrStopped;
}

}  // namespace

LinkResult WriterLink::SendHeader(int count) {
    count = std::clamp(count, 0, static_cast<int>(layout::kHeaderBytes));
    const auto header = image_.headerArea();
    Purge();
    for (int i = 0; i < count; ++i) {
        const int start = clockTicks();
        if (i == 1 && !DelayIn10ms(1)) return lrStopped;
        if (auto r = PacedSend(header[i], start); r != WaitResult::Ok) return toResult(r);
    }
    uint8_t b = 0;
    if (LinkResult r = waitReply(b); r != lrDone) return r;
    return b == wb::kReady ? lrReady : endByteResult(b);
}

LinkResult WriterLink::Read8BitData(int count) {
    const auto header = image_.headerArea();
    const auto transfer = image_.transferArea();
    count = std::clamp(count, 0, static_cast<int>(transfer.size()));
    Purge();
    for (int i = 0; i < 10; ++i) {
        if (auto r = PacedSend(header[i], clockTicks()); r != WaitResult::Ok) return toResult(r);
    }
    int i = 0;
    int start = clockTicks();
    for (;;) {
        uint8_t b = 0;
        const bool got = ReadByte(b);
        if (got) {
            if (i == count) return b == wb::kDone ? lrDone : lrBadReply;
            transfer[i++] = b;
            start = clockTicks();
        }
        if (CheckTimeOut(start)) return lrTimeout;
        if (!got) {
            if (stopRequested()) return lrStopped;
            IdleUntilInput(start);
        }
    }
}

LinkResult WriterLink::Read7BitData(int count) {
    const auto header = image_.headerArea();
    const auto transfer = image_.transferArea();
    count = std::clamp(count, 0, static_cast<int>(transfer.size()));
    Purge();
    for (int i = 0; i < 10; ++i) {
        if (auto r = PacedSend(header[i], clockTicks()); r != WaitResult::Ok) return toResult(r);
    }
    LinkResult result = lrDone;
    int& i = received_;
    i = 0;
    int start = clockTicks();
    bool running = true;
    while (running) {
        uint8_t b = 0;
        const bool got = ReadByte(b);
        if (got) {
            if (b & wb::kAnswerBit) {
                running = false;
                result = endByteResult(b);
                // The end byte after count - 1 data bytes still completes the stream.
                if (result == lrDone && i < count - 1) result = lrBadReply;
            } else if (i < count) {
                transfer[i++] = b;
                start = clockTicks();
                if (onReceived) onReceived(i, count);
            }
        }
        if (CheckTimeOut(start)) return lrTimeout;
        if (!got && running) {
            if (stopRequested()) return lrStopped;
            IdleUntilInput(start);
        }
    }
    return result;
}

LinkResult WriterLink::Read7BitDataWhole(int count) {
    const LinkResult r = Read7BitData(count);
    return r == lrDone && received_ < count ? lrBadReply : r;
}

LinkResult WriterLink::ReadWriterID(int maxChars) {
    Purge();
    if (auto r = PacedSend(image_.headerArea()[0], clockTicks()); r != WaitResult::Ok) return toResult(r);
    LinkResult result = lrDone;
    int i = 0;
    int start = clockTicks();
    bool running = true;
    while (running) {
        uint8_t b = 0;
        const bool got = ReadByte(b);
        if (got) {
            if (b & wb::kAnswerBit) {
                running = false;
                result = endByteResult(b);
            } else if (i < maxChars) {
                linkState_.writerIdText.push_back(static_cast<char>(b));
                ++i;
                start = clockTicks();
            } else {
                running = false;  // one character too many ends the text; it is dropped
            }
        }
        if (CheckTimeOut(start)) return lrTimeout;
        if (!got && running) {
            if (stopRequested()) return lrStopped;
            IdleUntilInput(start);
        }
    }
    return result;
}

LinkResult WriterLink::WriteData(int count) {
    const auto transfer = image_.transferArea();
    // The loop may look up to 6 bytes past count.
    if (count < 0 || count + 6 > static_cast<int>(transfer.size())) return lrBadReply;
    const bool pairs = writeDataPairMode(linkState_.writerIdText, linkState_.writerVersion);
    Purge();
    LinkResult result = lrWriteDone;
    int k = 0;
    while (k < count + 5) {
        if (auto r = PacedSend(transfer[k], clockTicks()); r != WaitResult::Ok) return toResult(r);
        if (pairs) WriteByte(transfer[++k]);
        const int start = clockTicks();
        bool end = false;
        for (;;) {
            uint8_t b = 0;
            const bool got = ReadByte(b);
            if (got) {
                switch (b) {
                    case wb::kReady:
                        break;
                    case wb::kProgramDone:
                        if (k < count - 1) result = lrBadReply;
                        end = true;
                        break;
                    case wb::kProgramFail:
                        linkState_.writeFailIndex = k;
                        result = lrWriteFail;
                        end = true;
                        break;
                    case wb::kAdapterError:
                        result = lrAdapterError;
                        end = true;
                        break;
                    case wb::kNoChip:
                        result = lrNoChip;
                        end = true;
                        break;
                    default:
                        result = lrBadReply;
                        end = true;
                        break;
                }
            }
            if (CheckTimeOut(start)) return lrTimeout;
            if (got) break;
            if (stopRequested()) return lrStopped;
            IdleUntilInput(start);
        }
        if (end) return result;
        ++k;
    }
    return result;
}

}  // namespace qzr
