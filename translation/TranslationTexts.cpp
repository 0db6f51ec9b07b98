#include "translation/TranslationTexts.h"

#include "translation/TranslationTable.h"
#include "util/Exceptions.h"
#include "util/StringGridModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace L = TranslationLayout;

namespace {

struct TextLine {
    int number; // 1-based line number in the file
    QStringList fields;
};

[[noreturn]] void ThrowFormatError(const QString& fileName, int line, const QString& what) {
    throw EInOutError(
        QStringLiteral("%1, line %2: %3").arg(QFileInfo(fileName).fileName()).arg(line).arg(what));
}

QString ReadUtf8File(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(QFileInfo(fileName).absoluteFilePath(), file.errorString()));
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// The data lines after the header, each split into exactly FieldCount
// non-empty fields.
std::vector<TextLine> ReadTextTable(const QString& fileName, const QString& header,
                                    int fieldCount) {
    QStringList lines = ReadUtf8File(fileName).split(u'\n');
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    if (lines.isEmpty() || lines.first() != header)
        ThrowFormatError(fileName, 1, QStringLiteral("the header must read \"%1\"").arg(header));

    std::vector<TextLine> table;
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QStringList fields = lines[i].split(u';');
        if (fields.size() != fieldCount)
            ThrowFormatError(
                fileName, i + 1,
                QStringLiteral("%1 fields expected, %2 found").arg(fieldCount).arg(fields.size()));
        for (int f = 0; f < fields.size(); ++f)
            if (fields[f].trimmed().isEmpty())
                ThrowFormatError(fileName, i + 1, QStringLiteral("field %1 is empty").arg(f + 1));
        table.push_back({i + 1, fields});
    }
    return table;
}

// Surrounds Text with the spaces that surround Model.
QString WithSpacesOf(const QString& model, const QString& text) {
    const QString core = model.trimmed();
    if (core.isEmpty())
        return text;
    const qsizetype leading = model.indexOf(core);
    const qsizetype trailing = model.size() - leading - core.size();
    return model.left(leading) + text + model.right(trailing);
}

bool FillControlRow(StringGridModel& grid, int row, const TranslationDictionary& dictionary,
                    QStringList& missing) {
    const QString english = grid.Cell(LanguageColumn(1), row);
    const auto found = dictionary.texts.constFind(english.trimmed());
    if (found == dictionary.texts.constEnd()) {
        if (!missing.contains(english))
            missing.append(english);
        return false;
    }
    for (int i = 0; i < 4; ++i)
        grid.SetCell(LanguageColumn(i + 2), row,
                     WithSpacesOf(english, found.value()[static_cast<size_t>(i)]));
    return true;
}

} // namespace

TranslationDictionary LoadTranslationDictionary(const QString& fileName) {
    TranslationDictionary dictionary;
    for (const TextLine& line : ReadTextTable(fileName, QString::fromLatin1(DictionaryHeader), 5)) {
        const QString english = line.fields[0].trimmed();
        if (dictionary.texts.contains(english))
            ThrowFormatError(fileName, line.number,
                             QStringLiteral("\"%1\" is listed twice").arg(english));
        dictionary.texts.insert(english,
                                {line.fields[1], line.fields[2], line.fields[3], line.fields[4]});
    }
    return dictionary;
}

TranslationMessages LoadTranslationMessages(const QString& fileName) {
    TranslationMessages messages;
    for (const TextLine& line : ReadTextTable(fileName, QString::fromLatin1(MessagesHeader), 6)) {
        bool isNumber = false;
        const int number = line.fields[0].toInt(&isNumber);
        if (!isNumber || number < 1 || number > L::MessageCount)
            ThrowFormatError(fileName, line.number,
                             QStringLiteral("\"%1\" is not a message number").arg(line.fields[0]));
        if (messages.texts.contains(number))
            ThrowFormatError(fileName, line.number,
                             QStringLiteral("message %1 is listed twice").arg(number));
        messages.texts.insert(number, {line.fields[1], line.fields[2], line.fields[3],
                                       line.fields[4], line.fields[5]});
    }
    return messages;
}

FillReport FillTranslationTable(StringGridModel& grid, const TranslationDictionary& dictionary,
                                const TranslationMessages& messages) {
    FillReport report;
    for (int row = L::FirstControlRow; row <= L::LastControlRow; ++row) {
        if (grid.Cell(L::ComponentColumn, row).isEmpty())
            continue;
        if (FillControlRow(grid, row, dictionary, report.missingTexts))
            ++report.rowsTranslated;
    }
    for (auto it = messages.texts.cbegin(); it != messages.texts.cend(); ++it) {
        const int row = MessageRow(it.key());
        grid.SetCell(L::ComponentColumn, row, MessageLabel(it.key()));
        for (int language = L::FirstLanguage; language <= L::LastLanguage; ++language)
            grid.SetCell(LanguageColumn(language), row,
                         it.value()[static_cast<size_t>(language - 1)]);
        ++report.messagesFilled;
    }
    return report;
}

FillReport FillTranslationTableFromFolder(StringGridModel& grid, const QString& folder) {
    const QDir dir(folder);
    return FillTranslationTable(grid, LoadTranslationDictionary(dir.filePath("Dictionary.csv")),
                                LoadTranslationMessages(dir.filePath("Messages.csv")));
}
