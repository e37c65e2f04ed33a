#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace qzr
