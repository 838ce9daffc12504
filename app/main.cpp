// SPDX-License-Identifier: GPL-3.0-or-later
#include "appsettings.h"
#include "commandline.h"
#include "linktranslations.h"
#include "processsetup.h"
#include "startwindow.h"

#include <QApplication>

#include <cstdio>

namespace {

// Help and version need no display; anything else is judged once Qt has
// taken its own options (-platform, -style, ...) out of the arguments.
bool answeredWithoutWindow(CommandLine &commandLine, int argc, char *argv[], int *status)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    switch (commandLine.parse(arguments)) {
    case CommandLine::Outcome::Help: {
        // The help text names the program from the arguments: the name, not its path.
        char name[] = "brk-configurator";
        char *arguments[] = {name, nullptr};
        int count = 1;
        QCoreApplication core(count, arguments);
        installLinkTranslations(&core);
        std::fputs(qPrintable(commandLine.helpText()), stdout);
        *status = 0;
        return true;
    }
    case CommandLine::Outcome::Version:
        std::printf("brk-configurator %s\n", BRK_VERSION);
        *status = 0;
        return true;
    case CommandLine::Outcome::Error:
    case CommandLine::Outcome::Run:
        return false;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("brk-configurator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRK_VERSION));
    CommandLine commandLine;
    int status = 0;
    if (answeredWithoutWindow(commandLine, argc, argv, &status))
        return status;

    ProcessSetup::beforeApplication(argv[0]);
    QApplication app(argc, argv);
    installLinkTranslations(&app);
    if (commandLine.parse(QCoreApplication::arguments()) == CommandLine::Outcome::Error) {
        std::fprintf(stderr, "brk-configurator: %s\n", qPrintable(commandLine.errorText()));
        return 2;
    }

    // The resources live in the static application library.
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(icons);
    AppSettings::useUserFile();

    StartWindow window;
    window.applyCommandLine(commandLine);
    window.show();
    if (!commandLine.fileName().isEmpty())
        window.openFile(commandLine.fileName());
    return app.exec();
}
