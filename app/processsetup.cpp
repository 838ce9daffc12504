#include "processsetup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

void ProcessSetup::beforeApplication(const char *argv0)
{
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");

    // Serial bus back-ends and styles shipped beside the executable.
    QStringList paths = QCoreApplication::libraryPaths();
    paths.append(QFileInfo(QString::fromLocal8Bit(argv0)).absolutePath()
                 + QStringLiteral("/plugins"));
    QCoreApplication::setLibraryPaths(paths);
}

bool ProcessSetup::loadQtTranslations(QCoreApplication *app)
{
    const QString folder = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
    bool base = false;
    for (const char *catalog : {"qtbase_ru", "qtserialport_ru"}) {
        auto *translator = new QTranslator(app);
        if (!translator->load(QLatin1String(catalog), folder)) {
            delete translator;
            continue;
        }
        QCoreApplication::installTranslator(translator);
        base = base || qstrcmp(catalog, "qtbase_ru") == 0;
    }
    return base;
}
