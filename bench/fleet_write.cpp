// SPDX-License-Identifier: GPL-3.0-or-later
// brkctl writing one configuration to 16 simulated units over TCP loopback
// with --jobs 16, against the same write to one unit: the fleet should take
// little longer than one unit. Also a read of one unit against the floor of
// its fixed pauses.
#include "processrun.h"
#include "registerblocks.h"
#include "transfersequence.h"
#include "unitsimfixture.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Units = 16;

struct Run
{
    int status = -1;
    qint64 ms = 0;
    QJsonObject json;
};

// Runs brkctl; the simulated units answer on this process's event loop meanwhile.
Run brkctl(const QStringList &arguments)
{
    const ProcessRun process = ProcessRun::run(QStringLiteral(BRKCTL_PATH), arguments, 120000);
    return {process.status, process.ms, QJsonDocument::fromJson(process.out.toUtf8()).object()};
}

QString target(const UnitSimFixture &sim)
{
    return QStringLiteral("tcp://127.0.0.1:%1?unit=1").arg(sim.port());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::vector<std::unique_ptr<UnitSimFixture>> sims;
    for (int i = 0; i < Units; ++i) {
        sims.push_back(std::make_unique<UnitSimFixture>());
        if (!sims.back()->start()) {
            std::fprintf(stderr, "fleet_write: a simulated unit does not start\n");
            return 1;
        }
    }
    QTemporaryDir dir;
    const QString file = dir.filePath("default.brcf");
    const Run read = brkctl({"read", target(*sims.front()), "-o", file, "--json"});
    if (read.status != 0) {
        std::fprintf(stderr, "fleet_write: brkctl read failed (%d)\n", read.status);
        return 1;
    }
    ModuleTables tables;
    QVector<quint16> block;
    for (int i = 0; i < ModuleTables::ModuleBlockSize; ++i)
        block << quint16(sims.front()->reg(1, QModbusDataUnit::HoldingRegisters, 2000 + i));
    tables.setModuleTable(block);
    const qint64 readFloor
        = RegisterBlocks::channelReadRequests(tables, 1).size() * TransferSequence::ReadPauseMs;
    const qint64 readMs
        = read.json.value("units").toArray().at(0).toObject().value("elapsedMs").toInt();
    std::printf("read: %lld ms, pause floor %lld ms, ratio %.3f\n", static_cast<long long>(readMs),
                static_cast<long long>(readFloor), double(readMs) / double(readFloor));

    // The same work for one unit as for each of the fleet: link words kept.
    const Run one = brkctl({"write", target(*sims.front()), file, "--keep-link", "--json"});
    QStringList fleet{"write"};
    for (const auto &sim : sims)
        fleet << target(*sim);
    fleet << file << "--jobs" << QString::number(Units) << "--json";
    const Run all = brkctl(fleet);
    if (one.status != 0 || all.status != 0) {
        std::fprintf(stderr, "fleet_write: a write failed (%d, %d)\n", one.status, all.status);
        return 1;
    }
    std::printf("fleet write: %lld ms, one unit %lld ms, ratio %.3f\n",
                static_cast<long long>(all.ms), static_cast<long long>(one.ms),
                double(all.ms) / double(one.ms));
    return 0;
}
