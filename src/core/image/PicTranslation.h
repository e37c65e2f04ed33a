#pragma once

#include <cstddef>
#include <cstdint>

namespace qzr {

struct DeviceFields;
class UserInterface;
class MemoryImage;

// Translates one instruction word of the other maker's 12-bit and 14-bit cores into the chips' own
// encoding; a word that matches no instruction is returned unchanged, 0xFFFF (an empty word) too.
uint16_t translatePic12Word(uint16_t w);
uint16_t translatePic14Word(uint16_t w);

// Translate the words at the even offsets below n of the program area (intermediate form: low byte, high
// byte) in place. Before translating they scan the device's program memory for 14-bit code and warn
// through `warnings` (null: no warnings, as before the end of start-up) when the file looks like the other
// kind: "Warning: File format error
// !(14 bit)" for Pic5xToQzr, "Warning: File format error !(12 bit)" for Pic6x7xToQzr.
void Pic5xToQzr(const DeviceFields& device, UserInterface* warnings, MemoryImage& image, std::size_t n);
void Pic6x7xToQzr(const DeviceFields& device, UserInterface* warnings, MemoryImage& image, std::size_t n);

}  // namespace qzr
