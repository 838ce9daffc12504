#include "startwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

int main(int argc, char *argv[])
{
    // Plug-ins shipped beside the executable (serial bus back-ends, styles).
    QStringList paths = QCoreApplication::libraryPaths();
    paths.append(QFileInfo(QString::fromLocal8Bit(argv[0])).absolutePath()
                 + QStringLiteral("/plugins"));
    QCoreApplication::setLibraryPaths(paths);

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brk-configurator"));
    QCoreApplication::setApplicationVersion(QStringLiteral(BRK_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Configurator of the BRK-40 I/O unit"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
    // The resources live in the static application library.
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(icons);

    StartWindow window;
    window.show();
    return app.exec();
}
