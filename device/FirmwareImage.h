#pragma once
// Checking a firmware image (Intel HEX text) before anything is written into
// the GCU: every record well formed with a correct checksum, only the record
// types the programmer understands, an end-of-file record, and every data byte
// inside the application flash of the ATmega2560.
#include "util/DetailPhrase.h"

#include <QByteArray>
#include <QString>

// The ATmega2560 has 256 KiB of flash. The GCU's boot loader (the one the
// "wiring" programmer talks to) sits in the largest boot section the part
// offers, 4096 words = 8 KiB at byte address 0x3E000, selected by the fuses
// BOOTSZ = 00. An image may therefore use byte addresses 0x00000 to 0x3DFFF:
// 253952 bytes. Data at or above 0x3E000 would land on the boot loader, which
// the boot loader refuses to overwrite; the image is refused before that.
constexpr quint32 kAtmega2560FlashBytes = 256u * 1024u;
constexpr quint32 kGcuBootLoaderBytes = 8u * 1024u;
constexpr quint32 kGcuApplicationFlashBytes = kAtmega2560FlashBytes - kGcuBootLoaderBytes;

// A firmware file larger than this cannot be an image for this part, even
// written with one data byte per record.
constexpr qint64 kMaxFirmwareFileBytes = 16 * 1024 * 1024;

struct FirmwareImageCheck {
    bool valid = false;
    // Why the image is refused, in English with the line number where one
    // applies (for example "line 12: checksum error"); empty when valid.
    QString problem;
    DetailPhrase problemPhrase; // the same, for the window to give in the language in use
    quint32 dataBytes = 0;      // data bytes in all data records
    quint32 endAddress = 0;     // highest data address + 1
};

// Checks Intel HEX text. Record types: 00 data, 01 end of file, 02 extended
// segment address, 04 extended linear address, and the start addresses 03 and
// 05, which carry no flash content and are passed over. Hex digits may be in
// either case; line ends may be LF or CR LF; blank lines are passed over.
// Anything after the end-of-file record other than blank lines is refused, as
// is a file without one (it may have been cut short).
FirmwareImageCheck CheckFirmwareImageText(const QByteArray& text,
                                          quint32 flashBytes = kGcuApplicationFlashBytes);

// Reads the file and checks it as above; a file that cannot be read, or that is
// far too large, is refused with the reason.
FirmwareImageCheck CheckFirmwareImageFile(const QString& path,
                                          quint32 flashBytes = kGcuApplicationFlashBytes);
