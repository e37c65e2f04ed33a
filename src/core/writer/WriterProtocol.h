#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/writer/Clock.h"
#include "core/writer/CommLink.h"
#include "core/writer/WriterHeader.h"

namespace qzr {

struct DeviceFields;
struct LinkState;
class MemoryImage;
class UserInterface;
class ViewHooks;

// Results of the writer exchanges and of the writer check. The numbers show in some messages ("Writer
// Error (3, 7)!!").
enum class LinkResult : int {
    lrNoChip = 1,        // reply 0xFE: nothing in the socket, or the wrong device type
    lrAdapterError = 2,  // reply 0xFD
    lrClass1Writer = 3,  // writer check: class-1 writer, the device needs class 1
    lrClass2Writer = 4,  // writer check: class-2 writer, the device needs class 2
    lrIdWriter = 5,      // writer check: identifying writer
    lrWrongWriter = 6,   // writer check: the writer class does not suit the device
    lrBadReply = 7,      // an unexpected reply, or a stream that ended too early
    lrTimeout = 8,       // CTS did not come, or no reply came, within the budget
    lrWriteFail = 9,     // reply 0xB1 during WriteData
    lrDone = 10,         // reply 0xB8
    lrReady = 11,        // reply 0xB5 to a header
    lrWriteDone = 12,    // WriteData ended without error
    lrStopped = 13,      // the stop request was raised (the dialog was closed); end the run quietly
};
using enum LinkResult;

// How long one blocking wait for the writer may last before the stop flag (and Read IC's timer) is looked
// at again.
inline constexpr int kWaitSliceMs = 20;

// Firmware versions compare as texts, character by character by character code; a text that another
// text begins with is the smaller.
int compareVersion(const std::string& a, const std::string& b);
// The firmware version in an identification text: from its first capital "V" to the end ("" without one).
std::string versionFromIdText(const std::string& idText);
// The writer's model from its identification text.
bool isModelHrp011(const std::string& idText);   // first 6 characters "HRP011"
bool isModelHrp021(const std::string& idText);   // first 7 characters " HRP021" (leading blank)
bool isModelHrp021A(const std::string& idText);  // first 8 characters " HRP021A"
// WriteData sends two bytes per answer (ID and option data): either model with version >= "V3.20".
bool writeDataPairMode(const std::string& idText, const std::string& version);
// A fast writer takes two bytes per handshake in the program-data and EEPROM streams: "HRP011" from
// "V3.21", " HRP021" from "V3.26".
bool twoBytesPerHandshake(const std::string& idText, const std::string& version);
// The identification switches the handshake to "None" for the same versions.
inline bool switchesHandshakeOff(const std::string& idText, const std::string& version) {
    return twoBytesPerHandshake(idText, version);
}

// The writer protocol on one link.
//
// A WriterLink is a short-lived object made by whoever talks to the writer (the port selection, the
// start-up check, Read IC, the device download, the operation engine). It holds:
//   - the MainState: the memory image (the command header at 32816 is sent, the transfer area at 32848
//     receives and supplies data) and the link fields (writerIdText, writerVersion, writeFailIndex,
//     portError, the handshake choice);
//   - the link: by default the program's port st.link.Comm1 (looked up at every call, so a re-open in
//     CheckWriter is followed), or any CommLink given explicitly (tests);
//   - the clock: by default st.link.clock (the real clock unless a test put a fake one there);
//   - an optional stop flag. A worker thread's owner (the progress dialog, the Read window) raises it when
//     the window closes. Every wait of every primitive looks at it at least every 20 ms and then returns
//     lrStopped (or WaitResult::Stopped) at once, so a run ends within one exchange and leaves nothing
//     locked. Nothing is shown for a stopped exchange; callers just end the run.
//
// No wait spins: a wait for a reply blocks in CommLink::WaitForInput until a byte comes or the deadline,
// a wait for CTS re-checks every two milliseconds (CTS is normally on already). The deadlines are the
// described ones, measured on the tick clock.
class WriterLink {
  public:
    WriterLink(LinkState& linkState, MemoryImage& image, const std::atomic<bool>* stop = nullptr);
    WriterLink(LinkState& linkState, MemoryImage& image, CommLink& link, Clock& clock,
               const std::atomic<bool>* stop = nullptr);

    // --- The exchange primitives. Each begins by purging both queues of the port. ---

    // Sends header bytes 0 .. count-1 (a pause of one tick before the second byte) and returns the
    // writer's one-byte answer: 0xB5 lrReady, 0xB8 lrDone, 0xFD lrAdapterError, 0xFE lrNoChip, another
    // byte lrBadReply, none within one second lrTimeout. count is 10, or 32 for a download record.
    LinkResult SendHeader(int count);
    // Sends the 10 header bytes and receives exactly count bytes of any value into the transfer area,
    // then the end byte 0xB8 (lrDone; another byte lrBadReply). The budget counts from the last byte.
    LinkResult Read8BitData(int count);
    // Sends the 10 header bytes and receives up to count 7-bit bytes into the transfer area until 0xB8.
    // lrDone also when only count - 1 bytes came; fewer: lrBadReply. Surplus bytes are read and dropped.
    LinkResult Read7BitData(int count);
    // As Read7BitData, but a stream that ends one byte short is lrBadReply too: for callers that use every
    // byte (the program-memory reads of the engine, the 7-bit reads of Read IC).
    LinkResult Read7BitDataWhole(int count);
    // Sends header byte 0 (the caller set it to 0xAD) and appends up to maxChars received characters to
    // writerIdText (the caller empties it first).
    LinkResult ReadWriterID(int maxChars);
    // Sends the transfer area byte by byte (in pair mode two bytes per answer), one answer per byte or
    // pair: lrWriteDone after 0xB0, lrWriteFail after 0xB1 (writeFailIndex = index of the byte just
    // sent), lrBadReply for 0xB0 before the last byte or any unknown answer.
    LinkResult WriteData(int count);

    // --- Detection (the writer check). ---

    // Sends the probe 0xA0 and handles the answer: lrClass1Writer, lrClass2Writer, lrIdWriter,
    // lrWrongWriter (the class does not suit `device`), lrBadReply, lrTimeout (portError set) or lrStopped.
    // For an identifying writer whose version is not known yet it reads the identification, may switch the
    // handshake to "None" (`views` show the choice again) and re-open the port, and shows the firmware
    // messages through `ui`. The messages are shown after the
    // reply budget was tested, so the time a person takes to dismiss them never turns the check into a
    // time-out. A re-open that fails after the handshake switch gives lrTimeout (portError is set).
    LinkResult CheckWriter(const DeviceFields& device, UserInterface& ui, ViewHooks& views);

    // --- Building blocks for the streaming loops of the engine and of Read IC. ---

    enum class WaitResult { Ok, Timeout, Stopped };

    // The one-second budget from start.
    bool CheckTimeOut(int start) { return qzr::CheckTimeOut(clock(), start); }
    // Pause of n ticks; false when stopped.
    bool DelayIn10ms(int n) { return qzr::DelayIn10ms(clock(), n, stop_); }
    int clockTicks() { return clock().clockTicks(); }
    bool stopRequested() const { return stop_ && stop_->load(); }

    void Purge();  // PurgeIn, then PurgeOut
    // Waits until CTS is on; Timeout once more than budgetTicks have passed since start.
    WaitResult WaitCts(int start, int budgetTicks = kReplyBudgetTicks);
    // Paced send: waits for CTS (budget from start), then writes b.
    WaitResult PacedSend(uint8_t b, int start, int budgetTicks = kReplyBudgetTicks);
    // Writes one byte without waiting for CTS (the second byte of a pair).
    void WriteByte(uint8_t b);
    // Takes one received byte if one is waiting; never waits.
    bool ReadByte(uint8_t& b);
    // Waits until a received byte is waiting (it is not taken); Timeout once more than budgetTicks have
    // passed since start.
    WaitResult WaitForByte(int start, int budgetTicks = kReplyBudgetTicks);
    // Blocks until input arrives, the budget from start runs out or at most 20 ms, whichever is first.
    // For loops that poll and test their own deadline.
    void IdleUntilInput(int start, int budgetTicks = kReplyBudgetTicks);

    CommLink& link();
    Clock& clock() { return *clock_; }
    LinkState& linkState() { return linkState_; }
    MemoryImage& image() { return image_; }

    // Called by Read7BitData for every data byte it stores: the bytes stored so far and the count asked
    // for (a progress display).
    std::function<void(int received, int count)> onReceived;

  private:
    // Waits for one reply byte within the one-second budget: lrDone with b set, lrTimeout or lrStopped.
    LinkResult waitReply(uint8_t& b);

    LinkState& linkState_;
    MemoryImage& image_;
    int received_ = 0;  // data bytes stored by the last Read7BitData
    CommLink* link_;    // null: linkState.Comm1
    Clock* clock_;
    const std::atomic<bool>* stop_;
};

}  // namespace qzr
