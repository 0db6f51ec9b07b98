#pragma once
// Small firmware images for the firmware-update tests.
#include "gcusim/GcuSimulator.h"
#include "gcusim/IntelHex.h"

#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace qvtest {

// 300 bytes of code at the start of flash, as Intel HEX; with Version, the
// image carries it as the firmware announces it.
inline QByteArray SmallImage(std::vector<uint8_t>* bytes = nullptr,
                             const QByteArray& version = {}) {
    std::vector<uint8_t> memory(300);
    std::mt19937 random(11);
    for (uint8_t& byte : memory)
        byte = static_cast<uint8_t>(random());
    if (!version.isEmpty()) {
        const QByteArray text = QByteArray(GcuVersionMarker) + ' ' + version;
        std::copy(text.begin(), text.end(), memory.begin() + 100);
    }
    if (bytes)
        *bytes = memory;
    return FormatIntelHex(memory, uint32_t(memory.size()), false);
}

} // namespace qvtest
