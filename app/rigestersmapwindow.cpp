#include "rigestersmapwindow.h"
#include "ui_rigestersmapwindow.h"

#include "channel.h"
#include "codes.h"
#include "module.h"
#include "property.h"
#include "registertabwidget.h"
#include "submodule.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// Table titles in display order, and the channel kind each one lists
// (-1: a table that no channel fills).
struct TableKind
{
    const char *title;
    int kind;
};

const TableKind tableKinds[] = {
    {"Дискретные входы", TypeDigitalInput},
    {"Дискретные выходы", TypeDigitalOutput},
    {"Аналоговые входы", TypeAnalogInput},
    {"Аналоговые выходы", TypeAnalogOutput},
    {"Температурные входы", TypeTemperatureInput},
    {"Счетные регистры", TypeCountingInput},
    {"Регистры антидребезга", -1},
    {"Частота ШИМ (аппаратного)", TypeStepperMotor},
};

} // namespace

RigestersMapWindow::RigestersMapWindow(Module *module, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::RigestersMapWindow)
    , m_module(module)
{
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Карта субмодулей"));
    createTables();
    fillFromModule();
    fitSize();
}

RigestersMapWindow::~RigestersMapWindow() = default;

void RigestersMapWindow::createTables()
{
    m_contentLayout = new QVBoxLayout;
    for (const TableKind &entry : tableKinds) {
        auto *table = new RegisterTabWidget(QString::fromUtf8(entry.title));
        m_contentLayout->addWidget(table);
        m_tables.append(table);
    }

    auto *content = new QWidget;
    content->setLayout(m_contentLayout);
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    ui->gridLayout->addWidget(scroll);
}

void RigestersMapWindow::fillFromModule()
{
    if (!m_module)
        return;
    for (Submodule *submodule : m_module->submodules()) {
        const QString typeName = submoduleTypeName(submodule->value(SubmoduleParam::Type).toInt());
        const QString letter = slotLetter(submodule->value(SubmoduleParam::Slot).toInt());
        for (Channel *channel : submodule->channels()) {
            const int kind = channel->value(ChannelParam::Type).toInt();
            int number = channel->value(ChannelParam::Number).toInt() + 1;
            // An AIO board's outputs follow its two inputs.
            if (kind == TypeAnalogOutput)
                number += 2;
            const QString description = QStringLiteral("Слот %1: субмодуль %2, канал %3")
                                            .arg(letter, typeName)
                                            .arg(number);
            const Property *value = channel->property(ChannelParam::Value);
            if (!value)
                continue;
            addRow(kind, description, value->address(),
                   registerFunctionNumber(value->registerType()), value->valueType());
        }
    }
}

void RigestersMapWindow::addRow(int kind, const QString &description, int address, int function,
                                int valueType)
{
    if (kind < TypeAnalogInput || kind > TypeCountingInput)
        return;
    for (int i = 0; i < m_tables.size(); ++i) {
        if (tableKinds[i].kind == kind) {
            m_tables.at(i)->addRow(description, address, function, valueType);
            return;
        }
    }
}

void RigestersMapWindow::fitSize()
{
    const int spacing = qMax(0, ui->verticalLayout->spacing());
    int height = BaseHeight;
    for (RegisterTabWidget *table : qAsConst(m_tables)) {
        if (table->rowCount() > 0)
            height += table->minimumHeight() + spacing;
        else
            table->hide();
    }
    // Taller content scrolls.
    setFixedSize(FixedWidth, qMin(height, MaxHeight));
}
