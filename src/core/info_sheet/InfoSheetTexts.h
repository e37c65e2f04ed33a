#pragma once

#include <string>

namespace qzr {

// The seven texts of the customer information sheet that the program keeps.
struct InfoSheetTexts {
    std::string customerName;
    std::string projectName;
    std::string operatingFrequency;
    std::string operatingVoltageLow;
    std::string operatingVoltageHigh;
    std::string operatingCurrent;
    std::string sleepCurrent;

    // Every text but the customer's name (a device reset).
    void clearAllButCustomer() {
        std::string keep = customerName;
        *this = InfoSheetTexts{};
        customerName = keep;
    }
};

}  // namespace qzr
