// brkctl: the configurator's commands for scripts and for many units at once.
#include "brkctl.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brkctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRK_VERSION));
    // The model and the sequences keep a debug log meant for the windows; the
    // command reports failures itself.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });

    // Qt's own texts of the help pages, in Russian where the translation is installed.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ru"),
                     QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    Brkctl brkctl;
    QObject::connect(&brkctl, &Brkctl::finished, &app, &QCoreApplication::exit);
    if (!brkctl.start(app.arguments()))
        return brkctl.exitStatus();
    return app.exec();
}
