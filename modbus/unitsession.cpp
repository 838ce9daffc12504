// SPDX-License-Identifier: GPL-3.0-or-later
#include "unitsession.h"

#include <codes.h>
#include <modeflags.h>
#include <registerblocks.h>

#include <QModbusClient>

#include <memory>

namespace {

// Time a reply may take beyond the client's own time-out and retries.
constexpr int WatchdogMarginMs = 1000;

const QString LineHint
    = QStringLiteral("проверьте адрес модуля (unit=), параметры линии и подключение");
const QString RefusedHint = QStringLiteral(
    "модуль отклонил запрос; проверьте, что по этому адресу модуль БРК-40 с этими субмодулями");

// Blocks by what they hold, their names in brackets for the traffic log.
QString blocksText(const QStringList &names)
{
    QStringList texts;
    for (const QString &name : names)
        texts << QStringLiteral("%1 (%2)").arg(RegisterBlocks::description(name), name);
    return texts.join(QStringLiteral("; "));
}

QString moduleBlockText(int count)
{
    const int first = RegisterBlocks::ModuleBlockStart;
    return QStringLiteral("параметров модуля (регистры %1–%2)").arg(first).arg(first + count - 1);
}

// The service registers carry commands, not blocks the user could look up.
QString commandText(int type, const QString &name)
{
    switch (type) {
    case EnableWriteEeprom:
        return QStringLiteral("команда разрешения записи");
    case EepromWriteFlag:
        return QStringLiteral("флаг записи в EEPROM");
    case ResetConfig:
        return QStringLiteral("команда сброса конфигурации");
    case RebootModule:
        return QStringLiteral("команда перезагрузки");
    default:
        return QStringLiteral("блок ") + name;
    }
}

} // namespace

UnitSession::UnitSession(const Target &target, const LinkOptions &options, QObject *parent)
    : QObject(parent)
    , m_target(target)
    , m_link(options.settingsFor(target))
{
    m_result.target = target.toString();
    const int mode = ModeOnline | options.settingsFor(target).modeFlags();

    m_transfer = new TransferSequence(m_link.client(), this);
    m_transfer->setServerAddress(target.unit);
    m_transfer->setMode(mode);
    connect(m_transfer, &TransferSequence::finished, this, &UnitSession::onTransferFinished);
    m_writeJob = new WriteJob(m_transfer, this);
    connect(m_transfer, &TransferSequence::errorMessage, this, [this](const QString &text) {
        if (m_firstError.isEmpty())
            m_firstError = text;
    });
    connect(m_transfer, &TransferSequence::progress, this, &UnitSession::onBlockDone);

    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        finish(StatusNoAnswer, QStringLiteral("нет ответа на чтение %1: %2")
                                   .arg(moduleBlockText(ModuleTables::ModuleBlockSize), LineHint));
    });
}

UnitSession::~UnitSession()
{
    delete m_transfer; // before the client it borrows
}

void UnitSession::open(const Next &next)
{
    m_clock.start();
    connect(&m_link, &UnitLink::opened, this, [this, next] {
        m_scanner.setClient(m_link.client());
        next();
    });
    connect(&m_link, &UnitLink::failed, this, [this](const QString &text) {
        finish(StatusNoAnswer, QStringLiteral("нет подключения (%1): проверьте адрес, порт и "
                                              "что модуль включён")
                                   .arg(text));
    });
    m_link.open();
}

void UnitSession::startWatchdog()
{
    const QModbusClient *client = m_link.client();
    m_watchdog.start(client->timeout() * (client->numberOfRetries() + 1) + WatchdogMarginMs);
}

void UnitSession::askModuleBlock(int address, int count,
                                 const std::function<void(QVector<quint16>)> &next)
{
    disconnect(&m_scanner, nullptr, this, nullptr);
    m_found.clear();
    m_exception = -1;
    connect(&m_scanner, &DiscoveryScanner::unitFound, this,
            [this](const QVector<quint16> &block) { m_found = block; });
    connect(&m_scanner, &DiscoveryScanner::unitRefused, this,
            [this](int, int code) { m_exception = code; });
    connect(&m_scanner, &DiscoveryScanner::addressDone, this, [this, next](int, bool) {
        m_watchdog.stop();
        disconnect(&m_scanner, nullptr, this, nullptr);
        next(m_found);
    });
    m_scanner.findModule(address, true, count);
    startWatchdog();
    m_scanner.sendRequest();
}

void UnitSession::readModuleBlock(bool withJumper,
                                  const std::function<void(QVector<quint16>)> &next)
{
    const int count
        = m_block.isEmpty() || !withJumper || m_firmware < ModuleTables::JumperWordFirmware
              ? ModuleTables::ModuleBlockSize
              : ModuleTables::JumperBlockSize;
    askModuleBlock(
        m_target.unit, count, [this, withJumper, count, next](const QVector<quint16> &block) {
            if (m_exception >= 0) {
                finish(StatusRefused, QStringLiteral("модуль отклонил чтение %1, исключение "
                                                     "0x%2: проверьте, что по этому адресу "
                                                     "модуль БРК-40")
                                          .arg(moduleBlockText(count))
                                          .arg(m_exception, 0, 16));
                return;
            }
            if (block.size() < count) {
                finish(StatusNoAnswer, QStringLiteral("нет ответа на чтение %1: %2")
                                           .arg(moduleBlockText(count), LineHint));
                return;
            }
            // Nothing but this read goes to a device that is not a unit.
            const int type = block.at(ModuleTables::WordModuleType);
            if (!isModuleType(type)) {
                m_result.data.insert(QStringLiteral("moduleType"), type);
                finish(StatusRefused, notUnitText(type));
                return;
            }
            const bool first = m_block.isEmpty();
            m_block = block;
            m_firmware = block.at(ModuleTables::WordFirmware);
            m_transfer->setFirmwareVersion(m_firmware);
            if (first && withJumper && m_firmware >= ModuleTables::JumperWordFirmware)
                readModuleBlock(true, next); // again, with the jumper word
            else
                next(block);
        });
}

void UnitSession::probeAddress(int address, const std::function<void(bool)> &next)
{
    askModuleBlock(address, ModuleTables::ModuleBlockSize,
                   [next](const QVector<quint16> &block) { next(!block.isEmpty()); });
}

void UnitSession::readImage(bool forWrite, const std::function<void(ModuleTables)> &next)
{
    readModuleBlock(forWrite, [this, forWrite, next](const QVector<quint16> &block) {
        if (forWrite && refuseIfJumper(block))
            return;
        ModuleTables tables;
        tables.setModuleTable(block.mid(0, ModuleTables::ModuleBlockSize));
        m_onTransfer = [this, next](TransferSequence::Result result) {
            if (result == TransferSequence::Result::Completed) {
                next(m_transfer->tables());
                return;
            }
            const int status = failureStatus();
            finish(status, QStringLiteral("не считаны %1 (%2): %3")
                               .arg(blocksText(m_transfer->failedBlocks()), m_firstError,
                                    status == StatusRefused ? RefusedHint : LineHint));
        };
        m_firstError.clear();
        m_transfer->startRead(tables);
    });
}

bool UnitSession::refuseIfJumper(const QVector<quint16> &block)
{
    if (block.value(ModuleTables::WordJumper) != 1)
        return false;
    finish(StatusRefused, QStringLiteral("Снимите перемычку XS4 перед конфигурацие модуля, затем "
                                         "повторите команду"));
    return true;
}

void UnitSession::write(const ModuleTables &encoded, const ModuleTables &before,
                        const WriteJob::Options &options, const std::function<void(int)> &next)
{
    m_firstError.clear();
    disconnect(m_writeJob, nullptr, this, nullptr);
    connect(m_writeJob, &WriteJob::finished, this, [this, next](WriteJob::Outcome outcome) {
        m_target.unit = m_transfer->serverAddress(); // where the read-back followed it
        if (m_finished || outcome == WriteJob::Outcome::Cancelled)
            return;
        if (m_writeJob->writeResult() == TransferSequence::Result::Completed) {
            next(m_writeJob->writtenCount());
            return;
        }
        ModbusRequest confirmed;
        const QString last
            = m_transfer->lastConfirmedWrite(&confirmed)
                  ? QStringLiteral("последний подтверждённый: %1").arg(registerName(confirmed))
                  : QStringLiteral("ни один регистр не подтверждён");
        const ModbusRequest failed = m_transfer->failedRequest();
        QString text;
        if (m_interrupted) {
            text = QStringLiteral("запись прервана по сигналу: подтверждено регистров %1, "
                                  "остальные не записаны")
                       .arg(m_transfer->confirmedWrites().size());
        } else if (outcome == WriteJob::Outcome::Refused) {
            text = QStringLiteral("модуль отклонил запись, исключение 0x%1: %2")
                       .arg(m_transfer->failureException(), 0, 16)
                       .arg(registerName(failed));
        } else if (m_writeJob->writeResult() == TransferSequence::Result::Failed) {
            text = QStringLiteral("модуль перестал отвечать при записи: %1")
                       .arg(registerName(failed));
        } else {
            text = QStringLiteral("запись не подтверждена: не на все запросы получен ответ");
        }
        finish(outcome == WriteJob::Outcome::Refused ? StatusRefused : StatusUnconfirmed,
               text + QStringLiteral("; ") + last
                   + QStringLiteral(". Модуль может хранить частично записанную конфигурацию: "
                                    "повторите запись"));
    });
    const TransferSequence::Start start = m_writeJob->start(encoded, before, options);
    if (start == TransferSequence::Start::Empty)
        next(0);
    else if (start != TransferSequence::Start::Started)
        finish(StatusNoAnswer, QStringLiteral("запись не началась: нет клиента"));
}

void UnitSession::interrupt()
{
    if (m_finished)
        return;
    m_interrupted = true;
    switch (m_transfer->kind()) {
    case TransferSequence::Kind::Write:
        m_transfer->interrupt(); // the write's own end reports it
        return;
    case TransferSequence::Kind::Verify:
        finish(StatusUnconfirmed,
               QStringLiteral("прервано по сигналу при проверке чтением: записано регистров %1, "
                              "запись не проверена")
                   .arg(m_writeJob->writtenCount()));
        return;
    case TransferSequence::Kind::Reset:
    case TransferSequence::Kind::Reboot:
        finish(StatusUnconfirmed, QStringLiteral("прервано по сигналу: сброс не подтверждён"));
        return;
    default:
        finish(StatusUnconfirmed, QStringLiteral("прервано по сигналу: ничего не записано"));
    }
}

void UnitSession::reset(const Next &next)
{
    m_firstError.clear();
    m_onTransfer = [this, next](TransferSequence::Result result) {
        if (result == TransferSequence::Result::Completed) {
            next();
            return;
        }
        finish(result == TransferSequence::Result::Unconfirmed ? StatusUnconfirmed
                                                               : failureStatus(),
               QStringLiteral("сброс не выполнен (%1): %2")
                   .arg(m_firstError, failureStatus() == StatusRefused ? RefusedHint : LineHint));
    };
    if (m_transfer->startReset() != TransferSequence::Start::Started)
        finish(StatusNoAnswer, QStringLiteral("сброс не начался: нет клиента"));
}

void UnitSession::scan(int first, int last,
                       const std::function<void(QMap<int, QVector<quint16>>)> &next)
{
    auto found = std::make_shared<QMap<int, QVector<quint16>>>();
    disconnect(&m_scanner, nullptr, this, nullptr);
    m_found.clear();
    connect(&m_scanner, &DiscoveryScanner::unitFound, this,
            [this](const QVector<quint16> &block) { m_found = block; });
    connect(&m_scanner, &DiscoveryScanner::addressDone, this,
            [this, found, first, last, next](int address, bool isLast) {
                if (!m_found.isEmpty())
                    found->insert(address, m_found);
                m_found.clear();
                emit progress(double(address - first + 1) / (last - first + 1));
                if (!isLast) {
                    startWatchdog();
                    return;
                }
                m_watchdog.stop();
                disconnect(&m_scanner, nullptr, this, nullptr);
                QList<int> pending;
                for (auto it = found->cbegin(); it != found->cend(); ++it) {
                    // A device that is not a unit gets no request beyond the scan's.
                    if (isModuleType(it.value().value(ModuleTables::WordModuleType))
                        && it.value().value(ModuleTables::WordFirmware)
                               >= ModuleTables::JumperWordFirmware)
                        pending << it.key();
                }
                readJumpers(*found, pending, next);
            });
    startWatchdog();
    m_scanner.start(first, last);
}

void UnitSession::readJumpers(QMap<int, QVector<quint16>> found, QList<int> pending,
                              const std::function<void(QMap<int, QVector<quint16>>)> &next)
{
    if (pending.isEmpty()) {
        next(found);
        return;
    }
    const int address = pending.takeFirst();
    askModuleBlock(address, ModuleTables::JumperBlockSize,
                   [this, found, pending, address, next](const QVector<quint16> &block) mutable {
                       // A unit that does not give the longer block is listed without its jumper.
                       if (block.size() > ModuleTables::WordJumper)
                           found[address] = block;
                       readJumpers(found, pending, next);
                   });
}

void UnitSession::onBlockDone(int type)
{
    const bool read = RegisterBlocks::isReadBlock(type);
    const double fraction = read ? double(type - rT300 + 1) / (rT1600 - rT300 + 1)
                                 : double(type - wT300 + 1) / (wT2000 - wT300 + 1);
    const int kind = read ? 1 : 2;
    if (m_blockKind != 0 && kind != m_blockKind)
        ++m_phase; // a read after a write, or a write after a read
    m_blockKind = kind;
    // The bar fills once over the whole command, never going back.
    m_shown = qMax(m_shown, qMin(1.0, (m_phase + qBound(0.0, fraction, 1.0)) / m_phases));
    emit progress(m_shown);
}

void UnitSession::onTransferFinished(TransferSequence::Kind, TransferSequence::Result result)
{
    if (m_finished || result == TransferSequence::Result::Cancelled || !m_onTransfer)
        return;
    const auto handler = m_onTransfer;
    m_onTransfer = nullptr;
    handler(result);
}

int UnitSession::failureStatus() const
{
    return m_transfer->failureError() == QModbusDevice::ProtocolError ? StatusRefused
                                                                      : StatusNoAnswer;
}

void UnitSession::finish(int status, const QString &message)
{
    if (m_finished)
        return;
    m_finished = true;
    m_result.status = status;
    if (m_clock.isValid())
        m_result.data.insert(QStringLiteral("elapsedMs"), m_clock.elapsed());
    if (!message.isEmpty())
        m_result.message = message;
    m_watchdog.stop();
    m_writeJob->cancel();
    m_transfer->cancel();
    disconnect(&m_scanner, nullptr, this, nullptr);
    m_scanner.clear();
    m_link.close();
    emit ending();
    // After the step that ended it has returned.
    QMetaObject::invokeMethod(this, &UnitSession::finished, Qt::QueuedConnection);
}

QString UnitSession::registerName(const ModbusRequest &request)
{
    const bool coil = request.unit.registerType() == QModbusDataUnit::Coils;
    const QString name = typeResponseName(request.type);
    const QString what = RegisterBlocks::description(request.type);
    return QStringLiteral("%1 %2, %3")
        .arg(coil ? QStringLiteral("катушка") : QStringLiteral("регистр"))
        .arg(request.unit.startAddress())
        .arg(what == name ? commandText(request.type, name) : blocksText({name}));
}
