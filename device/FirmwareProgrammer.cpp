#include "device/FirmwareProgrammer.h"
#include "translation/MessageNumbers.h"

#include "util/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr qsizetype kMaxLogCharacters = 256 * 1024;

bool IsExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

bool IsReadableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isReadable();
}

QString BundledFolder(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("FW/avrdude"));
}

std::optional<AvrdudeLocation> PairIfPresent(const QString& program, const QString& configuration,
                                             bool bundled) {
    if (!IsExecutableFile(program) || !IsReadableFile(configuration))
        return std::nullopt;
    return AvrdudeLocation{program, configuration, bundled};
}

} // namespace

QString FirmwareFolder(const QString& programFolder) {
    return QDir(programFolder).filePath(QStringLiteral("FW")) + QLatin1Char('/');
}

std::optional<AvrdudeLocation> LocateAvrdude(const AvrdudeSearch& search) {
    const QDir bundled(BundledFolder(search.programFolder));
    if (auto found = PairIfPresent(bundled.filePath(QStringLiteral("avrdude")),
                                   bundled.filePath(kAvrdudeConfigurationName), true))
        return found;
    return PairIfPresent(search.systemProgram, search.systemConfiguration, false);
}

DetailPhrase AvrdudeSearchPhrase(const AvrdudeSearch& search) {
    const QDir bundled(BundledFolder(search.programFolder));
    return {Msg::PhraseAvrdudeNotFound,
            {bundled.filePath(QStringLiteral("avrdude")),
             bundled.filePath(kAvrdudeConfigurationName), search.systemProgram,
             search.systemConfiguration}};
}

QString DescribeAvrdudeSearch(const AvrdudeSearch& search) {
    return EnglishText(AvrdudeSearchPhrase(search));
}

QStringList AvrdudeArguments(const QString& configurationPath, const QString& portName) {
    return {QStringLiteral("-C"),
            configurationPath,
            QStringLiteral("-v"),
            QStringLiteral("-p"),
            QStringLiteral("atmega2560"),
            QStringLiteral("-c"),
            QStringLiteral("wiring"),
            QStringLiteral("-P"),
            portName,
            QStringLiteral("-b115200"),
            QStringLiteral("-D"),
            QStringLiteral("-U"),
            QStringLiteral("flash:w:") + kFirmwareImageName + QStringLiteral(":i")};
}

FirmwareWorkFolder::FirmwareWorkFolder(const QString& configurationFile, const QString& imageFile,
                                       const QString& parentFolder)
    : folder_(QDir(parentFolder).filePath(QStringLiteral("quarventa-avrdude-XXXXXX"))) {
    if (!folder_.isValid())
        throw EInOutError(
            DetailPhrase{Msg::PhraseAvrdudeWorkFolder, {parentFolder, folder_.errorString()}});
    CopyInto(configurationFile, kAvrdudeConfigurationName);
    CopyInto(imageFile, kFirmwareImageName);
}

QString FirmwareWorkFolder::ConfigurationPath() const {
    return folder_.filePath(kAvrdudeConfigurationName);
}

QString FirmwareWorkFolder::ImagePath() const {
    return folder_.filePath(kFirmwareImageName);
}

// A throw from the constructor does not run the destructor, but the member
// QTemporaryDir is destroyed and removes the folder all the same.
void FirmwareWorkFolder::CopyInto(const QString& source, const QString& name) {
    QFile file(source);
    if (!file.copy(folder_.filePath(name)))
        throw EInOutError(DetailPhrase{Msg::PhraseAvrdudeCopy, {source, file.errorString()}});
}

void FirmwareOutputLog::Append(const QString& chunk) {
    text_ += chunk;
    if (text_.size() > kMaxLogCharacters)
        text_.remove(0, text_.size() - kMaxLogCharacters);
}

QStringList FirmwareOutputLog::LastLines(int count) const {
    QString normalized = text_;
    normalized.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines;
    const QStringList all = normalized.split(QLatin1Char('\n'));
    for (auto it = all.crbegin(); it != all.crend() && lines.size() < count; ++it) {
        if (!it->trimmed().isEmpty())
            lines.prepend(*it);
    }
    return lines;
}

AvrdudeSummary SummariseAvrdudeOutput(const QString& output) {
    static const QRegularExpression written(QStringLiteral("(\\d+) bytes of flash written"));
    static const QRegularExpression verified(QStringLiteral("(\\d+) bytes of flash verified"));
    // The last report counts: avrdude may retry.
    const auto last = [&output](const QRegularExpression& pattern) -> std::optional<int> {
        std::optional<int> found;
        for (auto it = pattern.globalMatch(output); it.hasNext();)
            found = it.next().captured(1).toInt();
        return found;
    };
    return {last(written), last(verified)};
}
