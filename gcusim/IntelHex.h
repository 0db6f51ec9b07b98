#pragma once
// Intel HEX images: reading the firmware files a programmer writes, and
// writing the simulated GCU's flash back out.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <vector>

// Address -> byte of every data byte in the image.
using MemoryImage = std::map<uint32_t, uint8_t>;

// Raises EInOutError naming the line on a malformed record or bad checksum.
MemoryImage ParseIntelHex(const QByteArray& text);
// Data records of 16 bytes with extended linear address records where needed;
// SkipErased leaves out records whose bytes are all 0xFF (erased flash).
QByteArray FormatIntelHex(const std::vector<uint8_t>& memory, uint32_t end,
                          bool skipErased = false);

// Writes the first End bytes of Memory to FileName: Intel HEX when the name
// ends in ".hex" (erased lines left out), raw bytes otherwise. Raises EInOutError on failure.
void WriteMemoryFile(const QString& fileName, const std::vector<uint8_t>& memory, uint32_t end);
