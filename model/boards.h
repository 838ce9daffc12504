// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef BOARDS_H
#define BOARDS_H

// What a board carries: its channels by kind and the numbers it takes in
// the module. The one place that knows the layout of each board code.
struct BoardLayout
{
    int analogInputs = 0;
    int analogOutputs = 0;
    int discreteInputs = 0;
    int discreteOutputs = 0;
    // Counting registers the board uses, and how many numbers it takes in the
    // counting numbering shared by DI and DI6 boards (the rest lie spare).
    int countingInputs = 0;
    int countingReserved = 0;
    int stepperOutputs = 0;
    bool temperatureInputs = false; // the analog inputs are temperature inputs
};

// Layout of a board code (SubmoduleType); no channels for ENI2, an empty slot
// and unknown codes.
const BoardLayout &boardLayout(int code);

#endif // BOARDS_H
