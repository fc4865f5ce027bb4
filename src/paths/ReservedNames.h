// Names that Windows takes for a device rather than a file, whatever folder they stand in.
#pragma once
#include <string_view>

namespace paths {

enum class ReservedNames {
    // CON, PRN, AUX, CLOCK$, NUL, COM1 to COM9 and LPT1 to LPT9: the names the path policy refuses.
    Policy,
    // Those and every other name some Windows version opens as a device (CONIN$, CONOUT$, COM0,
    // LPT0, and COM and LPT with the superscript digits 1, 2 and 3): what unpacking refuses, so that
    // nothing unpacked is a name the panel cannot reach or Windows would take for a device.
    Extraction,
};

// Whether one path component names a device of the list. The device name is what stands before
// the first "." or ":" of the component, with trailing blanks ignored ("nul.txt", "nul .txt" and
// "nul:x" are the device as well); letter case does not count.
bool isReservedDeviceName(std::wstring_view component, ReservedNames which);

} // namespace paths
