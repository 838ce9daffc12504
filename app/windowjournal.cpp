// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowjournal.h"

#include "applogging.h"
#include "plantunitsmodel.h"
#include "plantwindow.h"

#include <channel.h>
#include <codes.h>
#include <configdiff.h>
#include <configfile.h>
#include <journal.h>
#include <module.h>
#include <parametertree.h>
#include <property.h>
#include <submodule.h>
#include <target.h>

#include <QModbusReply>
#include <QModbusTcpClient>

namespace {

QString firmwareText(double version)
{
    return QString::number(version, 'f', 1);
}

// The channel parameter by its tree path and register: calibration writes
// go to registers the configuration tree does not show.
QString calibrationPath(const Property &p)
{
    const Device *channel = p.device();
    const auto *board = channel ? qobject_cast<const Submodule *>(channel->parent()) : nullptr;
    QString path;
    if (board) {
        path = ParameterTree::boardName(board->value(SubmoduleParam::Type).toInt(),
                                        board->value(SubmoduleParam::Slot).toInt())
               + QStringLiteral(" / ")
               + ParameterTree::channelName(channel->value(ChannelParam::Type).toInt(),
                                            channel->value(ChannelParam::Number).toInt())
               + QStringLiteral(" / ");
    }
    return path + p.name() + QStringLiteral(" (регистр %1)").arg(p.address());
}

QString valueText(const Property &p, const QVariant &value)
{
    if (!value.isValid())
        return QString(); // never read: not known
    const auto name = p.enumNames().constFind(value.toInt());
    return name != p.enumNames().constEnd() ? *name : value.toString();
}

QString outcomeOf(const QModbusReply &reply)
{
    switch (reply.error()) {
    case QModbusDevice::NoError:
        return JournalEntry::Confirmed;
    case QModbusDevice::ProtocolError: // an exception reply
        return JournalEntry::Refused;
    default:
        return JournalEntry::Unconfirmed;
    }
}

} // namespace

QString WindowJournal::targetOf(const QModbusClient *client, int serverAddress)
{
    if (!client)
        return QString();
    Target target;
    target.unit = serverAddress;
    if (qobject_cast<const QModbusTcpClient *>(client)) {
        target.host
            = client->connectionParameter(QModbusDevice::NetworkAddressParameter).toString();
        target.port = client->connectionParameter(QModbusDevice::NetworkPortParameter).toInt();
        return target.toString();
    }
    target.kind = Target::Kind::Rtu;
    target.device = client->connectionParameter(QModbusDevice::SerialPortNameParameter).toString();
    target.baud = client->connectionParameter(QModbusDevice::SerialBaudRateParameter).toInt();
    target.parity = QSerialPort::Parity(
        client->connectionParameter(QModbusDevice::SerialParityParameter).toInt());
    target.stopBits = QSerialPort::StopBits(
        client->connectionParameter(QModbusDevice::SerialStopBitsParameter).toInt());
    return target.toString();
}

JournalEntry WindowJournal::entryFor(const QModbusClient *client, int serverAddress, int unitType,
                                     const QString &firmware, const QString &action)
{
    JournalEntry entry = JournalEntry::now();
    entry.target = targetOf(client, serverAddress);
    entry.unitType = moduleTypeName(unitType);
    entry.firmware = firmware;
    entry.address = serverAddress;
    entry.action = action;
    return entry;
}

JournalEntry WindowJournal::entryFor(const QModbusClient *client, int serverAddress,
                                     const ModuleTables &tables, const QString &action)
{
    return entryFor(client, serverAddress, tables.moduleType(),
                    firmwareText(tables.firmware() / 10.0), action);
}

QString WindowJournal::writeFinished(const QModbusClient *client, int serverAddress,
                                     const ModuleTables &before, const ModuleTables &after,
                                     WriteJob::Outcome outcome)
{
    JournalEntry entry = entryFor(client, serverAddress, before, QStringLiteral("write"));
    entry.address = before.address();
    entry.outcome = outcome == WriteJob::Outcome::Completed ? JournalEntry::Confirmed
                    : outcome == WriteJob::Outcome::Refused ? JournalEntry::Refused
                                                            : JournalEntry::Unconfirmed;
    const auto differences
        = ConfigDiff::compare(*moduleFromTables(before), *moduleFromTables(after));
    for (const ConfigDiff::Difference &d : differences)
        entry.changes.append({d.path, d.left, d.right});
    return append(entry);
}

QString WindowJournal::resetFinished(const QModbusClient *client, int serverAddress,
                                     const ModuleTables &tables, const TransferSequence &sequence,
                                     TransferSequence::Result result)
{
    JournalEntry entry = entryFor(client, serverAddress, tables, QStringLiteral("reset"));
    // Only an exception reply says the unit did not reset; any other failure leaves it unknown.
    entry.outcome = result == TransferSequence::Result::Completed ? JournalEntry::Confirmed
                    : sequence.failureError() == QModbusDevice::ProtocolError
                        ? JournalEntry::Refused
                        : JournalEntry::Unconfirmed;
    return append(entry);
}

void WindowJournal::watchCalibrationWrite(const QModbusClient *client, int serverAddress,
                                          const Module &module, const Property &parameter,
                                          const QVariant &before, QModbusReply *reply,
                                          const std::function<void(const QString &)> &tell)
{
    JournalEntry entry = entryFor(client, serverAddress, module.value(ModuleParam::Type).toInt(),
                                  firmwareText(module.value(ModuleParam::Firmware).toDouble()),
                                  QStringLiteral("calibration"));
    entry.changes.append({calibrationPath(parameter), valueText(parameter, before),
                          valueText(parameter, parameter.value())});
    auto ended = [entry, reply, tell]() mutable {
        entry.outcome = outcomeOf(*reply);
        const QString error = append(entry);
        if (!error.isEmpty())
            tell(error);
    };
    if (reply->isFinished())
        ended();
    else
        QObject::connect(reply, &QModbusReply::finished, reply, ended);
}

QString WindowJournal::append(JournalEntry entry)
{
    if (entry.target.isEmpty())
        return QString(); // an offline window: nothing went to a unit
    QString path = Journal::inUserData();
    if (const PlantWindow *plant = PlantWindow::current()) {
        for (const PlantUnit &unit : plant->model()->plant().units()) {
            Target target;
            QString error;
            if (Target::parse(unit.target, &target, &error) && target.toString() == entry.target) {
                entry.unit = unit.name;
                path = Journal::besidePlant(plant->model()->plant().folder());
                break;
            }
        }
    }
    QString error;
    if (Journal::append(path, entry, &error))
        return QString();
    const QString text = QStringLiteral("Журнал изменений %1 не записан: %2").arg(path, error);
    qCWarning(lcApp).noquote() << text;
    return text;
}
