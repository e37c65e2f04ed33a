#include "core/writer/PortNames.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace qzr {

namespace {

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isCharacterDevice(const std::string& path) {
    struct stat sb {};
    return ::stat(path.c_str(), &sb) == 0 && S_ISCHR(sb.st_mode);
}

// The devices dir/prefixN, sorted by N.
std::vector<std::string> numbered(const std::string& dir, const std::string& prefix) {
    std::vector<std::pair<long, std::string>> found;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string digits = name.substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
            continue;
        if (digits.size() > 6) continue;
        const std::string path = e.path().string();
        if (!isCharacterDevice(path)) continue;
        found.emplace_back(std::stol(digits), path);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> out;
    for (auto& f : found) out.push_back(std::move(f.second));
    return out;
}

}  // namespace

bool isVirtualPortEntry(const std::string& entry) {
    const std::string u = upper(entry);
    return u == "VIRTUAL" || u == "VIRTUAL:NEW-CHIP";
}

std::optional<int> comPortNumber(const std::string& entry) {
    if (entry.size() < 4 || entry.size() > 6 || upper(entry.substr(0, 3)) != "COM") return std::nullopt;
    const std::string digits = entry.substr(3);
    if (!std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); })) {
        return std::nullopt;
    }
    const int n = std::stoi(digits);
    if (n < 1) return std::nullopt;
    return n;
}

std::string portDisplayName(const std::string& entry) {
    if (comPortNumber(entry) || isVirtualPortEntry(entry)) return upper(entry);
    return entry;
}

std::vector<std::string> presentSerialDevices(const std::string& devDir) {
    std::vector<std::string> all;
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        auto group = numbered(devDir, prefix);
        all.insert(all.end(), group.begin(), group.end());
    }
    return all;
}

bool samePortEntry(const std::string& a, const std::string& b) {
    const auto na = comPortNumber(a), nb = comPortNumber(b);
    if (na || nb) return na == nb;
    if (isVirtualPortEntry(a) || isVirtualPortEntry(b)) return upper(a) == upper(b);
    return a == b;  // device paths: the file system tells case apart
}

std::string resolvePortEntry(const std::string& entry, const std::string& devDir) {
    const auto n = comPortNumber(entry);
    if (!n) return entry;
    const std::string var = "QZR_COM" + std::to_string(*n);
    if (const char* value = std::getenv(var.c_str()); value && *value) return value;
    const auto devices = presentSerialDevices(devDir);
    if (static_cast<std::size_t>(*n) <= devices.size()) return devices[*n - 1];
    return entry;
}

std::vector<std::string> stableSerialNames(const std::string& devDir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e :
         std::filesystem::directory_iterator(std::filesystem::path(devDir) / "serial" / "by-id", ec)) {
        const std::string path = e.path().string();
        if (isCharacterDevice(path)) names.push_back(path);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<PortListEntry> portListEntries(const std::string& devDir) {
    std::vector<PortListEntry> list;
    for (int n = 1; n <= 8; ++n) {
        const std::string entry = "Com" + std::to_string(n);
        std::string device = resolvePortEntry(entry, devDir);
        if (isVirtualPortEntry(device)) {
            device = "virtual";
        } else if (device == entry) {
            device.clear();  // no device behind it
        }
        list.push_back({entry, device});
    }
    for (const std::string& name : stableSerialNames(devDir)) {
        std::error_code ec;
        const std::filesystem::path target = std::filesystem::canonical(name, ec);
        list.push_back({name, ec ? name : target.string()});
    }
    return list;
}

}  // namespace qzr
