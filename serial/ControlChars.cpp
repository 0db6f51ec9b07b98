// The bracketed notation of control bytes used to show serial traffic.
#include "serial/SerialPort.h"

namespace {

constexpr const char* kControlNames[32] = {
    "[NUL]", "[SOH]", "[STX]", "[ETX]", "[EOT]", "[ENQ]", "[ACK]", "[BEL]",
    "[BS]",  "[TAB]", "[LF]",  "[VT]",  "[FF]",  "[CR]",  "[SO]",  "[SI]",
    "[DLE]", "[DC1]", "[DC2]", "[DC3]", "[DC4]", "[NAK]", "[SYN]", "[ETB]",
    "[CAN]", "[EM]",  "[SUB]", "[ES]",  "[FS]",  "[GS]",  "[RS]",  "[US]",
};

// The byte whose name starts at text[pos] (letter case ignored), or -1.
int NameAt(const QByteArray& text, qsizetype pos) {
    for (int code = 0; code < 32; ++code) {
        const QByteArray name =
            QByteArray::fromRawData(kControlNames[code], qstrlen(kControlNames[code]));
        if (pos + name.size() <= text.size() &&
            qstrnicmp(text.constData() + pos, name.size(), name.constData(), name.size()) == 0)
            return code;
    }
    return -1;
}

} // namespace

QByteArray ReplaceControlChars(const QByteArray& strInput) {
    QByteArray result;
    result.reserve(strInput.size());
    for (const char c : strInput) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32)
            result.append(kControlNames[byte]);
        else
            result.append(c);
    }
    return result;
}

// One left-to-right pass; since a replacement leaves a control byte, which is
// never part of a name, this equals replacing the 32 names one after another.
QByteArray InsertControlChars(const QByteArray& strInput) {
    QByteArray result;
    result.reserve(strInput.size());
    qsizetype pos = 0;
    while (pos < strInput.size()) {
        const int code = strInput[pos] == '[' ? NameAt(strInput, pos) : -1;
        if (code < 0) {
            result.append(strInput[pos++]);
            continue;
        }
        result.append(static_cast<char>(code));
        pos += qstrlen(kControlNames[code]);
    }
    return result;
}
