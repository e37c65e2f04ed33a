#include "app/JournalCommands.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

#include "app/MainState.h"
#include "core/operations/ProductionLog.h"
#include "core/serial_number/QtpFile.h"
#include "core/serial_number/SerialNumber.h"

namespace qzr {

namespace {

// Offsets of the QTP records that carry a number (every ":" starts a record; the end record has count 00).
std::vector<std::size_t> qtpDataRecords(const std::string& content) {
    std::vector<std::size_t> starts;
    for (std::size_t p = content.find(':'); p != std::string::npos; p = content.find(':', p + 1))
        if (content.compare(p + 1, 2, "00") != 0) starts.push_back(p);
    return starts;
}

std::string listOf(const std::vector<std::string>& numbers) {
    std::string out;
    for (std::size_t i = 0; i < numbers.size(); ++i) out += (i == 0 ? "" : ", ") + numbers[i];
    return out;
}

}  // namespace

std::string journalLocation(const MainState& st) {
    if (!st.journal.path.empty()) return st.journal.path;
    const std::string folder = st.configPath.empty()
                                   ? st.startupDirectory
                                   : std::filesystem::path(st.configPath).parent_path().string();
    return defaultJournalPath(folder);
}

bool journalWanted(const MainState& st) {
    return st.journal.enabled && (st.serial.serialMode || st.serial.qtpFileOpen || !st.journal.path.empty());
}

std::string stationName(const MainState& st) {
    if (!st.journal.station.empty()) return st.journal.station;
    static const std::string host = currentProcess().host;
    return host;
}

std::string openJournal(MainState& st) {
    const std::string location = journalLocation(st);
    if (st.journal.open && st.journal.openLocation == location) return {};
    st.journal.open.reset();
    st.journal.recovered = false;
    std::string error;
    std::unique_ptr<ProductionJournal> j = openProductionJournal(location, error);
    if (!j) return error;
    st.journal.open = std::move(j);
    st.journal.openLocation = location;
    return {};
}

void recoverJournal(MainState& st) {
    if (!st.journal.open || st.journal.recovered) return;
    std::vector<ChipRecord> voided;
    if (const std::string e = st.journal.open->recoverStale(stationName(st), currentProcess(), voided);
        !e.empty()) {
        st.ui->error(e);
        return;
    }
    st.journal.recovered = true;
    std::vector<std::string> numbers;
    std::vector<std::string> logErrors;
    for (const ChipRecord& c : voided) {
        if (!c.record.serialNumber.empty()) numbers.push_back(c.record.serialNumber);
        if (c.logPath.empty()) continue;
        if (std::string e = appendProductionLog(c.logPath, productionLogLine(c.record)); !e.empty())
            logErrors.push_back(std::move(e));
    }
    if (numbers.size() == 1)
        st.ui->message("Serial No. " + numbers[0] +
                       " was being programmed when the program stopped; it is voided");
    else if (!numbers.empty())
        st.ui->message("Serial No. " + listOf(numbers) +
                       " were being programmed when the program stopped; they are voided");
    for (const std::string& e : logErrors) st.ui->error(e);
}

std::optional<Lot> currentLot(MainState& st) {
    const SerialNumberState& sn = st.serial;
    if (!sn.serialMode) return std::nullopt;
    if (!sn.qtpFileOpen) return serialLot(st.deviceListText, sn);
    // The window asks for the counts while a run asks for the lot on its worker.
    static std::mutex cacheMutex;
    std::lock_guard lock(cacheMutex);
    if (st.journal.qtpLotContent != sn.qtpContent || st.journal.qtpLot.key.empty()) {
        st.journal.qtpLotContent = sn.qtpContent;
        st.journal.qtpLot = qtpLot(sn.qtpContent);
    }
    return st.journal.qtpLot;
}

uint64_t currentNumber(const MainState& st) {
    const SerialNumberState& sn = st.serial;
    if (!sn.qtpFileOpen) return serialValue(sn);
    const std::size_t end = std::min(sn.qtpReadOffset, sn.qtpContent.size());
    const auto read = static_cast<uint64_t>(qtpDataRecords(sn.qtpContent.substr(0, end))
                                                .size());  // the records read so far, the current one last
    return read == 0 ? 0 : read - 1;
}

bool placeNumber(MainState& st, const Lot& lot, uint64_t number) {
    SerialNumberState& sn = st.serial;
    if (lot.kind == LotKind::Qtp) {
        if (number != currentNumber(st) || !sn.qtpFileOpen) {
            const std::vector<std::size_t> records = qtpDataRecords(sn.qtpContent);
            if (number >= records.size()) return false;
            sn.qtpReadOffset = records[static_cast<std::size_t>(number)];
            ReadSerialData(sn, st.device, *st.ui);
            if (sn.qtpNoNumber) return false;
        }
    } else {
        setSerialValue(sn, number);
    }
    return SerialNo2Memory(sn, st.options, st.optionBytes, st.device, st.image, *st.views);
}

namespace {

// Where the current lot's next chip would go, as the journal sees it.
struct LotPreview {
    std::optional<Lot> lot;
    uint64_t candidate = 0;
    NumberChoice choice;
    std::optional<uint64_t> last;
};

// Opens the journal (voiding what ended processes left reserved) and previews the current lot's next number
// (none without a lot or when the user chose to use held numbers again). false after telling the user why
// the journal cannot be used.
bool previewLot(MainState& st, LotPreview& p) {
    if (const std::string e = openJournal(st); !e.empty()) {
        st.ui->error(e);
        return false;
    }
    recoverJournal(st);
    p.lot = currentLot(st);
    if (!p.lot || st.journal.reuseSerial) return true;
    p.candidate = currentNumber(st);
    if (const std::string e =
            st.journal.open->preview(*p.lot, {p.candidate, st.journal.voidFailed, false}, p.choice, p.last);
        !e.empty()) {
        st.ui->error(e);
        return false;
    }
    return true;
}

}  // namespace

bool prepareJournal(MainState& st) {
    if (!journalWanted(st)) return true;
    LotPreview p;
    if (!previewLot(st, p)) return false;
    if (!p.choice.moved) return true;
    if (p.choice.exhausted || !placeNumber(st, *p.lot, p.choice.number)) {
        // The engine ends QTP programming when the list has no free record left.
        if (p.lot->kind == LotKind::Qtp) return true;
        st.ui->error("The production journal \"" + st.journal.openLocation +
                     "\" holds every number of this lot");
        return false;
    }
    st.ui->message(continuesMessage(*p.lot, p.candidate, p.last.value_or(p.candidate), p.choice.number));
    return true;
}

void startValueSet(MainState& st) {
    if (!st.journal.askReuse) return;
    st.journal.reuseSerial = false;
    if (!journalWanted(st)) return;
    LotPreview p;
    if (!previewLot(st, p) || !p.choice.moved) return;
    const Lot& lot = *p.lot;
    const uint64_t candidate = p.candidate;
    const uint64_t lastHeld = p.last.value_or(candidate);
    const std::string held = lotNumberText(lot, candidate) +
                             (lastHeld == candidate ? " is" : "-" + lotNumberText(lot, lastHeld) + " are");
    if (st.ui->askYesNo("Serial No. " + held + " in the journal. Use " +
                        (lastHeld == candidate ? "it" : "them") + " again?")) {
        st.journal.reuseSerial = true;
        return;
    }
    if (!p.choice.exhausted && placeNumber(st, lot, p.choice.number))
        st.ui->message(continuesMessage(lot, candidate, lastHeld, p.choice.number));
}

std::optional<LotCounts> currentLotCounts(MainState& st) {
    if (!st.journal.open) return std::nullopt;
    const std::optional<Lot> lot = currentLot(st);
    if (!lot) return std::nullopt;
    LotCounts counts;
    if (!st.journal.open->counts(lot->key, counts).empty()) return std::nullopt;
    return counts;
}

std::string lotCountsText(MainState& st) {
    const std::optional<LotCounts> c = currentLotCounts(st);
    if (!c) return {};
    const auto text = [](long long passed, long long failed, long long interrupted) {
        return std::to_string(passed) + " / " + std::to_string(failed) + " / " + std::to_string(interrupted);
    };
    std::string shown = text(c->passed, c->failed, c->interrupted);
    // Several stations share the lot: each one's own counts on a line of its own.
    if (c->stations.size() > 1)
        for (const StationCounts& s : c->stations)
            shown += "\n" + s.station + ": " + text(s.passed, s.failed, s.interrupted);
    return shown;
}

void journalAtStart(MainState& st) {
    if (!st.journal.enabled) return;
    std::error_code ec;
    if (!journalWanted(st) && !std::filesystem::exists(journalLocation(st), ec)) return;
    if (const std::string e = openJournal(st); !e.empty()) {
        st.ui->error(e);
        return;
    }
    recoverJournal(st);
}

std::string journalChips(MainState& st, std::vector<ChipRecord>& chips) {
    chips.clear();
    // Reading a journal that is not there does not make one.
    const std::string location = journalLocation(st);
    std::error_code ec;
    if (location.find("://") == std::string::npos && !std::filesystem::exists(location, ec)) return {};
    if (const std::string e = openJournal(st); !e.empty()) return e;
    return st.journal.open->chips(chips);
}

std::string journalCsv(MainState& st, std::string& csv) {
    csv = journalCsvHeader();
    std::vector<ChipRecord> chips;
    if (std::string e = journalChips(st, chips); !e.empty()) return e;
    for (const ChipRecord& c : chips) csv += journalCsvLine(c);
    return {};
}

}  // namespace qzr
