#include "unitlink.h"

#include <codes.h>

#include <QModbusRtuSerialMaster>
#include <QModbusTcpClient>
#include <QNetworkProxy>
#include <QTcpSocket>

namespace {

constexpr int TcpTimeoutMs = 500;
constexpr int TcpRetries = 3;
constexpr int SerialRetries = 1;
constexpr int ExtraDelayTimeoutMs = 1000;
constexpr int ExtraDelayRetries = 3;
constexpr int SerialStepMs = 100;
// A connection that has not come up by then is not coming.
constexpr int MinConnectWaitMs = 3000;

} // namespace

int LinkOptions::timeoutFor(const Target &target) const
{
    if (timeoutMs > 0)
        return timeoutMs;
    if (target.isTcp())
        return TcpTimeoutMs;
    if (extraDelay)
        return ExtraDelayTimeoutMs;
    // As the start window: 100 ms per step of its baud list below the fastest.
    int steps = baudRateList.size() + 1;
    for (int i = 0; i < baudRateList.size(); ++i) {
        if (target.baud >= baudRateList.at(i).toInt())
            steps = baudRateList.size() - i;
    }
    return steps * SerialStepMs;
}

int LinkOptions::retriesFor(const Target &target) const
{
    if (retries >= 0)
        return retries;
    if (target.isTcp())
        return TcpRetries;
    return extraDelay ? ExtraDelayRetries : SerialRetries;
}

UnitLink::UnitLink(const Target &target, const LinkOptions &options, QObject *parent)
    : QObject(parent)
    , m_target(target)
{
    if (target.isTcp()) {
        auto *tcp = new QModbusTcpClient(this);
        // A system proxy must never stand between the PC and the unit.
        if (auto *socket = tcp->findChild<QTcpSocket *>())
            socket->setProxy(QNetworkProxy::NoProxy);
        tcp->setConnectionParameter(QModbusDevice::NetworkAddressParameter, target.host);
        tcp->setConnectionParameter(QModbusDevice::NetworkPortParameter, target.port);
        m_client = tcp;
    } else {
        auto *rtu = new QModbusRtuSerialMaster(this);
        rtu->setConnectionParameter(QModbusDevice::SerialPortNameParameter, target.device);
        rtu->setConnectionParameter(QModbusDevice::SerialBaudRateParameter, target.baud);
        rtu->setConnectionParameter(QModbusDevice::SerialParityParameter, int(target.parity));
        rtu->setConnectionParameter(QModbusDevice::SerialDataBitsParameter, QSerialPort::Data8);
        rtu->setConnectionParameter(QModbusDevice::SerialStopBitsParameter, int(target.stopBits));
        m_client = rtu;
    }
    m_client->setTimeout(options.timeoutFor(target));
    m_client->setNumberOfRetries(options.retriesFor(target));

    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(
        qMax(MinConnectWaitMs, m_client->timeout() * (m_client->numberOfRetries() + 1)));
    connect(&m_connectTimer, &QTimer::timeout, this,
            [this] { fail(QStringLiteral("подключение не установлено за отведённое время")); });
    connect(m_client, &QModbusDevice::stateChanged, this, [this](QModbusDevice::State state) {
        if (state == QModbusDevice::ConnectedState && !m_reported) {
            m_reported = true;
            m_connectTimer.stop();
            emit opened();
        }
    });
    connect(m_client, &QModbusDevice::errorOccurred, this, [this](QModbusDevice::Error error) {
        if (error == QModbusDevice::ConnectionError
            && m_client->state() != QModbusDevice::ConnectedState)
            fail(m_client->errorString());
    });
}

UnitLink::~UnitLink()
{
    disconnect(m_client, nullptr, this, nullptr);
    close();
}

void UnitLink::open()
{
    m_reported = false;
    m_connectTimer.start();
    if (!m_client->connectDevice())
        fail(m_client->errorString());
}

void UnitLink::close()
{
    m_connectTimer.stop();
    if (m_client->state() != QModbusDevice::UnconnectedState)
        m_client->disconnectDevice();
}

void UnitLink::fail(const QString &text)
{
    if (m_reported)
        return;
    m_reported = true;
    m_connectTimer.stop();
    close();
    emit failed(text.isEmpty() ? QStringLiteral("нет подключения") : text);
}
