// SPDX-License-Identifier: GPL-3.0-or-later
#include "benchsupport.h"

#include "mainwindow.h"
#include "modeflags.h"
#include "processsetup.h"
#include "simtcpserver.h"
#include "unitsimfixture.h"

#include <QLoggingCategory>
#include <QModbusTcpClient>
#include <QTest>
#include <QWidget>

#include <cstdio>

// Outside any namespace: the resource functions are global.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(icons);
}

BenchSupport::BeforeApplication::BeforeApplication(const char *argv0)
{
    ProcessSetup::beforeApplication(argv0);
}

BenchSupport::Application::Application(int &argc, char **argv)
    : BeforeApplication(argv[0])
    , QApplication(argc, argv)
{
    initResources();
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
}

bool BenchSupport::savePicture(QWidget *widget, const QString &path)
{
    const bool ok = widget->grab().save(path);
    std::printf("%s %s\n", ok ? "Saved" : "Could not save", qPrintable(path));
    return ok;
}

std::unique_ptr<MainWindow> BenchSupport::openOnline(const UnitSimFixture &sim,
                                                     QModbusTcpClient *client)
{
    client->setConnectionParameter(QModbusDevice::NetworkAddressParameter, sim.host());
    client->setConnectionParameter(QModbusDevice::NetworkPortParameter, sim.port());
    client->setTimeout(500);
    if (!client->connectDevice()
        || !QTest::qWaitFor([&] { return client->state() == QModbusDevice::ConnectedState; }, 5000))
        return nullptr;
    QVector<quint16> block;
    for (int i = 0; i < ModuleTables::ModuleBlockSize; ++i)
        block << quint16(sim.reg(1, QModbusDataUnit::HoldingRegisters, 2000 + i));
    ModuleTables tables;
    tables.setModuleTable(block);
    auto window = std::make_unique<MainWindow>(ModeOnline | ModeTcp, tables, client);
    window->resize(1280, 760);
    window->show();
    if (!QTest::qWaitFor([&] { return window->deviceModule() != nullptr; }, 10000))
        return nullptr;
    return window;
}

BenchSupport::StallMeter::StallMeter()
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(1);
    connect(&m_timer, &QTimer::timeout, this, [this]() {
        const qint64 now = m_clock.nsecsElapsed();
        if (now - m_lastNs > m_longestNs) {
            m_longestNs = now - m_lastNs;
            m_longestAtNs = now;
        }
        m_lastNs = now;
    });
}

void BenchSupport::StallMeter::start()
{
    m_clock.start();
    m_lastNs = 0;
    m_longestNs = 0;
    m_timer.start();
}

BenchSupport::UnitThread::UnitThread(bool frozen, bool keepLog, QList<SimUnitConfig> units)
    : m_frozen(frozen)
    , m_keepLog(keepLog)
    , m_units(std::move(units))
{}

void BenchSupport::UnitThread::aim(QModbusTcpClient *client, int timeoutMs, int retries) const
{
    client->setConnectionParameter(QModbusDevice::NetworkAddressParameter,
                                   QStringLiteral("127.0.0.1"));
    client->setConnectionParameter(QModbusDevice::NetworkPortParameter, m_port);
    client->setTimeout(timeoutMs);
    client->setNumberOfRetries(retries);
}

bool BenchSupport::UnitThread::startServing()
{
    start();
    m_ready.acquire();
    return m_port != 0;
}

void BenchSupport::UnitThread::run()
{
    SimBus bus;
    for (const SimUnitConfig &unit : m_units)
        bus.addUnit(unit, m_frozen);
    bus.log().setKeepInMemory(m_keepLog);
    SimTcpServer server(&bus);
    QString error;
    if (server.listen(QHostAddress::LocalHost, 0, &error))
        m_port = server.serverPort();
    else
        std::fprintf(stderr, "%s\n", qPrintable(error));
    m_ready.release();
    if (m_port)
        exec();
    m_records = bus.log().records();
}
