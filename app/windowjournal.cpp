// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowjournal.h"

#include "plantwindow.h"
#include "plantunitsmodel.h"

#include <codes.h>
#include <configdiff.h>
#include <configfile.h>
#include <journal.h>
#include <module.h>
#include <target.h>

#include <QModbusTcpClient>

QString WindowJournal::targetOf(const QModbusClient *client, int serverAddress)
{
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

QString WindowJournal::writeFinished(const QModbusClient *client, int serverAddress,
                                     const ModuleTables &before, const ModuleTables &after,
                                     WriteJob::Outcome outcome)
{
    if (!client)
        return QString();
    JournalEntry entry = JournalEntry::now();
    entry.target = targetOf(client, serverAddress);
    entry.unitType = moduleTypeName(before.moduleType());
    entry.firmware = QString::number(before.firmware() / 10.0, 'f', 1);
    entry.address = before.address();
    entry.action = QStringLiteral("write");
    entry.outcome = outcome == WriteJob::Outcome::Completed ? JournalEntry::Confirmed
                    : outcome == WriteJob::Outcome::Refused ? JournalEntry::Refused
                                                            : JournalEntry::Unconfirmed;
    const auto differences
        = ConfigDiff::compare(*moduleFromTables(before), *moduleFromTables(after));
    for (const ConfigDiff::Difference &d : differences)
        entry.changes.append({d.path, d.left, d.right});

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
    return QStringLiteral("Журнал изменений %1 не записан: %2").arg(path, error);
}
