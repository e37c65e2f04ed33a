#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "app/OperationEngine.h"
#include "app/WriterJob.h"
#include "core/journal/Lot.h"
#include "core/operations/OperationView.h"

namespace qzr {

// The most sockets (writers) of a gang.
inline constexpr int kMaxGangSockets = 8;

// How one socket's chip of a round went.
struct GangChip {
    int socket = 0;    // 1 for the first socket
    std::string port;  // the socket's port entry
    bool ran = false;  // the socket took part in the round (it was on and had a chip to program)
    RunOutcome outcome = RunOutcome::Failed;
    bool lineFault = false;    // no writer answer, port or adapter error: the socket is switched off
    std::string failure;       // why it failed, as shown ("&" single)
    std::string serial;        // the serial number given to the chip as the display shows it; empty if none
    std::string serialHex;     // the same as the journal and the log hold it
    long long durationMs = 0;  // the socket's run
    std::string passCount;     // the pass count after the chip
    std::string writer;        // the writer's identification text
    bool interrupted() const { return ran && outcome == RunOutcome::Stopped; }
    bool passed() const { return ran && runPassed(outcome); }
};

// What a round did, in socket order.
struct GangRound {
    int number = 0;                // rounds counted from 1
    std::vector<GangChip> chips;   // one per socket (those that did not run have ran == false)
    bool listUsedUp = false;       // the QTP list (or the lot) has no number left for the next chip
    std::string error;             // the journal or the production log could not be used: the run stops
    std::vector<int> switchedOff;  // sockets switched off by a line fault of this round
};

// A gang: up to kMaxGangSockets writers, each in its own socket on its own port, programmed at once over one
// project. Every socket's run is a writer job (WriterJob.h) on a snapshot of the project, so the project
// (image, options, ID) stays as it is while a round runs; the owner applies a round's result (pass count,
// the next number) when the round has ended.
//
// A round: on the owner's thread the chips are reserved in the production journal in socket order (socket 1
// first), each with its number (serial number or QTP record) placed into its socket's snapshot; then every
// socket that is on runs the operation at once. Each socket records its chip's outcome in the journal and
// the production log (with its socket and port) on its own worker as soon as its run ends, before the next
// chip. One failing, silent or unplugged socket does not hold up the others: no socket waits for another.
// A stop request ends every socket at its next exchange; its chip is recorded interrupted.
class GangRun {
  public:
    // What the front end gives each socket: its port entry, and where its lines and messages go (both are
    // called from the socket's worker; they must take calls from any thread).
    struct Socket {
        std::string port;
        OperationView* view = nullptr;
        UserInterface* ui = nullptr;
    };

    // `project` is the owner's state (the main window's, the command line's); it is read when a round starts
    // and written only by finishRound(). The operation is project.operation.operationType, dispatched
    // (dispatchOperation) by the front end first.
    GangRun(MainState& project, std::vector<Socket> sockets);
    ~GangRun();
    GangRun(const GangRun&) = delete;
    GangRun& operator=(const GangRun&) = delete;

    int socketCount() const { return static_cast<int>(sockets_.size()); }
    // A socket that is off takes no part in the rounds (1-based).
    bool isOn(int socket) const;
    void setOn(int socket, bool on);
    // The socket's link: its port once opened (tests reach the emulated writer through it).
    LinkState& link(int socket);

    // Opens the port of every socket that is on (again when it failed before); a port that cannot be opened
    // switches its socket off (its message has gone to the socket's user interface). Returns the sockets
    // switched off.
    std::vector<int> openPorts();

    // Starts a round (owner's thread): reserves the chips in socket order and starts every socket that is
    // on. false when no socket started: the reason is in the round's error (journal), or the round is empty
    // (every socket off, the QTP list used up); finishRound() then returns at once.
    bool startRound();
    // The serial number the socket's chip of the current round takes, as the display shows it (empty when
    // none); set by startRound().
    std::string serial(int socket) const;
    // Every socket's run of the round has ended.
    bool roundEnded() const;
    // Raises the stop request of every socket of the round (any thread); a round started after it stops at
    // once until clearStop().
    void requestStop();
    void clearStop();
    bool stopRequested() const { return stop_.load(); }
    // Waits for every socket (owner's thread), applies the round to the project (the pass count, the number
    // the next chip takes) and switches off the sockets that met a line fault. Returns the round.
    GangRound finishRound();
    // Rounds started so far.
    int rounds() const { return rounds_; }

    // Called on a socket's worker as its last act, when its run has ended and its chip is recorded (after a
    // stop too); it must not call back into the gang (queue to the owner's thread instead).
    std::function<void(int socket)> onSocketEnded;

  private:
    struct SocketState;

    // The number the socket's chip takes: reserved in the journal, or (without one) the next of the lot.
    // false when the lot has no number left (nothing reserved); `error` when the journal failed.
    bool reserve(SocketState& s, MainState& st, uint64_t candidate, std::string& error);
    void work(SocketState& s, MainState& st, const std::atomic<bool>& stop);
    void record(SocketState& s, const MainState& st);
    void applyNextNumber();

    MainState& project_;
    std::vector<std::unique_ptr<SocketState>> sockets_;
    std::atomic<bool> stop_{false};
    int rounds_ = 0;
    GangRound round_;
    bool roundOpen_ = false;
    mutable std::mutex jobsMutex_;  // the sockets' jobs (requestStop comes from any thread)

    // Shared by the sockets' workers while a round runs.
    std::mutex mutex_;
    std::string passCount_;              // the pass count, moved on by every passing chip
    std::string recordError_;            // the first failure to record a chip
    std::vector<uint64_t> retry_;        // numbers of failed chips, taken again by the next round first
    std::optional<uint64_t> nextFresh_;  // the number after the last one given out
    std::shared_ptr<ProductionJournal> journal_;
    std::string logPath_;
    std::optional<Lot> lot_;
    bool numbered_ = false;
};

}  // namespace qzr
