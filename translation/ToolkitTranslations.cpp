#include "translation/ToolkitTranslations.h"

#include "translation/TranslationTable.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <array>
#include <memory>

namespace {
const std::array<const char*, 5> LanguageCodes = {"en", "it", "fr", "es", "de"};

std::unique_ptr<QTranslator>& InstalledCatalogue() {
    static std::unique_ptr<QTranslator> catalogue;
    return catalogue;
}
} // namespace

QString LanguageCode(int language) {
    if (!IsValidLanguage(language))
        return {};
    return QString::fromLatin1(LanguageCodes[static_cast<size_t>(language - 1)]);
}

bool UseToolkitTranslations(int language, const QString& folder) {
    if (!IsValidLanguage(language))
        return false;
    std::unique_ptr<QTranslator>& installed = InstalledCatalogue();
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    if (language == TranslationLayout::FirstLanguage)
        return true;
    auto catalogue = std::make_unique<QTranslator>();
    const QString where =
        folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    if (!catalogue->load(QStringLiteral("qtbase_") + LanguageCode(language), where))
        return false;
    QCoreApplication::installTranslator(catalogue.get());
    installed = std::move(catalogue);
    return true;
}
