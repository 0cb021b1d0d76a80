#include "interface_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <memory>

namespace velmora {

bool UseChineseInterface(QCoreApplication& application) {
    const QLocale chinese(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China);
    QLocale::setDefault(chinese);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    // The application owns the translator from here on; it stays installed for the whole run.
    translator->setParent(&application);
    return QCoreApplication::installTranslator(translator.release());
}

}  // namespace velmora
