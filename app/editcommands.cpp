// SPDX-License-Identifier: GPL-3.0-or-later
#include "editcommands.h"

#include "moduleview.h"

#include <codes.h>
#include <device.h>
#include <property.h>
#include <submodule.h>

ParameterState ParameterState::capture(Device *device)
{
    ParameterState state;
    if (!device)
        return state;
    const QList<Property *> parameters = device->properties();
    for (Property *parameter : parameters)
        state.m_entries.append({parameter, parameter->value(), parameter->isChanged()});
    return state;
}

void ParameterState::restore() const
{
    for (const Entry &entry : m_entries) {
        entry.parameter->setValue(entry.value);
        entry.parameter->setChanged(entry.changed);
    }
}

QVector<Property *> ParameterState::parameters() const
{
    QVector<Property *> result;
    for (const Entry &entry : m_entries)
        result.append(entry.parameter);
    return result;
}

ParameterEditCommand::ParameterEditCommand(ModuleView *view, Property *parameter,
                                           const QString &text, const ParameterState &before,
                                           const ParameterState &after, const QColor &rowBefore)
    : QUndoCommand(text)
    , m_view(view)
    , m_parameter(parameter)
    , m_before(before)
    , m_after(after)
    , m_rowBefore(rowBefore)
{}

void ParameterEditCommand::undo()
{
    m_view->showParameterState(m_before, m_parameter, m_rowBefore);
    m_applied = false;
}

void ParameterEditCommand::redo()
{
    if (m_applied)
        return; // the edit itself did it
    m_view->showParameterState(m_after, m_parameter, QColor(Qt::cyan));
    m_applied = true;
}

bool ParameterEditCommand::mergeWith(const QUndoCommand *other)
{
    const auto *edit = static_cast<const ParameterEditCommand *>(other);
    if (edit->m_parameter != m_parameter)
        return false;
    m_after = edit->m_after;
    return true;
}

namespace {

QString boardText(BoardCommand::Kind kind, const Submodule *board)
{
    const QString what = QStringLiteral("%1 (слот %2)")
                             .arg(submoduleTypeName(board->value(SubmoduleParam::Type).toInt()),
                                  slotLetter(board->value(SubmoduleParam::Slot).toInt()));
    return kind == BoardCommand::Kind::Added ? QStringLiteral("добавление субмодуля %1").arg(what)
                                             : QStringLiteral("удаление субмодуля %1").arg(what);
}

} // namespace

BoardCommand::BoardCommand(ModuleView *view, Submodule *board, Kind kind)
    : QUndoCommand(boardText(kind, board))
    , m_view(view)
    , m_board(board)
    , m_kind(kind)
{}

BoardCommand::~BoardCommand() = default;

void BoardCommand::undo()
{
    if (m_kind == Kind::Added)
        takeOut();
    else
        putBack();
}

void BoardCommand::redo()
{
    if (m_kind == Kind::Added)
        putBack();
    else
        takeOut();
}

void BoardCommand::takeOut()
{
    if (!m_taken)
        m_taken = m_view->takeBoard(m_board);
}

void BoardCommand::putBack()
{
    if (m_taken)
        m_view->putBackBoard(std::move(m_taken));
}
