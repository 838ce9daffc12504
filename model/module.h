// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODULE_H
#define MODULE_H

#include "device.h"

#include <memory>

class Submodule;

// The unit: communication settings, firmware version, error word and up to
// six boards in slots A to F. Hands out the global channel numbers.
class Module : public Device
{
    Q_OBJECT

public:
    // Channel families numbered over the whole module.
    enum Family {
        AnalogInputs,
        AnalogOutputs,
        DiscreteInputs,
        DiscreteOutputs,
        CountingInputs, // shared by DI and DI6 boards
        StepperOutputs,
        FamilyCount
    };

    explicit Module(int type, QObject *parent = nullptr);
    ~Module() override;

    Device *createSubmodule(int type);
    // Submodules sorted by slot.
    QList<Submodule *> submodules() const;

    // A board of the type in the slot, its channels numbered as on the unit;
    // null for an unknown type.
    Submodule *placeSubmodule(int type, int slot);
    // Deletes one of this module's boards and numbers the others again.
    void removeSubmodule(Submodule *submodule);
    // Takes one of this module's boards out whole, settings and all, and
    // numbers the others again; null for a board that is not this module's.
    std::unique_ptr<Submodule> takeSubmodule(Submodule *submodule);
    // Puts a board taken out back in and numbers the channels again.
    void insertSubmodule(std::unique_ptr<Submodule> submodule);
    // Gives every channel the global number the unit gives it: each family
    // numbered over the boards in slot order. Returns how many changed.
    int renumberChannels();

    int counter(Family family) const { return m_counters[family]; }
    // Reserves `count` numbers of a family; numbers are never given back.
    void advanceCounter(Family family, int count) { m_counters[family] += count; }

    void fromJson(const QJsonObject &root) override;
    void fromTables(ModuleTables dataModule) override;
    ModuleTables toTables(ModuleTables dataModule) const override;
    QJsonObject toJson() const override;
    CompareResult compare(const Device *other) const override;

    // Clears the marks of the parameters `unit` (what the unit holds) has
    // as this module has them; returns how many stay marked.
    int settleMarks(const ModuleTables &unit);
    // Marks unread the parameters that `low` and `high` (the image as read,
    // its unread registers all 0 and all 0xFFFF) decode differently.
    int markUnread(const ModuleTables &low, const ModuleTables &high);

    static QString dottedAddress(quint16 high, quint16 low);
    // The module-block word a module parameter is kept in (ModuleTables::ModuleWord),
    // the first of the two for a dotted address; -1 for none.
    static int wordOf(const QString &name);
    // First code of a list parameter: its row shows entry (code - base).
    static int listCodeBase(const QString &name, int channelType);

    // The parameters a dotted address row stands for ("IP адрес" and its two words, …).
    static bool isDottedAddress(const QString &row);
    // Sets an address row's text and its two words; false (nothing set) for any other text.
    bool setDottedAddress(const QString &row, const QString &text);
    // Recomputes the port word from the baud and parity codes.
    void updatePortWord();

protected:
    QList<Device *> pairedChildren() const override;

private:
    int m_counters[FamilyCount] = {};
};

// Parameter names of the module.
namespace ModuleParam {
inline const QString Type = QStringLiteral("Тип модуля");
inline const QString Firmware = QStringLiteral("Версия ПО");
inline const QString Errors = QStringLiteral("Признаки имеющихся ошибок");
inline const QString LockTimeout = QStringLiteral("Таймаут включения блокировки, с");
inline const QString Address = QStringLiteral("Адрес MODBUS");
inline const QString ResponseDelay = QStringLiteral("Задержка ответа, мс");
inline const QString PortConfig = QStringLiteral("Настройка последовательного порта RS-485");
inline const QString BaudRate = QStringLiteral("Скорость, бит/с");
inline const QString Parity = QStringLiteral("Четность, стоп-биты");
inline const QString IpAddress = QStringLiteral("IP-адрес");
inline const QString Ip1 = QStringLiteral("IP-1");
inline const QString Ip2 = QStringLiteral("IP-2");
inline const QString Mask = QStringLiteral("Маска сети");
inline const QString Mask1 = QStringLiteral("MASK-1");
inline const QString Mask2 = QStringLiteral("MASK-2");
inline const QString Gateway = QStringLiteral("Адрес шлюза");
inline const QString Gate1 = QStringLiteral("GATE-1");
inline const QString Gate2 = QStringLiteral("GATE-2");
} // namespace ModuleParam

#endif // MODULE_H
