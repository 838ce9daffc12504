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
#include "propertymanager.h"
#include "submodule.h"
#include "treepropertybrowser.h"

#include <QFile>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QUndoStack>

#include <cmath>

namespace {

const QString kModuleGroup = QStringLiteral("Модуль");
const QString kModuleParams = QStringLiteral("Параметры модуля");
const QString kLinkParams = QStringLiteral("Параметры связи");
const QString kGroupKey = QStringLiteral("Group");
const QString kHelpFile = QStringLiteral("information.json");

// Bits of the error word that the unit defines.
constexpr int kErrorBits[] = {0, 1, 2, 5, 6};
// Ranges of the editors, shared with the command line.
constexpr int kWordMaximum = ParameterTree::WordMaximum;
constexpr int kPwmMaximum = ParameterTree::PwmMaximum;
constexpr double kLimitBound = ParameterTree::LimitBound;
constexpr double kLockTimeoutMaximum = ParameterTree::LockTimeoutMaximum;
constexpr double kBlockValueMaximum = ParameterTree::BlockValueMaximum;

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
    Module *module = moduleFromTables(m_tables).release();
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
    if (!device)
        return;
    const QString name = qtproperty->propertyName();
    if (name == ModuleParam::Address) {
        // Edited, the row offers only the addresses a unit can have: a value
        // outside them came from a file or the unit. Narrowing moves such a
        // value to the nearest address, which comes back here on its own.
        qtproperty->setAttribute(PropertyAttribute::Minimum, ParameterTree::MinAddress);
        qtproperty->setAttribute(PropertyAttribute::Maximum, ParameterTree::MaxAddress);
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
        device->setValue(name, unknown->value);
        updatePortWord(parameter);
        for (BrowserItem *item : items)
            m_browser->setBackgroundColor(item, QColor(Qt::white));
    } else {
        parameter->setChanged(true);
        for (BrowserItem *item : items)
            m_browser->setBackgroundColor(item, QColor(Qt::cyan));
        applyEdit(parameter, value);
    }
    markChanged();
    m_undoStack->push(new ParameterEditCommand(this, parameter, editText(parameter, qtproperty),
                                               before, ParameterState::capture(device), rowBefore));
}

void ModuleView::applyEdit(Property *parameter, const QVariant &value)
{
    Device *device = parameter->device();
    const QString name = parameter->name();
    if (Module::isDottedAddress(name)) {
        applyAddress(parameter, value.toString());
    } else if (name == ModuleParam::BaudRate || name == ModuleParam::Parity) {
        device->setValue(name, value.toInt() + listBase(parameter));
        updatePortWord(parameter);
    } else if (listBase(parameter) != 0) {
        device->setValue(name, value.toInt() + listBase(parameter));
    } else {
        device->setValue(name, value);
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

void ModuleView::initProgressDialog(int size)
{
    m_timer.start();
    m_progressDialog = std::make_unique<QProgressDialog>(
        QStringLiteral("Сохранение конфигурации..."), QStringLiteral("Отмена"), 0, size);
    setEnabled(false);
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
}

BrowserProperty *ModuleView::buildModuleProperty()
{
    BrowserProperty *top = addGroup(kModuleGroup);
    BrowserProperty *moduleGroup = addGroup(kModuleParams);
    BrowserProperty *linkGroup = addGroup(kLinkParams);
    top->addSubProperty(moduleGroup);
    const auto parameters = m_module->properties();
    for (Property *parameter : parameters)
        buildModuleRow(parameter, moduleGroup, linkGroup);
    moduleGroup->addSubProperty(linkGroup);
    const auto submodules = m_module->submodules();
    for (Submodule *submodule : submodules)
        top->addSubProperty(buildSubmoduleProperty(submodule));
    return top;
}

void ModuleView::buildModuleRow(Property *parameter, BrowserProperty *moduleGroup,
                                BrowserProperty *linkGroup)
{
    const QString name = parameter->name();
    const QVariant value = parameter->value();
    BrowserProperty *group = linkGroup;
    BrowserProperty *row = nullptr;
    if (name == ModuleParam::Type) {
        row = addReadOnlyProperty(name, moduleTypeName(value.toInt()));
        group = moduleGroup;
    } else if (name == ModuleParam::Firmware) {
        row = addReadOnlyProperty(name, value.toString());
        group = moduleGroup;
    } else if (name == ModuleParam::Errors) {
        row = buildErrorFlags(parameter);
        group = moduleGroup;
    } else if (name == ModuleParam::ResponseDelay) {
        row = addIntProperty(name, value, 0, kWordMaximum);
    } else if (name == ModuleParam::Address) {
        // 0 is the broadcast address and no unit answers above 247; a value
        // outside is shown as it is, and written back unless edited.
        const int address = value.toInt();
        row = addIntProperty(name, value, qMin(address, ParameterTree::MinAddress),
                             qMax(address, ParameterTree::MaxAddress));
    } else if (name == ModuleParam::LockTimeout) {
        row = addDoubleProperty(name, value, 0, kLockTimeoutMaximum);
        row->setAttribute(PropertyAttribute::Decimals, 1);
    } else if (name == ModuleParam::BaudRate || name == ModuleParam::Parity) {
        if (m_mode & ModeTcp)
            return;
        row = addEnumProperty(parameter, listBase(parameter));
    } else if (Module::isDottedAddress(name)) {
        if (m_mode & ModeRtu)
            return;
        row = addAddressProperty(name, value.toString());
    }
    if (!row)
        return;
    group->addSubProperty(row);
    m_browser->insertProperty(row, parameter);
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
    BrowserProperty *group = addGroup(
        QStringLiteral("Субмодуль %1 (Слот %2)").arg(submoduleTypeName(type), slotLetter(slot)));
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
    BrowserProperty *group = addGroup(
        QStringLiteral("%1 %2 ").arg(channelTypeName(type), QString::number(number + 1)));
    const auto parameters = channel->properties();
    for (Property *parameter : parameters) {
        if (BrowserProperty *row = buildChannelRow(parameter, type)) {
            group->addSubProperty(row);
            m_browser->insertProperty(row, parameter);
        }
    }
    return group;
}

BrowserProperty *ModuleView::buildChannelRow(Property *parameter, int channelType)
{
    const QString name = parameter->name();
    const QVariant value = parameter->value();
    if (name == ChannelParam::SignalType) {
        if (channelType == TypeAnalogInput || channelType == TypeAnalogOutput)
            return addEnumProperty(parameter, 0);
        if (channelType == TypeTemperatureInput)
            return addEnumProperty(parameter, FirstTemperatureSignalType);
        return nullptr;
    }
    if (name == ChannelParam::LowerLimit || name == ChannelParam::UpperLimit)
        return addDoubleProperty(name, value, -kLimitBound, kLimitBound);
    if (name == ChannelParam::Multiplier || name == ChannelParam::DataFormat
        || name == ChannelParam::Antibounce)
        return addEnumProperty(parameter, 0);
    if (name == ChannelParam::Pwm)
        return addIntProperty(name, value, 0, kPwmMaximum);
    if (name == ChannelParam::BlockValue) {
        if (channelType == TypeAnalogOutput)
            return addDoubleProperty(name, value, 0, kBlockValueMaximum);
        if (channelType == TypeDigitalOutput)
            return addEnumProperty(parameter, 0);
    }
    return nullptr;
}

BrowserProperty *ModuleView::addIntProperty(const QString &name, const QVariant &value, int minimum,
                                            int maximum)
{
    BrowserProperty *row = m_manager->addProperty(BrowserProperty::Integer, name);
    row->setAttribute(PropertyAttribute::Minimum, minimum);
    row->setAttribute(PropertyAttribute::Maximum, maximum);
    const int given = value.toInt();
    row->setValue(given);
    if (row->value().toInt() != given)
        qCDebug(lcApp) << "Error set int property";
    return row;
}

BrowserProperty *ModuleView::addDoubleProperty(const QString &name, const QVariant &value,
                                               double minimum, double maximum)
{
    BrowserProperty *row = m_manager->addProperty(BrowserProperty::Real, name);
    row->setAttribute(PropertyAttribute::Minimum, minimum);
    row->setAttribute(PropertyAttribute::Maximum, maximum);
    row->setAttribute(PropertyAttribute::Decimals, 3);
    row->setAttribute(PropertyAttribute::SingleStep, 0.1);
    const double given = value.toDouble();
    row->setValue(given);
    // A float read from the unit is never exact in decimals; only a value
    // that the row had to change by more than its rounding is reported.
    if (std::abs(row->value().toDouble() - given) > 0.0005)
        qCDebug(lcApp) << "Error set double property";
    return row;
}

BrowserProperty *ModuleView::addEnumProperty(Property *parameter, int base)
{
    BrowserProperty *row = m_manager->addProperty(BrowserProperty::Enumeration, parameter->name());
    QStringList names = parameter->enumNames().values();
    int index = ParameterTree::choiceCode(parameter->value()) - base;
    if (index < 0 || index >= names.size()) {
        // Shown as such and kept: a write sends the unit's own value back
        // until the user picks an entry.
        index = names.size();
        names << QStringLiteral("Неизвестное значение (%1)").arg(parameter->value().toString());
        m_unknownChoices.insert(row, {parameter->value(), index});
    }
    row->setAttribute(PropertyAttribute::EnumNames, names);
    row->setValue(index);
    if (row->value().toInt() != index)
        qCDebug(lcApp) << "Error set combobox property";
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

void ModuleView::colorItem(BrowserItem *item)
{
    if (!item)
        return;
    if (const Property *parameter = m_browser->findProperty(item->property())) {
        m_browser->setBackgroundColor(item, parameter->isChanged() ? QColor(Qt::cyan)
                                                                   : QColor(Qt::white));
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
    return ParameterTree::choiceCode(parameter->value()) - listBase(parameter);
}

int ModuleView::listBase(const Property *parameter)
{
    const auto *channel = qobject_cast<const Channel *>(parameter->device());
    return Module::listCodeBase(parameter->name(),
                                channel ? channel->value(ChannelParam::Type).toInt() : -1);
}

void ModuleView::applyAddress(Property *parameter, const QString &text)
{
    if (auto *module = qobject_cast<Module *>(parameter->device()))
        module->setDottedAddress(parameter->name(), text);
}

void ModuleView::updatePortWord(Property *changed)
{
    auto *module = qobject_cast<Module *>(changed->device());
    if (module
        && (changed->name() == ModuleParam::BaudRate || changed->name() == ModuleParam::Parity))
        module->updatePortWord();
}
