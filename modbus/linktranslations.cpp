// SPDX-License-Identifier: GPL-3.0-or-later
#include "linktranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

bool install(QCoreApplication *app, const QString &catalog, const QString &folder)
{
    auto *translator = new QTranslator(app);
    if (!translator->load(catalog, folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace

bool installLinkTranslations(QCoreApplication *app)
{
    // The catalog is compiled into this static library.
    Q_INIT_RESOURCE(linktranslations);
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    const bool base = install(app, QStringLiteral("qtbase_ru"), folder);
    install(app, QStringLiteral("qtserialport_ru"), folder);
    install(app, QStringLiteral("qtserialbus_ru"), QStringLiteral(":/translations"));
    return base;
}
