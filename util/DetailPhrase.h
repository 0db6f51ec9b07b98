#pragma once
// A phrase the program adds to a message: a reason, a detail line, a line of
// a list. Model and device code describe it by the number of its text in the
// translation table and the values that fill its places (%1, %2, ...), and
// stay free of the table; the window gives it in the language in use, logs
// and the command line in English (the texts built into the program).
#include <QString>
#include <QStringList>

struct DetailPhrase {
    int message = 0;  // 0: no message of its own, the values are the text
    QStringList values;
};

// Text with its places %1 .. %9 filled from Values in one pass, so that a
// value holding "%2" is not filled again.
QString FillPhrase(const QString& text, const QStringList& values);

// The English text of message N as built into the program
// (translation/texts/Messages.csv); empty when there is none.
QString BuiltInMessageText(int messageNumber);
// The phrase in English.
QString EnglishText(const DetailPhrase& phrase);
