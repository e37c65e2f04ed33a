#include "core/journal/ProcessIdentity.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

namespace qzr {

namespace {

// Field 22 of /proc/PID/stat (the start time); 0 when it cannot be read. The command name (field 2) is in
// parentheses and may hold blanks, so the fields are counted after its closing parenthesis.
long long startTimeOf(long long pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!in || !std::getline(in, text)) return 0;
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int n = 3; n <= 22; ++n) {
        if (!(fields >> field)) return 0;
    }
    try {
        return std::stoll(field);
    } catch (...) {
        return 0;
    }
}

}  // namespace

ProcessIdentity currentProcess() {
    ProcessIdentity me;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0) me.host = host;
    me.pid = ::getpid();
    me.startTime = startTimeOf(me.pid);
    return me;
}

bool processAlive(const ProcessIdentity& process) {
    if (process.pid <= 0) return false;
    if (::kill(static_cast<pid_t>(process.pid), 0) != 0 && errno == ESRCH) return false;
    if (process.startTime == 0) return true;
    const long long now = startTimeOf(process.pid);
    return now == 0 || now == process.startTime;
}

bool reservationStale(const ProcessIdentity& owner, const std::string& ownerStation,
                      const ProcessIdentity& me, const std::string& station,
                      const std::function<bool(const ProcessIdentity&)>& alive) {
    if (owner.host == me.host) return owner != me && !alive(owner);
    return ownerStation == station;
}

}  // namespace qzr
