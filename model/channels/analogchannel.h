// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef ANALOGCHANNEL_H
#define ANALOGCHANNEL_H

#include "channel.h"

// Settings every analog channel has: signal type, limits, data format and
// multiplier. The subclasses say which tables of the image hold them.
class AnalogChannel : public Channel
{
    Q_OBJECT

public:
    AnalogChannel(int globalNumber, QObject *parent);

    void fromJson(const QJsonObject &obj) override;
    QJsonObject toJson() const override;

public slots:
    // Keeps the value type of the engineering value in step with the data format.
    virtual void updateType();

protected:
    // Where one channel family keeps its settings in the register image.
    struct Tables
    {
        QVector<quint16> types;
        QVector<quint16> limits;
        QVector<quint16> flags;
    };
    struct TableNames
    {
        const char *typesEmpty;
        const char *limitsEmpty;
        const char *flagsEmpty;
        const char *typesShort;
        const char *limitsShort;
        const char *flagsShort;
    };
    // Each setting is decoded from its own table when that table holds the
    // channel's entries, whatever the other tables hold.
    void decodeSettings(const Tables &tables, const TableNames &names);
    // Writes the settings into the tables that hold the channel's entries.
    void encodeSettings(Tables *tables) const;
    // Value type that the data format gives the engineering value; -1 for none.
    static int valueTypeOfFormat(const QVariant &format);
};

#endif // ANALOGCHANNEL_H
