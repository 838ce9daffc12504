#include "startwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <cstring>

namespace {

void describeOptions(QCommandLineParser *parser)
{
    parser->setApplicationDescription(QStringLiteral("Configurator of the BRK-40 I/O unit"));
    parser->addHelpOption();
    parser->addVersionOption();
}

// --help and --version print and exit; they need no display, so they are
// answered before a window system is looked for.
bool asksForTextOnly(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setApplicationName(QStringLiteral("brk-configurator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRK_VERSION));
    if (asksForTextOnly(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        describeOptions(&parser);
        parser.process(app);
    }

    // Plug-ins shipped beside the executable (serial bus back-ends, styles).
    QStringList paths = QCoreApplication::libraryPaths();
    paths.append(QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath()
                 + QStringLiteral("/plugins"));
    QCoreApplication::setLibraryPaths(paths);

    QApplication app(argc, argv);
    QCommandLineParser parser;
    describeOptions(&parser);
    parser.process(app);
    // The resources live in the static application library.
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(icons);

    StartWindow window;
    window.show();
    return app.exec();
}
