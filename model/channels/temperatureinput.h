// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TEMPERATUREINPUT_H
#define TEMPERATUREINPUT_H

#include "analoginput.h"

// Input of a TMP board: an analog input with the temperature signal types,
// numbered with the analog inputs and kept in their tables.
class TemperatureInput : public AnalogInput
{
    Q_OBJECT

public:
    TemperatureInput(int globalNumber, QObject *parent);

public slots:
    // Register attributes of the value parameters follow the data format and
    // the signal type (resistance codes are unsigned, the others signed).
    void updateProperty();

protected:
    void placeRegisters() override;
};

#endif // TEMPERATUREINPUT_H
