#include "unitscripts.h"

#include <codes.h>
#include <configfile.h>
#include <module.h>
#include <parametertree.h>
#include <registerblocks.h>

#include <QJsonArray>

namespace {

constexpr int ShownMismatches = 5;

const int linkWords[]
    = {ModuleTables::WordAddress, ModuleTables::WordPort,  ModuleTables::WordIp1,
       ModuleTables::WordIp2,     ModuleTables::WordMask1, ModuleTables::WordMask2,
       ModuleTables::WordGate1,   ModuleTables::WordGate2};

QString hex(quint16 value)
{
    return QStringLiteral("0x%1").arg(value, 4, 16, QLatin1Char('0'));
}

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
            ModuleTables encoded = file->toTables(tables);
            QSet<int> kept;
            if (options.keepLink) {
                encoded = withLinkWordsOf(tables, encoded);
                kept = linkRegisters();
            }
            writeAndVerify(unit, encoded, tables, kept, options);
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
    unit->result().data.insert(QStringLiteral("keptLinkWords"), !kept.isEmpty());
    UnitJournal::watchWrite(unit, before, encoded, options.action, options.journal);
    unit->write(encoded, before, options.changedOnly, kept, [=](int written) {
        QJsonObject &data = unit->result().data;
        data.insert(QStringLiteral("written"), written);
        QString done = written == 0
                           ? QStringLiteral("нечего записывать: модуль уже хранит эти значения")
                           : QStringLiteral("записано регистров: %1").arg(written);
        if (!kept.isEmpty())
            done += QStringLiteral("; адрес, порт, IP-адрес, маска и шлюз модуля не записывались");
        if (written == 0) {
            unit->finish(StatusOk, done);
            return;
        }

        // Where the unit answers once it has taken the new link words.
        const quint16 oldAddress = before.moduleWord(ModuleTables::WordAddress);
        const quint16 newAddress = encoded.moduleWord(ModuleTables::WordAddress);
        const quint16 newPort = encoded.moduleWord(ModuleTables::WordPort);
        Target moved = unit->target();
        moved.unit = newAddress;
        bool reachable = true;
        if (moved.isTcp()) {
            const QString ip
                = ModuleTables::wordsToDotted(encoded.moduleWord(ModuleTables::WordIp1),
                                              encoded.moduleWord(ModuleTables::WordIp2));
            if (ip
                != ModuleTables::wordsToDotted(before.moduleWord(ModuleTables::WordIp1),
                                               before.moduleWord(ModuleTables::WordIp2))) {
                moved.host = ip;
                reachable = false;
            }
        } else if (newPort != before.moduleWord(ModuleTables::WordPort)) {
            reachable = false;
        }
        const bool addressChanged = newAddress != oldAddress;
        if (!reachable || addressChanged) {
            QString where = moved.toString();
            if (!moved.isTcp() && !reachable)
                where = QStringLiteral("rtu:%1?%2&unit=%3")
                            .arg(moved.device, serialSettingsOf(newPort))
                            .arg(newAddress);
            data.insert(QStringLiteral("movedTo"), where);
            done += QStringLiteral("; модуль теперь отвечает по адресу %1").arg(where);
        }
        if (!reachable) {
            unit->finish(StatusUnconfirmed,
                         done
                             + QStringLiteral("; проверить запись там не удалось: проверьте её "
                                              "командой brkctl diff с новым адресом"));
            return;
        }
        if (!addressChanged) {
            verify(unit, encoded, done);
            return;
        }
        // The unit takes its new address a moment after the last module write.
        unit->after(options.switchOverMs, [=] {
            unit->setUnit(newAddress);
            verify(unit, encoded, done);
        });
    });
}

void UnitScripts::verify(UnitSession *unit, const ModuleTables &encoded, const QString &done)
{
    unit->readImage(false, [unit, encoded, done](const ModuleTables &readBack) {
        const QStringList wrong = mismatches(encoded, readBack);
        unit->result().data.insert(QStringLiteral("verified"), wrong.isEmpty());
        if (wrong.isEmpty()) {
            unit->finish(StatusOk, done + QStringLiteral(", проверено чтением"));
            return;
        }
        unit->result().data.insert(QStringLiteral("mismatches"), QJsonArray::fromStringList(wrong));
        unit->finish(StatusUnconfirmed,
                     done
                         + QStringLiteral("; проверка чтением не прошла, не совпадает: %1 (%2). "
                                          "Повторите запись; если не поможет, модуль не "
                                          "принимает эти значения")
                               .arg(wrong.size())
                               .arg(wrong.mid(0, ShownMismatches).join(QStringLiteral("; "))));
    });
}

QSet<int> UnitScripts::linkRegisters()
{
    QSet<int> registers;
    for (int word : linkWords)
        registers.insert(DiscoveryScanner::ModuleBlockStart + word);
    return registers;
}

ModuleTables UnitScripts::withLinkWordsOf(const ModuleTables &unit, ModuleTables encoded)
{
    QVector<quint16> block = encoded.moduleTable();
    const QVector<quint16> own = unit.moduleTable();
    for (int word : linkWords) {
        if (word < block.size() && word < own.size())
            block[word] = own.at(word);
    }
    encoded.setModuleTable(block);
    return encoded;
}

QStringList UnitScripts::mismatches(const ModuleTables &expected, const ModuleTables &readBack)
{
    QStringList found;
    for (int type = wT300; type <= wT2000; ++type) {
        if (!RegisterBlocks::isWriteBlock(type))
            continue;
        const QVector<quint16> wanted = RegisterBlocks::writeValues(type, expected);
        const QVector<quint16> held = RegisterBlocks::writeValues(type, readBack);
        const bool coils = RegisterBlocks::registerType(type) == QModbusDataUnit::Coils;
        for (int i = 0; i < wanted.size(); ++i) {
            if (i < held.size() && held.at(i) == wanted.at(i))
                continue;
            found << QStringLiteral("%1 %2: в модуле %3, записано %4")
                         .arg(coils ? QStringLiteral("катушка") : QStringLiteral("регистр"))
                         .arg(RegisterBlocks::startAddress(type) + i)
                         .arg(i < held.size() ? hex(held.at(i)) : QStringLiteral("нет"))
                         .arg(hex(wanted.at(i)));
        }
    }
    return found;
}
