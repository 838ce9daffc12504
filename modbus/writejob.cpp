// SPDX-License-Identifier: GPL-3.0-or-later
#include "writejob.h"

#include "registerblocks.h"

#include <module.h>

namespace {

const char *const SkippedText
    = "Проверка записи не выполнена: изменены адрес или параметры связи модуля.";

QString dottedIp(const ModuleTables &tables)
{
    return ModuleTables::wordsToDotted(tables.moduleWord(ModuleTables::WordIp1),
                                       tables.moduleWord(ModuleTables::WordIp2));
}

} // namespace

WriteJob::WriteJob(TransferSequence *transfer, QObject *parent)
    : QObject(parent)
    , m_transfer(transfer)
{
    qRegisterMetaType<WriteJob::Outcome>("WriteJob::Outcome");
    m_followTimer.setSingleShot(true);
    connect(&m_followTimer, &QTimer::timeout, this, &WriteJob::verify);
    connect(m_transfer, &TransferSequence::finished, this, &WriteJob::onTransferFinished);
}

TransferSequence::Start WriteJob::start(const Module &module, const ModuleTables &image,
                                        const Options &options)
{
    return start(module.toTables(image), image, options);
}

TransferSequence::Start WriteJob::start(const ModuleTables &encoded, const ModuleTables &image,
                                        const Options &options)
{
    if (m_running)
        return TransferSequence::Start::Busy;
    m_transfer->setKeptRegisters(options.kept);
    const TransferSequence::Start start = m_transfer->startWrite(encoded, image, options.mode);
    if (start != TransferSequence::Start::Started)
        return start;
    m_options = options;
    m_running = true;
    m_written = encoded;
    m_before = image;
    m_writtenCount = m_transfer->dataWriteCount();
    m_confirmed.clear();
    m_writeResult = TransferSequence::Result::Completed;
    m_refused = false;
    m_move = moveOf(image);
    m_linkChanged = false;
    m_check = Check::None;
    return start;
}

void WriteJob::cancel()
{
    if (!m_running)
        return;
    if (m_transfer->isRunning()) {
        m_transfer->cancel();
        return;
    }
    m_check = Check::Cancelled;
    finish();
}

void WriteJob::onTransferFinished(TransferSequence::Kind kind, TransferSequence::Result result)
{
    if (!m_running)
        return;
    if (kind == TransferSequence::Kind::Write) {
        m_writeResult = result;
        m_refused = m_transfer->failureError() == QModbusDevice::ProtocolError;
        m_confirmed = m_transfer->confirmedWrites();
        m_linkChanged = m_transfer->linkChanged();
        if (result == TransferSequence::Result::Completed)
            afterWrite();
        else
            finish();
    } else if (kind == TransferSequence::Kind::Verify) {
        if (result == TransferSequence::Result::Cancelled)
            m_check = Check::Cancelled;
        else
            m_check = result == TransferSequence::Result::Completed ? Check::Equal : Check::Differs;
        finish();
    }
}

void WriteJob::afterWrite()
{
    if (!m_options.verify) {
        finish();
        return;
    }
    if (m_options.followMs < 0) {
        if (m_linkChanged) {
            // The unit answers at its new address or speed only after a
            // moment, and maybe not where this client looks.
            m_check = Check::Skipped;
            emit message(QString::fromUtf8(SkippedText));
            finish();
            return;
        }
        verify();
        return;
    }
    switch (m_move) {
    case Move::Elsewhere:
        m_check = Check::Unreachable;
        finish();
        return;
    case Move::NewAddress:
        // The unit takes its new address a moment after the last module write.
        m_followTimer.start(m_options.followMs);
        return;
    case Move::None:
        verify();
        return;
    }
}

void WriteJob::verify()
{
    if (m_move == Move::NewAddress)
        m_transfer->setServerAddress(m_written.moduleWord(ModuleTables::WordAddress));
    if (m_transfer->startVerify() != TransferSequence::Start::Started) {
        finish();
        return;
    }
    emit verifyStarted();
}

WriteJob::Move WriteJob::moveOf(const ModuleTables &image) const
{
    const bool tcp = m_transfer->mode() & ModeTcp;
    // Over TCP the port word is the RS-485 side's; the IP address is the link.
    const bool elsewhere = tcp ? dottedIp(m_written) != dottedIp(image)
                               : m_written.moduleWord(ModuleTables::WordPort)
                                     != image.moduleWord(ModuleTables::WordPort);
    if (elsewhere)
        return Move::Elsewhere;
    return m_written.moduleWord(ModuleTables::WordAddress)
                   != image.moduleWord(ModuleTables::WordAddress)
               ? Move::NewAddress
               : Move::None;
}

// The one place that says how a write ended.
WriteJob::Outcome WriteJob::decide() const
{
    using Result = TransferSequence::Result;
    if (m_writeResult == Result::Cancelled || m_check == Check::Cancelled)
        return Outcome::Cancelled;
    if (m_writeResult != Result::Completed)
        return m_refused ? Outcome::Refused : Outcome::Unconfirmed;
    switch (m_check) {
    case Check::Unreachable:
        return Outcome::Unconfirmed;
    case Check::Differs:
        return Outcome::VerifyFailed;
    default:
        return Outcome::Completed;
    }
}

void WriteJob::finish()
{
    m_running = false;
    m_followTimer.stop();
    m_outcome = decide();
    emit finished(m_outcome);
}

QVector<WriteReadBack::Difference> WriteJob::differences() const
{
    return m_check == Check::Equal || m_check == Check::Differs
               ? m_transfer->differences()
               : QVector<WriteReadBack::Difference>();
}

ModuleTables WriteJob::held() const
{
    ModuleTables held = m_before;
    const bool readBack = m_check == Check::Equal || m_check == Check::Differs;
    for (const ModbusRequest &request : m_confirmed) {
        const QModbusDataUnit &unit = request.unit;
        if (readBack && !m_transfer->readBack().isRead(unit.registerType(), unit.startAddress()))
            continue;
        RegisterBlocks::storeRegister(unit.registerType(), unit.startAddress(), unit.value(0),
                                      &held);
    }
    for (const WriteReadBack::Difference &difference : differences())
        RegisterBlocks::storeRegister(difference.registerType, difference.address, difference.read,
                                      &held);
    return held;
}

QString WriteJob::verifyReport(int maxLines) const
{
    return m_transfer->verifyReport(maxLines);
}
