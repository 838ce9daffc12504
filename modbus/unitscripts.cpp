// SPDX-License-Identifier: GPL-3.0-or-later
#include "unitscripts.h"

#include <codes.h>
#include <configdiff.h>
#include <configfile.h>
#include <module.h>
#include <parametertree.h>
#include <registerblocks.h>

#include <QJsonArray>

namespace {

constexpr int ShownMismatches = 5;

// The line settings a port word gives, in the words of a target.
QString serialSettingsOf(quint16 portWord)
{
    static const char *const parities[]
        = {"parity=none&stop=1", "parity=none&stop=2", "parity=even&stop=1", "parity=odd&stop=1"};
    const int baud = ModuleTables::baudCodeOf(portWord) - FirstBaudCode;
    const int parity = ModuleTables::parityCodeOf(portWord);
    return QStringLiteral("baud=%1&%2")
        .arg(baudRateList.value(baud, QStringLiteral("?")),
             QString::fromLatin1(parity < 4 ? parities[parity] : "parity=?"));
}

QString unreadText(const QStringList &blocks)
{
    QStringList texts;
    for (const QString &name : blocks)
        texts << RegisterBlocks::description(name);
    return texts.join(QStringLiteral("; "));
}

// A differing register with the parameters it holds: the ones that change when
// the written value is replaced by the one read back.
QString namedDifference(const WriteReadBack::Difference &difference, const ModuleTables &written)
{
    ModuleTables read = written;
    QStringList paths;
    if (RegisterBlocks::storeRegister(difference.registerType, difference.address, difference.read,
                                      &read)) {
        const std::unique_ptr<Module> expected = moduleFromTables(written);
        const std::unique_ptr<Module> found = moduleFromTables(read);
        for (const ConfigDiff::Difference &d : ConfigDiff::compare(*expected, *found))
            paths << d.path;
    }
    const QString text = WriteReadBack::differenceText(difference);
    return paths.isEmpty()
               ? text
               : paths.join(QStringLiteral(", ")) + QStringLiteral(" (") + text + QLatin1Char(')');
}

} // namespace

void UnitScripts::readImage(UnitSession *unit,
                            const std::function<void(UnitSession *, const ModuleTables &)> &done)
{
    unit->open([unit, done] {
        unit->readImage(false, [unit, done](const ModuleTables &tables) { done(unit, tables); });
    });
}

void UnitScripts::writeFile(UnitSession *unit, const QString &path, const WriteOptions &options)
{
    unit->open([unit, path, options] {
        unit->readImage(true, [unit, path, options](const ModuleTables &tables) {
            const std::unique_ptr<Module> current = moduleFromTables(tables);
            const std::unique_ptr<Module> file = loadModule(path);
            // The same check the main window makes before it shows a file.
            const int code = current->compare(file.get());
            if (code != CompareMatch) {
                unit->result().data.insert(QStringLiteral("check"), code);
                unit->finish(StatusRefused,
                             fileCheckWarning(code) + QStringLiteral(". Ничего не записано."));
                return;
            }
            // A value the unit would refuse half-way must stop the write before it starts.
            // The port word is checked only where it is written.
            const QStringList bad
                = ParameterTree::badValues(*file, options.keepLink ? nullptr : current.get());
            if (!bad.isEmpty()) {
                unit->result().data.insert(QStringLiteral("badValues"),
                                           QJsonArray::fromStringList(bad));
                unit->finish(StatusRefused, bad.mid(0, ShownMismatches).join(QStringLiteral("; "))
                                                + QStringLiteral(". Ничего не записано."));
                return;
            }
            ModuleTables encoded = file->toTables(tables);
            QSet<int> kept;
            WriteOptions write = options;
            if (options.keepLink) {
                encoded = withLinkWordsOf(tables, encoded);
                kept = RegisterBlocks::linkRegisters();
                write.keptText = keptLinkText(*current, *file);
            }
            writeAndVerify(unit, encoded, tables, kept, write);
        });
    });
}

void UnitScripts::setValues(UnitSession *unit, const QVector<QPair<QString, QString>> &assignments,
                            const WriteOptions &options)
{
    unit->open([unit, assignments, options] {
        unit->readImage(true, [unit, assignments, options](const ModuleTables &tables) {
            const std::unique_ptr<Module> module = moduleFromTables(tables);
            for (const auto &assignment : assignments) {
                QString error;
                if (!ParameterTree::set(*module, assignment.first, assignment.second, &error)) {
                    unit->finish(StatusUsage, error + QStringLiteral(". Ничего не записано."));
                    return;
                }
            }
            WriteOptions changed = options;
            changed.changedOnly = true;
            changed.action = QStringLiteral("set");
            writeAndVerify(unit, module->toTables(tables), tables, {}, changed);
        });
    });
}

void UnitScripts::reset(UnitSession *unit, const JournalPlace &journal)
{
    unit->open([unit, journal] {
        unit->readModuleBlock(true, [unit, journal](const QVector<quint16> &block) {
            if (unit->refuseIfJumper(block))
                return;
            UnitJournal::watchReset(unit, block, journal);
            unit->reset(
                [unit] { unit->finish(StatusOk, QStringLiteral("конфигурация модуля сброшена")); });
        });
    });
}

void UnitScripts::writeAndVerify(UnitSession *unit, const ModuleTables &encoded,
                                 const ModuleTables &before, const QSet<int> &kept,
                                 const WriteOptions &options)
{
    const int address = encoded.moduleWord(ModuleTables::WordAddress);
    if (options.force || address == before.moduleWord(ModuleTables::WordAddress)) {
        startWrite(unit, encoded, before, kept, options);
        return;
    }
    // Two units at one address collide on every request to it.
    unit->probeAddress(address, [=](bool answered) {
        if (!answered) {
            startWrite(unit, encoded, before, kept, options);
            return;
        }
        unit->finish(StatusRefused,
                     QStringLiteral("адрес %1 уже занят: там отвечает другое устройство. Ничего не "
                                    "записано; --force — записать всё равно")
                         .arg(address));
    });
}

void UnitScripts::startWrite(UnitSession *unit, const ModuleTables &encoded,
                             const ModuleTables &before, const QSet<int> &kept,
                             const WriteOptions &options)
{
    unit->result().data.insert(QStringLiteral("keptLinkWords"), !kept.isEmpty());
    UnitJournal::watchWrite(unit, before, encoded, options.action, options.journal);
    WriteJob::Options job;
    job.mode = options.changedOnly ? TransferSequence::WriteMode::ChangedOnly
                                   : TransferSequence::WriteMode::All;
    job.kept = kept;
    job.verify = true;
    job.followMs = options.switchOverMs;
    const Target target = unit->target();
    unit->write(encoded, before, job, [=](int written) {
        QJsonObject &data = unit->result().data;
        data.insert(QStringLiteral("written"), written);
        QString done = written == 0
                           ? QStringLiteral("нечего записывать: модуль уже хранит эти значения")
                           : QStringLiteral("записано регистров: %1").arg(written);
        if (!options.keptText.isEmpty())
            done += QStringLiteral("; оставлены параметры связи модуля: ") + options.keptText;
        else if (!kept.isEmpty())
            done += QStringLiteral("; адрес, порт, IP-адрес, маска и шлюз модуля не записывались");
        if (written == 0) {
            unit->finish(StatusOk, done);
            return;
        }
        const WriteJob::Move move = unit->writeJob().move();
        QString where;
        if (move != WriteJob::Move::None) {
            where = movedTarget(target, encoded, move);
            data.insert(QStringLiteral("movedTo"), where);
        }
        report(unit, done, where, encoded);
    });
}

void UnitScripts::report(UnitSession *unit, const QString &written, const QString &movedTo,
                         const ModuleTables &encoded)
{
    const WriteJob &job = unit->writeJob();
    QJsonObject &data = unit->result().data;
    data.insert(QStringLiteral("verified"), job.verified());
    if (job.verified()) {
        const QString moved
            = movedTo.isEmpty()
                  ? QString()
                  : QStringLiteral("; модуль теперь отвечает по адресу %1").arg(movedTo);
        unit->finish(StatusOk, written + moved + QStringLiteral(", проверено чтением"));
        return;
    }
    QStringList wrong;
    for (const WriteReadBack::Difference &difference : job.differences())
        wrong << namedDifference(difference, encoded);
    if (job.move() == WriteJob::Move::Elsewhere && wrong.isEmpty()) {
        // New line settings or IP address: the old link cannot reach the unit, so nothing was
        // tried there.
        unit->finish(StatusUnconfirmed,
                     written
                         + QStringLiteral("; параметры связи записаны: модуль должен отвечать по "
                                          "адресу %1, а по прежним запись не проверить: проверьте "
                                          "её командой brkctl diff с новым адресом")
                               .arg(movedTo));
        return;
    }
    if (!movedTo.isEmpty() && wrong.isEmpty()) {
        // The unit took a new address and did not answer there.
        unit->finish(StatusUnconfirmed,
                     written
                         + QStringLiteral("; адрес записан: модуль должен отвечать по адресу %1, "
                                          "но проверить запись там не удалось: проверьте её "
                                          "командой brkctl diff с новым адресом")
                               .arg(movedTo));
        return;
    }
    const QString done = movedTo.isEmpty()
                             ? written
                             : written + QStringLiteral("; адрес записан: %1").arg(movedTo);
    if (wrong.isEmpty()) {
        unit->finish(StatusNoAnswer,
                     done
                         + QStringLiteral("; проверка чтением не выполнена, не считаны %1: "
                                          "проверьте её командой brkctl diff")
                               .arg(unreadText(job.unreadBlocks())));
        return;
    }
    data.insert(QStringLiteral("mismatches"), QJsonArray::fromStringList(wrong));
    unit->finish(StatusUnconfirmed,
                 done
                     + QStringLiteral("; проверка чтением не прошла, не совпадает: %1 (%2). "
                                      "Повторите запись; если не поможет, модуль не "
                                      "принимает эти значения")
                           .arg(wrong.size())
                           .arg(wrong.mid(0, ShownMismatches).join(QStringLiteral("; "))));
}

QString UnitScripts::movedTarget(Target target, const ModuleTables &written, WriteJob::Move move)
{
    target.unit = written.moduleWord(ModuleTables::WordAddress);
    if (move != WriteJob::Move::Elsewhere)
        return target.toString();
    if (target.isTcp()) {
        target.host = ModuleTables::wordsToDotted(written.moduleWord(ModuleTables::WordIp1),
                                                  written.moduleWord(ModuleTables::WordIp2));
        return target.toString();
    }
    return QStringLiteral("rtu:%1?%2&unit=%3")
        .arg(target.device, serialSettingsOf(written.moduleWord(ModuleTables::WordPort)))
        .arg(target.unit);
}

QString UnitScripts::keptLinkText(const Module &unit, const Module &file)
{
    QStringList kept;
    for (const ConfigDiff::Difference &d : ConfigDiff::compare(unit, file)) {
        if (d.link)
            kept << QStringLiteral("%1 %2 (в файле %3)")
                        .arg(d.path.section(QStringLiteral(" / "), -1), d.left, d.right);
    }
    return kept.join(QStringLiteral(", "));
}

ModuleTables UnitScripts::withLinkWordsOf(const ModuleTables &unit, ModuleTables encoded)
{
    QVector<quint16> block = encoded.moduleTable();
    const QVector<quint16> own = unit.moduleTable();
    for (const int word : ModuleTables::LinkWords) {
        if (word < block.size() && word < own.size())
            block[word] = own.at(word);
    }
    encoded.setModuleTable(block);
    return encoded;
}
