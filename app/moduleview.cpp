// SPDX-License-Identifier: GPL-3.0-or-later
#include "moduleview.h"

#include "applogging.h"
#include "ui_moduleview.h"

#include "browseritem.h"
#include "browserproperty.h"
#include "channel.h"
#include "codes.h"
#include "configfile.h"
#include "documentlocator.h"
#include "editcommands.h"
#include "ipv4address.h"
#include "modeflags.h"
#include "module.h"
#include "parametertree.h"
#include "positionsubmoduledialog.h"
#include "property.h"
#include "propertyeditorfactory.h"
#include "registerblocks.h"
#include "propertymanager.h"
#include "submodule.h"
#include "treepropertybrowser.h"

#include <QFile>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QUndoStack>

namespace {

const QString kModuleParams = QStringLiteral("Параметры модуля");
const QString kLinkParams = QStringLiteral("Параметры связи");
const QString kGroupKey = QStringLiteral("Group");
const QString kHelpFile = QStringLiteral("information.json");
const QString UnreadToolTip = QStringLiteral("Не считано из модуля");

// Bits of the error word that the unit defines.
constexpr int kErrorBits[] = {0, 1, 2, 5, 6};

using Kind = ParameterTree::Entry::Kind;

QList<Device *> childDevices(const Device *device)
{
    QList<Device *> devices;
    const auto children = device->children();
    for (QObject *child : children) {
        if (auto *childDevice = qobject_cast<Device *>(child))
            devices.append(childDevice);
    }
    return devices;
}

// Gives every parameter of `to` the value of its namesake in `from`, device
// by device down two trees built alike; the marks go with it.
void copyValues(const Device *from, Device *to)
{
    const auto parameters = from->properties();
    for (const Property *parameter : parameters)
        to->setValue(parameter->name(), parameter->value());
    const QList<Device *> sources = childDevices(from);
    const QList<Device *> targets = childDevices(to);
    for (int i = 0; i < sources.size() && i < targets.size(); ++i)
        copyValues(sources.at(i), targets.at(i));
}

} // namespace

ModuleView::ModuleView(int mode, Module *module, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ModuleView)
    , m_mode(quint32(mode))
{
    setupView();
    adopt(module);
    setModule(module);
}

ModuleView::ModuleView(int mode, const ModuleTables &tables, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ModuleView)
    , m_tables(tables)
    , m_mode(quint32(mode))
{
    setupView();
    m_heldPort = m_tables.portWord();
    Module *module = moduleFromTables(m_tables).release();
    // Registers the read did not bring show no value rather than a default.
    if (m_mode & ModeOnline)
        module->markUnread(RegisterBlocks::withUnreadFilled(m_tables, 0),
                           RegisterBlocks::withUnreadFilled(m_tables, 0xFFFF));
    adopt(module);
    setModule(module);
}

ModuleView::ModuleView(int mode, int type, QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ModuleView)
    , m_mode(quint32(mode))
{
    setupView();
    auto *module = new Module(type);
    adopt(module);
    setModule(module);
}

ModuleView::~ModuleView()
{
    // Nothing may point into the model once it goes, and the host hears
    // nothing from a view that is being destroyed.
    const QSignalBlocker blocker(m_browser);
    disconnect(m_undoStack, nullptr, this, nullptr);
    m_undoStack->clear();
    clearTree();
}

void ModuleView::setupView()
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    m_factory = new PropertyEditorFactory(this);
    m_manager = new PropertyManager(this);
    m_readOnlyManager = new PropertyManager(this);
    connect(m_manager, &PropertyManager::valueChanged, this, &ModuleView::valueChanged);
    m_browser = new TreePropertyBrowser(m_mode, this);
    connect(m_browser, &TreePropertyBrowser::getInfoProperty, this, &ModuleView::getInfoProperty);
    m_browser->setFactoryForManager(m_manager, m_factory);
    m_browser->setFont(QFont(QStringLiteral("MS Shell Dlg 2"), 12));
    m_browser->setHeaderVisible(false);
    connect(m_browser, &TreePropertyBrowser::removeSubmodule, this, &ModuleView::removeSubmodule);
    m_undoStack = new QUndoStack(this);
    connect(m_undoStack, &QUndoStack::indexChanged, this, &ModuleView::onUndoIndexChanged);
    ui->frame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto *layout = new QHBoxLayout(ui->frame);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
}

void ModuleView::adopt(Module *module)
{
    // With mode bit 32 the main window keeps the module as its device module.
    if (!(m_mode & ModeKeepsModule))
        m_ownedModule.reset(module);
}

void ModuleView::refreshColors()
{
    colorItem(m_browser->topItem());
}

void ModuleView::addSubmodule(int type)
{
    if (!m_module)
        return;
    PositionSubmoduleDialog dialog(m_module, this);
    if (dialog.exec() != QDialog::Accepted || dialog.position() < 0)
        return;
    const int slot = dialog.position();
    for (const Submodule *present : m_module->submodules()) {
        if (present->value(SubmoduleParam::Slot).toInt() == slot) {
            qCDebug(lcApp) << "Slot already taken:" << slot;
            return;
        }
    }
    Submodule *board = m_module->placeSubmodule(type, slot);
    if (!board)
        return;
    markChanged();
    setModule(m_module);
    m_undoStack->push(new BoardCommand(this, board, BoardCommand::Kind::Added));
}

void ModuleView::deleteSelectedSubmodule()
{
    BrowserItem *item = m_browser->currentItem();
    if (!item || !item->property())
        return;
    Submodule *submodule = m_browser->submoduleOf(item);
    if (!submodule) {
        QMessageBox::warning(this, QStringLiteral("Внимание"),
                             QStringLiteral("Выберите субмодуль для удаления!"), QMessageBox::Ok);
        return;
    }
    removeSubmodule(submodule);
}

void ModuleView::setModule(Module *module)
{
    m_module = module;
    if (!module)
        return;
    clearTree();
    m_browser->setTopItem(m_browser->addProperty(buildModuleProperty()));
    BrowserItem *top = m_browser->topItem();
    colorItem(top);
    if (top) {
        const auto children = top->children();
        for (BrowserItem *child : children)
            collapseBelow(child);
    }
    // A rebuild never forgets a change: edits of most rows leave no flag in
    // the model, and added or removed boards none at all.
    const bool now = m_changed || m_module->isChanged();
    if (now != m_changed) {
        m_changed = now;
        emit enableSave(now);
    }
}

void ModuleView::removeSubmodule(Submodule *submodule)
{
    if (!m_module)
        return;
    if (submodule && submodule->parent() == m_module)
        m_undoStack->push(new BoardCommand(this, submodule, BoardCommand::Kind::Removed));
    else
        setModule(m_module);
}

std::unique_ptr<Submodule> ModuleView::takeBoard(Submodule *board)
{
    // The rows, their associations and the "Group" parameters point at the
    // board: they go with it.
    clearTree();
    std::unique_ptr<Submodule> taken = m_module->takeSubmodule(board);
    markChanged();
    setModule(m_module);
    return taken;
}

void ModuleView::putBackBoard(std::unique_ptr<Submodule> board)
{
    m_module->insertSubmodule(std::move(board));
    markChanged();
    setModule(m_module);
}

void ModuleView::markChanged()
{
    m_unwritten = true;
    // Told on every change: the host disables saving after a save without the
    // view knowing, and the next change must enable it again.
    m_changed = true;
    emit enableSave(true);
}

void ModuleView::markSaved()
{
    m_changed = false;
    emit enableSave(false);
    if (!(m_mode & ModeOnline))
        m_undoStack->setClean();
}

void ModuleView::markWritten(const ModuleTables &tables)
{
    m_unwritten = false;
    m_tables = tables;
    m_heldPort = tables.portWord();
    if (m_mode & ModeOnline)
        m_undoStack->setClean();
}

void ModuleView::valueChanged(BrowserProperty *qtproperty, const QVariant &value)
{
    if (m_showingState)
        return;
    // Rows are associated only after their value is set, so building the
    // tree never counts as an edit.
    Property *parameter = m_browser->findProperty(qtproperty);
    if (!parameter)
        return;
    Device *device = parameter->device();
    const auto entry = m_entries.constFind(parameter);
    if (!device || entry == m_entries.cend())
        return;
    if (entry->kind == Kind::Integer || entry->kind == Kind::Real) {
        // Edited, the row offers only its range: a value outside came from a
        // file or the unit. Narrowing moves such a value into the range, and
        // that comes back here on its own.
        setRange(qtproperty, *entry, entry->minimum, entry->maximum);
        if (qtproperty->value() != value)
            return;
    }
    const ParameterState before = ParameterState::capture(device);
    // The edited row, wherever it is shown: the current row may already be
    // another one when a text editor commits on losing the focus.
    const auto items = m_browser->items(qtproperty);
    const QColor rowBefore = items.isEmpty() ? QColor() : m_browser->backgroundColor(items.first());
    const auto unknown = m_unknownChoices.constFind(qtproperty);
    if (unknown != m_unknownChoices.cend() && value.toInt() == unknown->index) {
        // Back to what the unit or the file holds, unmarked.
        device->setValue(parameter->name(), unknown->value);
        if (auto *module = qobject_cast<Module *>(device))
            module->updatePortWord();
        for (BrowserItem *item : items) {
            if (!paintProblem(item, parameter))
                m_browser->setBackgroundColor(item, QColor(Qt::white));
        }
    } else {
        QString error;
        if (!ParameterTree::set(*m_module, entry->path, editedText(*entry, value), &error)) {
            // The row goes back to what the model still holds.
            showParameterState(before, nullptr, QColor());
            qCWarning(lcApp) << error;
            emit addMessage(error);
            return;
        }
        // Setting a value from text is no edit to the model: the mark is the view's.
        parameter->setChanged(true);
        for (BrowserItem *item : items) {
            m_browser->setBackgroundColor(item, QColor(Qt::cyan));
            m_browser->setValueToolTip(item, QString());
        }
    }
    markChanged();
    m_undoStack->push(new ParameterEditCommand(this, parameter, editText(parameter, qtproperty),
                                               before, ParameterState::capture(device), rowBefore));
}

QString ModuleView::editedText(const ParameterTree::Entry &entry, const QVariant &value)
{
    switch (entry.kind) {
    case Kind::Choice:
        return entry.choices.value(entry.choices.keys().value(value.toInt(), -1));
    case Kind::Real:
        return QString::number(value.toDouble(), 'g', 17);
    default:
        return value.toString();
    }
}

QString ModuleView::editText(const Property *parameter, BrowserProperty *row) const
{
    // A channel's rows repeat on every channel: its group names which one.
    QString text = QStringLiteral("изменение «%1»").arg(parameter->name());
    if (qobject_cast<Channel *>(parameter->device()) && !row->parentProperties().isEmpty())
        text += QStringLiteral(" (%1)").arg(
            row->parentProperties().first()->propertyName().trimmed());
    return text;
}

void ModuleView::showParameterState(const ParameterState &state, Property *edited,
                                    const QColor &rowColor)
{
    state.restore();
    m_showingState = true;
    const QVector<Property *> parameters = state.parameters();
    for (Property *parameter : parameters) {
        for (BrowserProperty *row : m_browser->rowsOf(parameter)) {
            const QVariant value = parameter->value();
            row->setValue(row->type() == BrowserProperty::Enumeration
                              ? QVariant(listIndex(row, parameter))
                              : value);
            if (parameter != edited)
                continue;
            const auto items = m_browser->items(row);
            for (BrowserItem *item : items)
                m_browser->setBackgroundColor(item, rowColor);
        }
    }
    m_showingState = false;
}

void ModuleView::onUndoIndexChanged()
{
    // The clean state is the base of the mode; of the other one it is only
    // known that the view may differ from it now.
    const bool atBase = m_undoStack->isClean();
    bool changed = true;
    if (m_mode & ModeOnline)
        m_unwritten = !atBase;
    else
        changed = !atBase || (m_module && m_module->isChanged());
    if (changed == m_changed)
        return;
    m_changed = changed;
    emit enableSave(changed);
}

void ModuleView::revertAll()
{
    if (!m_module)
        return;
    if (m_undoStack->cleanIndex() >= 0) {
        m_undoStack->setIndex(m_undoStack->cleanIndex());
        return;
    }
    // The way back was overwritten by later edits: the base is built anew.
    std::unique_ptr<Module> replacement;
    if (!(m_mode & ModeOnline)) {
        replacement = m_fileName.isEmpty()
                          ? std::make_unique<Module>(m_module->value(ModuleParam::Type).toInt())
                          : loadModule(m_fileName);
        if (!replacement)
            return;
    }
    // The commands point into the model: they go first.
    m_undoStack->clear();
    if (m_mode & ModeOnline) {
        // The boards of a unit stay as they are; only values go back.
        copyValues(moduleFromTables(m_tables).get(), m_module);
        m_module->setChanged(false);
        m_unwritten = false;
        setModule(m_module);
    } else {
        clearTree();
        m_changed = false;
        adopt(replacement.get());
        setModule(replacement.release());
        emit enableSave(false);
    }
    m_undoStack->setClean();
}

void ModuleView::getInfoProperty(const QString &propertyName)
{
    if (propertyName.isEmpty()) {
        emit addInfoProperty(QString());
        return;
    }
    QJsonObject help;
    const QString path = DocumentLocator::findHelpFile(kHelpFile);
    QFile file(path);
    if (!path.isEmpty() && file.open(QIODevice::ReadOnly))
        help = QJsonDocument::fromJson(file.readAll()).object();
    emit addInfoProperty(help.value(propertyName).toVariant().toString());
}

void ModuleView::clearTree()
{
    m_browser->clear();
    m_manager->clear();
    m_readOnlyManager->clear();
    m_ownProperties.clear();
    m_unknownChoices.clear();
    m_entries.clear();
}

BrowserProperty *ModuleView::buildModuleProperty()
{
    const QVector<ParameterTree::Entry> entries = ParameterTree::entries(*m_module);
    for (const ParameterTree::Entry &entry : entries) {
        if (Property *parameter = entry.device->property(entry.name))
            m_entries.insert(parameter, entry);
    }
    BrowserProperty *top = addGroup(ParameterTree::ModuleGroup);
    BrowserProperty *moduleGroup = addGroup(kModuleParams);
    BrowserProperty *linkGroup = addGroup(kLinkParams);
    top->addSubProperty(moduleGroup);
    const auto parameters = m_module->properties();
    for (Property *parameter : parameters) {
        const bool errors = parameter->name() == ModuleParam::Errors;
        BrowserProperty *row = errors ? buildErrorFlags(parameter) : buildRow(parameter);
        if (!row)
            continue;
        // What the unit says of itself is read-only; the rest is how it is reached.
        const bool own = errors || m_entries.value(parameter).kind == Kind::ReadOnly;
        (own ? moduleGroup : linkGroup)->addSubProperty(row);
        m_browser->insertProperty(row, parameter);
    }
    moduleGroup->addSubProperty(linkGroup);
    const auto submodules = m_module->submodules();
    for (Submodule *submodule : submodules)
        top->addSubProperty(buildSubmoduleProperty(submodule));
    return top;
}

BrowserProperty *ModuleView::buildErrorFlags(Property *parameter)
{
    BrowserProperty *group = addGroup(parameter->name());
    const int word = parameter->value().toInt();
    for (int bit : kErrorBits) {
        const QString flag = moduleErrorName(bit);
        BrowserProperty *row = addReadOnlyProperty(flag, (word >> bit) & 1 ? QStringLiteral("есть")
                                                                           : QStringLiteral("нет"));
        group->addSubProperty(row);
        m_browser->insertProperty(row, ownProperty(flag, m_module));
    }
    return group;
}

BrowserProperty *ModuleView::buildSubmoduleProperty(Submodule *submodule)
{
    const int type = submodule->value(SubmoduleParam::Type).toInt();
    const int slot = submodule->value(SubmoduleParam::Slot).toInt();
    BrowserProperty *group = addGroup(ParameterTree::boardName(type, slot));
    m_browser->insertProperty(group, ownProperty(kGroupKey, submodule));
    const auto children = submodule->children();
    for (QObject *child : children) {
        if (BrowserProperty *row = buildChannelProperty(qobject_cast<Channel *>(child)))
            group->addSubProperty(row);
    }
    return group;
}

BrowserProperty *ModuleView::buildChannelProperty(Channel *channel)
{
    if (!channel)
        return nullptr;
    const int number = channel->value(ChannelParam::Number).toInt();
    const int type = channel->value(ChannelParam::Type).toInt();
    // The trailing blank is part of the label.
    BrowserProperty *group = addGroup(ParameterTree::channelName(type, number) + QLatin1Char(' '));
    const auto parameters = channel->properties();
    for (Property *parameter : parameters) {
        if (BrowserProperty *row = buildRow(parameter)) {
            group->addSubProperty(row);
            m_browser->insertProperty(row, parameter);
        }
    }
    return group;
}

BrowserProperty *ModuleView::buildRow(Property *parameter)
{
    const auto found = m_entries.constFind(parameter);
    if (found == m_entries.cend())
        return nullptr;
    const ParameterTree::Entry &entry = *found;
    // Over Modbus TCP the serial line is not the unit's link, over RTU the network.
    const bool serial = entry.name == ModuleParam::BaudRate || entry.name == ModuleParam::Parity;
    if ((serial && (m_mode & ModeTcp)) || (entry.kind == Kind::Address && (m_mode & ModeRtu)))
        return nullptr;
    if (parameter->isUnread())
        return addReadOnlyProperty(entry.name, QString());
    switch (entry.kind) {
    case Kind::ReadOnly:
        return addReadOnlyProperty(entry.name, entry.displayText());
    case Kind::Integer:
    case Kind::Real:
        return addNumberProperty(entry, parameter->value());
    case Kind::Choice:
        return addEnumProperty(parameter, entry.choices);
    case Kind::Address:
        return addAddressProperty(entry.name, parameter->value().toString());
    }
    return nullptr;
}

BrowserProperty *ModuleView::addNumberProperty(const ParameterTree::Entry &entry,
                                               const QVariant &value)
{
    const bool real = entry.kind == Kind::Real;
    BrowserProperty *row = m_manager->addProperty(
        real ? BrowserProperty::Real : BrowserProperty::Integer, entry.name);
    // A value outside the range, from a file or the unit, is shown as it is
    // and written back unless edited.
    const double given = real ? value.toDouble() : value.toInt();
    setRange(row, entry, qMin(entry.minimum, given), qMax(entry.maximum, given));
    if (real) {
        row->setAttribute(PropertyAttribute::Decimals, entry.decimals);
        row->setAttribute(PropertyAttribute::SingleStep, 0.1);
        row->setValue(given);
    } else {
        row->setValue(int(given));
    }
    return row;
}

void ModuleView::setRange(BrowserProperty *row, const ParameterTree::Entry &entry, double minimum,
                          double maximum)
{
    if (entry.kind == Kind::Real) {
        row->setAttribute(PropertyAttribute::Minimum, minimum);
        row->setAttribute(PropertyAttribute::Maximum, maximum);
    } else {
        row->setAttribute(PropertyAttribute::Minimum, int(minimum));
        row->setAttribute(PropertyAttribute::Maximum, int(maximum));
    }
}

BrowserProperty *ModuleView::addEnumProperty(Property *parameter, const QMap<int, QString> &choices)
{
    BrowserProperty *row = m_manager->addProperty(BrowserProperty::Enumeration, parameter->name());
    QStringList names = choices.values();
    int index = choices.keys().indexOf(ParameterTree::choiceCode(parameter->value()));
    if (index < 0) {
        // Shown as such and kept: a write sends the unit's own value back
        // until the user picks an entry.
        index = names.size();
        names << QStringLiteral("Неизвестное значение (%1)").arg(parameter->value().toString());
        m_unknownChoices.insert(row, {parameter->value(), index});
    }
    row->setAttribute(PropertyAttribute::EnumNames, names);
    row->setValue(index);
    return row;
}

BrowserProperty *ModuleView::addAddressProperty(const QString &name, const QString &text)
{
    BrowserProperty *row = m_manager->addProperty(BrowserProperty::Text, name);
    row->setAttribute(PropertyAttribute::RegExp, ipv4AddressExpression());
    row->setValue(text);
    if (row->value().toString() != text)
        qCDebug(lcApp) << "Error set url property()";
    return row;
}

BrowserProperty *ModuleView::addReadOnlyProperty(const QString &name, const QString &text)
{
    BrowserProperty *row = m_readOnlyManager->addProperty(BrowserProperty::ReadOnlyText, name);
    row->setAttribute(PropertyAttribute::ReadOnly, true);
    row->setValue(text);
    return row;
}

BrowserProperty *ModuleView::addGroup(const QString &name)
{
    return m_manager->addProperty(BrowserProperty::Group, name);
}

Property *ModuleView::ownProperty(const QString &name, Device *device)
{
    m_ownProperties.push_back(std::make_unique<Property>(name, device, 0));
    return m_ownProperties.back().get();
}

QColor ModuleView::badValueColor()
{
    return QColor(255, 170, 170);
}

void ModuleView::setHeldPort(int word)
{
    m_heldPort = word;
    refreshColors();
}

bool ModuleView::paintProblem(BrowserItem *item, const Property *parameter)
{
    const auto entry = m_entries.constFind(parameter);
    const QString problem = entry == m_entries.cend() ? QString() : entry->problem(m_heldPort);
    m_browser->setValueToolTip(item, problem);
    if (!problem.isEmpty())
        m_browser->setBackgroundColor(item, badValueColor());
    return !problem.isEmpty();
}

void ModuleView::colorItem(BrowserItem *item)
{
    if (!item)
        return;
    if (const Property *parameter = m_browser->findProperty(item->property())) {
        if (parameter->isUnread()) {
            m_browser->setBackgroundColor(item, QColor(Qt::lightGray));
            m_browser->setValueToolTip(item, UnreadToolTip);
        } else if (!paintProblem(item, parameter)) {
            m_browser->setBackgroundColor(item, parameter->isChanged() ? QColor(Qt::cyan)
                                                                       : QColor(Qt::white));
        }
    }
    const auto children = item->children();
    for (BrowserItem *child : children)
        colorItem(child);
}

void ModuleView::collapseBelow(BrowserItem *item)
{
    const auto children = item->children();
    for (BrowserItem *child : children)
        collapseBelow(child);
    m_browser->setExpanded(item, false);
}

int ModuleView::listIndex(const BrowserProperty *row, const Property *parameter) const
{
    const auto unknown = m_unknownChoices.constFind(row);
    if (unknown != m_unknownChoices.cend() && parameter->value() == unknown->value)
        return unknown->index;
    return m_entries.value(parameter).choices.keys().indexOf(
        ParameterTree::choiceCode(parameter->value()));
}
