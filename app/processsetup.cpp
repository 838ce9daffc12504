// SPDX-License-Identifier: GPL-3.0-or-later
#include "processsetup.h"

#include <QCoreApplication>
#include <QFileInfo>

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
