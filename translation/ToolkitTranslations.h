#pragma once
// The window toolkit's own texts (the stock buttons Yes, No, OK, the file
// dialogs' buttons and labels) in the language in use, from Qt's translation
// catalogues (Debian's qt6-translations-l10n). English is built in.
#include <QString>

// The ISO 639-1 code of a language number: "en", "it", "fr", "es", "de";
// empty for an unknown language.
QString LanguageCode(int language);

// Switches the toolkit's texts to Language: the catalogue for it replaces the
// one installed before (English removes it). Looks in Folder, or in Qt's own
// translations folder when Folder is empty. False when the catalogue is not
// there (the toolkit's texts stay English) or the language is unknown; true
// for English.
bool UseToolkitTranslations(int language, const QString& folder = QString());
