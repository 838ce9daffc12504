// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PARAMETERTREE_H
#define PARAMETERTREE_H

#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class Device;
class Module;

// The configuration parameters of a module as the module view's tree shows
// them: each named by its path ("Субмодуль AI (Слот B) / Аналоговый вход 2 /
// Нижний предел"), with the range or the list of values the tree offers, its
// value as display text, and a checked way to set it from text.
class ParameterTree
{
public:
    struct Entry
    {
        enum class Kind { ReadOnly, Integer, Real, Choice, Address };

        QString path;
        const Device *device = nullptr; // owner of the parameter; not owned
        QString name;                   // the parameter's name in the model
        Kind kind = Kind::Integer;
        double minimum = 0;
        double maximum = 0;
        int decimals = 0;           // Real only
        QMap<int, QString> choices; // Choice only: code -> text
        int slot = -1;              // slot of the board, -1 for the module's own
        bool link = false; // how the unit is reached: address, port word, IP, mask, gateway

        QString displayText() const;
        // Unit of the value: the channel's signal unit for its limits and an
        // output's block value, "%" for PWM, the module's seconds and milliseconds.
        QString units() const;
        // The display text followed by the unit, if any.
        QString displayTextWithUnits() const;
        // Empty when the value is within the range or the list; otherwise
        // "«path»: недопустимое значение «v», допустимо …". The port word's
        // rows pass while the module's word is `heldPort`, the one the unit
        // holds: a unit may hold codes the lists do not name, and takes its
        // own word back.
        QString problem(int heldPort = -1) const;
    };

    static const QString ModuleGroup; // "Модуль", first segment of the module's own paths
    // Names of a board's group ("Субмодуль AI (Слот B)") and of a channel's
    // ("Аналоговый вход 2" for channel number 1), as paths and the tree show them.
    static QString boardName(int type, int slot);
    static QString channelName(int type, int number);

    // Every parameter in tree order: the module's own, then board by board in
    // slot order, channel by channel.
    static QVector<Entry> entries(const Module &module);

    // Path segments trimmed and joined by " / ".
    static QString normalizedPath(const QString &path);
    // The entry at `path`: the whole path, or, when no path is equal, the one
    // entry whose path ends with it (whole segments, case ignored). Null and a
    // message for none or several.
    static const Entry *find(const QVector<Entry> &entries, const QString &path, QString *error);

    // Sets the parameter at `path` of `module` from text: a number within the
    // range, a list entry by its text or code, or a dotted address. False with
    // a message, and nothing changed, for anything else.
    static bool set(Module &module, const QString &path, const QString &text, QString *error);

    // What problem() says of every value of `module` that is out of its range or list,
    // e.g. of a file edited by hand: nothing of it may reach a unit. `unit` is
    // what the unit holds; without it the port word is taken as not written.
    static QStringList badValues(const Module &module, const Module *unit = nullptr);

    // Code of a list value held as a number, a bool or their texts.
    static int choiceCode(const QVariant &value);

    // Ranges the tree offers. The address and the response delay are single registers.
    static constexpr int WordMaximum = 65535;
    static constexpr int PwmMaximum = 100;
    static constexpr double LimitBound = 1000.0;
    static constexpr double LockTimeoutMaximum = 25.5;
    static constexpr double BlockValueMaximum = 16777215.0;
    // Range offered for the Modbus address: 0 is the broadcast address and no
    // unit answers above 247.
    static constexpr int MinAddress = 1;
    static constexpr int MaxAddress = 247;
};

#endif // PARAMETERTREE_H
