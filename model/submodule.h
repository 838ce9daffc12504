// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SUBMODULE_H
#define SUBMODULE_H

#include "boards.h"
#include "device.h"

class Channel;
class Module;

namespace SubmoduleParam {
inline const QString Slot = QStringLiteral("Слот субмодуля");
inline const QString Type = QStringLiteral("Тип субмодуля");
inline const QString Ordinal = QStringLiteral("Порядковый номер субмодуля данного типа");
} // namespace SubmoduleParam

// A board in one slot of the module: creates the channels its board layout
// (boards.h) gives and numbers them as the unit does.
class Submodule : public Device
{
    Q_OBJECT

public:
    // `type` is a board code (isSubmoduleType); the channels take the next free
    // numbers of the module.
    Submodule(int type, Module *parent);

    QList<Channel *> channels() const { return m_channels; }
    int submoduleType() const { return m_type; }

    // Numbers the channels from `next` (the first free number of each
    // Module::Family) as the unit does and moves `next` past this board.
    // Returns how many channels got another number.
    int renumber(int *next);

    void fromJson(const QJsonObject &obj) override;
    void fromTables(ModuleTables dataModule) override;
    ModuleTables toTables(ModuleTables dataModule) const override;
    QJsonObject toJson() const override;
    CompareResult compare(const Device *other) const override;

private:
    void createChannels();
    // Takes `reserved` numbers of a family from the module; returns the first.
    int reserve(int family, int reserved);
    void addChannel(Channel *channel, int number);

    Module *m_module; // not owned; the QObject parent
    const int m_type;
    const BoardLayout &m_layout;
    QList<Channel *> m_channels; // children, in creation order
};

#endif // SUBMODULE_H
