#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/journal/ProductionJournal.h"
#include "support/TestFiles.h"

namespace qzr {

// A program for QZR-D10 with RTWI words at 0x0010 and 0x0011 (a two-byte serial number) and a project
// configuration for it (options set, an ID).
inline std::string writeProject(const test::TempDir& dir) {
    std::vector<uint8_t> bytes;
    for (unsigned n = 0; n < 1024; ++n) {
        const unsigned w = n == 0x10 || n == 0x11 ? 0x3100 : 0x2000 + (n * 5) % 0x1000;
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    test::writeFile(dir.file("prog.bin"), bytes);
    const std::string cfg = dir.file("proj.cfg");
    EXPECT_EQ(test::runCli({"-d", "QZR-D10", "-l", dir.file("prog.bin"), "save-config", cfg}).status, 0);
    std::string text = test::readFile(cfg);
    text.replace(text.find("Option code: 7F 5F 00 00"), 24, "Option code: 2A 55 00 00");
    text.replace(text.find("ID code: 7F 7F"), 14, "ID code: 51 5A");
    test::writeFile(cfg, text);
    return cfg;
}

// What the journal promises whatever was killed when, checked over its chips in order: no chip is left
// reserved, every chip has its number, no number is on two chips that passed (within a lot), and the number
// of a chip that passed or was interrupted is never used again. Gives the count of each outcome ("pass",
// "fail", "interrupted") and, per lot, the serial numbers of the chips that passed.
struct JournalTally {
    std::map<std::string, int> outcomes;
    std::map<std::string, std::set<std::string>> passed;
};
inline JournalTally checkNoNumberTwice(const std::vector<ChipRecord>& chips) {
    JournalTally t;
    std::map<std::pair<std::string, uint64_t>, long long> voidedAt;
    for (const ChipRecord& c : chips) {
        ++t.outcomes[outcomeName(c.outcome)];
        EXPECT_NE(c.outcome, ChipOutcome::Reserved) << "chip " << c.id << " was left reserved";
        EXPECT_TRUE(c.number) << "chip " << c.id << " has no number";
        if (!c.number) continue;
        const auto key = std::make_pair(c.lot, *c.number);
        if (const auto v = voidedAt.find(key); v != voidedAt.end())
            ADD_FAILURE() << "number " << c.record.serialNumber << " of chip " << v->second
                          << " was voided and used again by chip " << c.id;
        if (c.outcome == ChipOutcome::Pass) {
            EXPECT_TRUE(t.passed[c.lot].insert(c.record.serialNumber).second)
                << "serial number " << c.record.serialNumber << " on two chips that passed";
        }
        if (c.outcome == ChipOutcome::Pass || c.outcome == ChipOutcome::Interrupted) voidedAt[key] = c.id;
    }
    return t;
}

}  // namespace qzr
