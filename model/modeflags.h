#ifndef MODEFLAGS_H
#define MODEFLAGS_H

// Bits of the mode handed from the start window to the main window and its views.
enum ModeFlag : int {
    ModeOffline = 1,
    ModeOnline = 2,
    ModeRtu = 4,
    ModeTcp = 8,
    ModeExtraDelay = 16,
    ModeKeepsModule = 32
};

#endif // MODEFLAGS_H
