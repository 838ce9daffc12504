// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PROCESSSETUP_H
#define PROCESSSETUP_H

class QCoreApplication;

// What the configurator's process sets up around its QApplication;
// also used by the benchmarks that measure the configurator as users run it.
class ProcessSetup
{
public:
    // Plug-ins beside the executable, and no OpenGL integration on X11: the
    // windows draw only with widgets, and the integration alone roughly
    // doubles the peak memory. A QT_XCB_GL_INTEGRATION set by the user wins.
    static void beforeApplication(const char *argv0);
};

#endif // PROCESSSETUP_H
