#include "util/DetailPhrase.h"

#include <QFile>
#include <QHash>

QString FillPhrase(const QString& text, const QStringList& values) {
    QString filled;
    filled.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'%' && i + 1 < text.size() && text[i + 1] >= u'1' && text[i + 1] <= u'9') {
            const qsizetype index = text[i + 1].unicode() - u'1';
            if (index < values.size()) {
                filled += values[index];
                ++i;
                continue;
            }
        }
        filled += c;
    }
    return filled;
}

QString BuiltInMessageText(int messageNumber) {
    // The English column of the message file, compiled in as a resource:
    // "N;ENGLISH;ITALIANO;...", one message a line after the header.
    static const QHash<int, QString> english = [] {
        Q_INIT_RESOURCE(BuiltInTexts);
        QHash<int, QString> texts;
        QFile file(QStringLiteral(":/translation/texts/Messages.csv"));
        if (!file.open(QIODevice::ReadOnly))
            return texts;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QStringList fields = lines[i].split(u';');
            bool isNumber = false;
            const int number = fields.value(0).toInt(&isNumber);
            if (isNumber && fields.size() > 1)
                texts.insert(number, QString(fields[1]).remove(u'\r'));
        }
        return texts;
    }();
    return english.value(messageNumber);
}

QString EnglishText(const DetailPhrase& phrase) {
    if (phrase.message == 0)  // a text without a message of its own
        return phrase.values.join(u' ');
    return FillPhrase(BuiltInMessageText(phrase.message), phrase.values);
}
