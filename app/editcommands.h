// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef EDITCOMMANDS_H
#define EDITCOMMANDS_H

#include <QColor>
#include <QUndoCommand>
#include <QVariant>
#include <QVector>

#include <memory>

class Device;
class ModuleView;
class Property;
class Submodule;

// The values and edit marks of every parameter of one device, so that an
// edit, with the words derived from it (an address and its two register
// words, the port word), can be put back as it was.
class ParameterState
{
public:
    static ParameterState capture(Device *device);
    // Sets every value and edit mark back; values through Property::setValue,
    // so that the channel's own reactions to them run again.
    void restore() const;
    QVector<Property *> parameters() const;

private:
    struct Entry
    {
        Property *parameter; // owned by the device
        QVariant value;
        bool changed;
    };
    QVector<Entry> m_entries;
};

// One edit of a row of the module view. Pushed after the edit is made, so its
// first redo does nothing. Edits of the same row in a row merge into one, as
// an editor reports every step on the way to the value.
class ParameterEditCommand : public QUndoCommand
{
public:
    ParameterEditCommand(ModuleView *view, Property *parameter, const QString &text,
                         const ParameterState &before, const ParameterState &after,
                         const QColor &rowBefore);

    void undo() override;
    void redo() override;
    int id() const override { return Id; }
    bool mergeWith(const QUndoCommand *other) override;

private:
    static constexpr int Id = 1;

    ModuleView *m_view;    // not owned; owns the stack
    Property *m_parameter; // not owned
    ParameterState m_before;
    ParameterState m_after;
    QColor m_rowBefore;
    bool m_applied = true;
};

// A board added to or removed from an offline configuration. While the board
// is out of the module the command holds it, with its settings, so that it
// comes back as it went.
class BoardCommand : public QUndoCommand
{
public:
    enum class Kind { Added, Removed };

    // An added board is in the module already; a removed one is taken out by
    // the first redo.
    BoardCommand(ModuleView *view, Submodule *board, Kind kind);
    ~BoardCommand() override;

    void undo() override;
    void redo() override;

private:
    void takeOut();
    void putBack();

    ModuleView *m_view;                 // not owned; owns the stack
    Submodule *m_board;                 // owned by the module while it is in
    std::unique_ptr<Submodule> m_taken; // the board while it is out
    Kind m_kind;
};

#endif // EDITCOMMANDS_H
