// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CHANNEL_H
#define CHANNEL_H

#include "device.h"

// Parameter names shared by every channel class.
namespace ChannelParam {
inline const QString Number = QStringLiteral("Номер канала");
inline const QString GlobalNumber = QStringLiteral("Глобальный номер канала");
inline const QString Type = QStringLiteral("Тип канала");
inline const QString Value = QStringLiteral("Значение канала в ед. изм.");
inline const QString RawValue = QStringLiteral("Значение канала");
inline const QString SignalType = QStringLiteral("Тип сигнала");
inline const QString LowerLimit = QStringLiteral("Нижний предел");
inline const QString UpperLimit = QStringLiteral("Верхний предел");
inline const QString DataFormat = QStringLiteral("Формат данных");
inline const QString Multiplier = QStringLiteral("Множитель");
inline const QString BlockValue = QStringLiteral("Блокировочное значение");
inline const QString Antibounce = QStringLiteral("Антидребезг");
inline const QString Pwm = QStringLiteral("Значение ШИМ");
} // namespace ChannelParam

// One input or output of a submodule. Its global number g indexes its
// entries in the family's tables of the register image.
class Channel : public Device
{
    Q_OBJECT

public:
    Channel(int globalNumber, QObject *parent);

    void fromJson(const QJsonObject &obj) override;
    QJsonObject toJson() const override;
    CompareResult compare(const Device *other) const override;

    // Largest channel number accepted from a file.
    static constexpr int MaxFileNumber = 1023;

    // Moves the channel to another global number, with the registers of its
    // live values. False when it already had that number.
    bool setGlobalNumber(int number);

protected:
    int globalNumber() const;
    int channelNumber() const;
    // Sets a parameter with the attributes the register map and the
    // calibration dialog read; its register is base + stride × global number.
    void describe(const QString &name, int valueType, int registerType, int base, int stride,
                  bool editable, int scale = 1);
    // Sets the register addresses from the global number.
    virtual void placeRegisters();

private:
    struct Spot
    {
        QString name;
        int base;
        int stride;
    };
    QList<Spot> m_spots;
};

#endif // CHANNEL_H
