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
// Data records of 16 bytes with extended linear address records where needed.
QByteArray FormatIntelHex(const std::vector<uint8_t>& memory, uint32_t end);

// Writes the first End bytes of Memory to FileName: Intel HEX when the name
// ends in ".hex", raw bytes otherwise. Raises EInOutError on failure.
void WriteMemoryFile(const QString& fileName, const std::vector<uint8_t>& memory, uint32_t end);
