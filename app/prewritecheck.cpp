// SPDX-License-Identifier: GPL-3.0-or-later
#include "prewritecheck.h"

#include <module.h>
#include <parametertree.h>
#include <property.h>
#include <registerblocks.h>

#include <QMessageBox>
#include <QPushButton>

namespace {

const QString WarningTitle = QStringLiteral("Внимание");
constexpr int ShownValues = 5;

// Link rows of `module` that differ from `unit` and hold what the file brought.
QStringList fileLinkPaths(const Module &unit, const Module &module,
                          const QMap<QString, QString> &loaded)
{
    const QMap<QString, QString> own = PreWriteCheck::linkTexts(unit);
    QStringList paths; // in the tree's order
    for (const ParameterTree::Entry &entry : ParameterTree::entries(module)) {
        const QString now = entry.displayText();
        if (entry.link && own.contains(entry.path) && own.value(entry.path) != now
            && loaded.value(entry.path) == now)
            paths << entry.path;
    }
    return paths;
}

void takeUnitsLink(const Module &unit, Module &module, const QStringList &paths)
{
    const QMap<QString, QString> own = PreWriteCheck::linkTexts(unit);
    for (const QString &path : paths) {
        QString error;
        ParameterTree::set(module, path, own.value(path), &error);
    }
    // What the unit holds is no edit.
    for (Property *p : module.properties()) {
        if (ModuleTables::isLinkWord(Module::wordOf(p->name())))
            p->setChanged(false);
    }
}

// The words a link row is written to.
QVector<int> wordsOf(const QString &name)
{
    static const QHash<QString, QVector<int>> words{
        {ModuleParam::Address, {ModuleTables::WordAddress}},
        {ModuleParam::BaudRate, {ModuleTables::WordPort}},
        {ModuleParam::Parity, {ModuleTables::WordPort}},
        {ModuleParam::IpAddress, {ModuleTables::WordIp1, ModuleTables::WordIp2}},
        {ModuleParam::Mask, {ModuleTables::WordMask1, ModuleTables::WordMask2}},
        {ModuleParam::Gateway, {ModuleTables::WordGate1, ModuleTables::WordGate2}}};
    return words.value(name);
}

} // namespace

QMap<QString, QString> PreWriteCheck::linkTexts(const Module &module)
{
    QMap<QString, QString> texts;
    for (const ParameterTree::Entry &entry : ParameterTree::entries(module)) {
        if (entry.link)
            texts.insert(entry.path, entry.displayText());
    }
    return texts;
}

QSet<int> PreWriteCheck::keptRegisters(const Module &unit, const Module &module)
{
    QSet<int> kept = RegisterBlocks::linkRegisters();
    const QMap<QString, QString> own = linkTexts(unit);
    for (const ParameterTree::Entry &entry : ParameterTree::entries(module)) {
        if (!entry.link || own.value(entry.path) == entry.displayText())
            continue;
        for (const int word : wordsOf(entry.name))
            kept.remove(RegisterBlocks::ModuleBlockStart + word);
    }
    return kept;
}

bool PreWriteCheck::refuseBadValues(QWidget *parent, const Module &module, const Module *unit)
{
    const QStringList bad = ParameterTree::badValues(module, unit);
    if (bad.isEmpty())
        return false;
    QMessageBox box(QMessageBox::Warning, WarningTitle,
                    QStringLiteral("Запись отменена: недопустимые значения. Ничего не записано."),
                    QMessageBox::Ok, parent);
    box.setInformativeText(bad.mid(0, ShownValues).join(QLatin1Char('\n')));
    box.exec();
    return true;
}

PreWriteCheck::LinkAnswer PreWriteCheck::askFileLink(QWidget *parent, const Module &unit,
                                                     Module &module,
                                                     const QMap<QString, QString> &loaded)
{
    const QStringList paths = fileLinkPaths(unit, module, loaded);
    if (paths.isEmpty())
        return LinkAnswer::Unasked;
    const QMap<QString, QString> own = linkTexts(unit);
    const QMap<QString, QString> now = linkTexts(module);
    QStringList lines;
    for (const QString &path : paths)
        lines << QStringLiteral("%1: %2 → %3")
                     .arg(path.section(QStringLiteral(" / "), -1), own.value(path),
                          now.value(path));
    QMessageBox box(QMessageBox::Question, WarningTitle,
                    QStringLiteral("Параметры связи в файле отличаются от модуля (в модуле → в "
                                   "файле):"),
                    QMessageBox::NoButton, parent);
    box.setInformativeText(lines.join(QLatin1Char('\n')));
    QPushButton *keep
        = box.addButton(QStringLiteral("Оставить параметры связи модуля"), QMessageBox::AcceptRole);
    QPushButton *fromFile
        = box.addButton(QStringLiteral("Записать из файла"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    box.setDefaultButton(keep);
    box.setEscapeButton(cancel);
    box.exec();
    // Closed by its default (Enter) or with no button at all: the unit's link stays.
    if (box.clickedButton() == fromFile)
        return LinkAnswer::FromFile;
    if (box.clickedButton() == cancel)
        return LinkAnswer::Cancel;
    takeUnitsLink(unit, module, paths);
    return LinkAnswer::Keep;
}
