// SPDX-License-Identifier: GPL-3.0-or-later
// brkctl: the configurator's commands for scripts and for many units at once.
#include "brkctl.h"
#include "linktranslations.h"
#include "interruptwatch.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// A report is laid out with Qt Gui's text layout, which needs a platform; the
// offscreen one needs no display. Other commands keep the plain core application.
std::unique_ptr<QCoreApplication> makeApplication(int &argc, char *argv[])
{
    const bool draws
        = (argc > 1 && strcmp(argv[1], "report") == 0)
          || (argc > 2 && strcmp(argv[1], "plant") == 0 && strcmp(argv[2], "report") == 0);
    if (!draws)
        return std::make_unique<QCoreApplication>(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace

int main(int argc, char *argv[])
{
    // The model and the sequences keep a debug log meant for the windows, and
    // the platform warns about its set-up; the command reports failures itself.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    const std::unique_ptr<QCoreApplication> app = makeApplication(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brkctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRK_VERSION));

    // Qt's own texts (help pages, link errors) in Russian.
    installLinkTranslations(app.get());

    Brkctl brkctl;
    QObject::connect(&brkctl, &Brkctl::finished, app.get(), &QCoreApplication::exit);
    // Ctrl-C mid-write: the request on the line is answered, then the command stops.
    InterruptWatch interrupts;
    QObject::connect(&interrupts, &InterruptWatch::interrupted, &brkctl, &Brkctl::interrupt);
    if (!brkctl.start(app->arguments()))
        return brkctl.exitStatus();
    return app->exec();
}
