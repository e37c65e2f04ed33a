#pragma once

#include <functional>
#include <string>

namespace qzr {

// A process as the journal knows the owner of a reservation: host name, process id and the process's start
// time (so that a process id the system has given to another program since does not count as alive).
struct ProcessIdentity {
    std::string host;
    long long pid = 0;
    long long startTime = 0;  // clock ticks after boot; 0 when unknown
    bool operator==(const ProcessIdentity&) const = default;
};

// This process.
ProcessIdentity currentProcess();

// Whether the process (on this host) still runs: the id exists and, when both start times are known, it
// is the same process.
bool processAlive(const ProcessIdentity& process);

// Whether a reservation made by `owner` (of station `ownerStation`) is stale as seen by this process `me`
// (of station `station`) now: on the same host when its process is gone; on another host when it is this
// station's own (the station started again). Never while its process lives; never another station's
// reservation on another host (nothing can tell whether it still runs).
bool reservationStale(const ProcessIdentity& owner, const std::string& ownerStation,
                      const ProcessIdentity& me, const std::string& station,
                      const std::function<bool(const ProcessIdentity&)>& alive);

}  // namespace qzr
