// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODEFLAGS_H
#define MODEFLAGS_H

#include <QFlags>

// Bits of the mode handed from the start window to the main window and its views.
enum ModeFlag : int {
    ModeOffline = 1,
    ModeOnline = 2,
    ModeRtu = 4,
    ModeTcp = 8,
    ModeExtraDelay = 16,
    ModeKeepsModule = 32
};
Q_DECLARE_FLAGS(Modes, ModeFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(Modes)

#endif // MODEFLAGS_H
