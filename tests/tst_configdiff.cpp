// SPDX-License-Identifier: GPL-3.0-or-later
// Parameters by their tree path and the parameter-level comparison of two
// configurations, on modules built by hand.

#include "channel.h"
#include "configdiff.h"
#include "module.h"
#include "parametertree.h"
#include "submodule.h"

#include <QtTest>

using Boards = QVector<QPair<int, int>>;        // board type, slot
using Edits = QVector<QPair<QString, QString>>; // path, value
Q_DECLARE_METATYPE(Boards)
Q_DECLARE_METATYPE(Edits)

namespace {

std::unique_ptr<Module> moduleWith(const Boards &boards, const Edits &edits = {})
{
    auto module = std::make_unique<Module>(1);
    for (const auto &board : boards)
        module->createSubmodule(board.first)->setValue(SubmoduleParam::Slot, board.second);
    for (const auto &edit : edits) {
        QString error;
        if (!ParameterTree::set(*module, edit.first, edit.second, &error))
            qWarning() << error;
    }
    return module;
}

QString valueAt(const Module &module, const QString &path)
{
    QString error;
    const QVector<ParameterTree::Entry> entries = ParameterTree::entries(module);
    const ParameterTree::Entry *entry = ParameterTree::find(entries, path, &error);
    return entry ? entry->displayText() : error;
}

} // namespace

class TestConfigDiff : public QObject
{
    Q_OBJECT

private slots:
    void set_data();
    void set();
    void compare_data();
    void compare();
};

void TestConfigDiff::set_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("shown"); // the value afterwards, or the start of the message

    const QString limit = "Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел";
    QTest::newRow("limit by full path") << limit << "4" << true << "4.000";
    QTest::newRow("limit by its tail, comma")
        << "субмодуль ai (слот b)/аналоговый вход 2/нижний предел"
        << "-2,5" << true << "-2.500";
    QTest::newRow("limit out of range")
        << limit << "1000.5" << false << "«" + limit + "»: недопустимое значение «1000.5»";
    QTest::newRow("ambiguous tail") << "Нижний предел"
                                    << "1" << false << "путь «Нижний предел»";
    QTest::newRow("no such path") << "Модуль / Пароль"
                                  << "1" << false << "нет параметра";
    QTest::newRow("signal type by text")
        << "Субмодуль AI (Слот A) / Аналоговый вход 1 / Тип сигнала"
        << "Ток 4-20мА" << true << "Ток 4-20мА";
    QTest::newRow("temperature list starts at 4") << "Вход термосопротивлений 1 / Тип сигнала"
                                                  << "1" << false << "«";
    QTest::newRow("address 0 is broadcast") << "Адрес MODBUS"
                                            << "0" << false << "«";
    QTest::newRow("firmware is read-only") << "Версия ПО"
                                           << "3" << false << "«";
    QTest::newRow("IP") << "IP-адрес"
                        << "10.20.30.40" << true << "10.20.30.40";
    QTest::newRow("DO lock value") << "Дискретный выход 1 / Блокировочное значение"
                                   << "Вкл" << true << "Вкл";
}

void TestConfigDiff::set()
{
    QFETCH(QString, path);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(QString, shown);

    auto module = moduleWith({{4, 0}, {4, 1}, {7, 2}, {1, 3}});
    const QVector<ParameterTree::Entry> before = ParameterTree::entries(*module);
    QString error;
    QCOMPARE(ParameterTree::set(*module, path, text, &error), accepted);
    if (accepted) {
        QCOMPARE(valueAt(*module, path), shown);
        return;
    }
    QVERIFY2(error.startsWith(shown), qPrintable(error));
    // A refused value changes nothing.
    const QVector<ParameterTree::Entry> after = ParameterTree::entries(*module);
    for (int i = 0; i < before.size(); ++i)
        QCOMPARE(after.at(i).displayText(), before.at(i).displayText());
}

void TestConfigDiff::compare_data()
{
    QTest::addColumn<Boards>("leftBoards");
    QTest::addColumn<Boards>("rightBoards");
    QTest::addColumn<Edits>("rightEdits");
    QTest::addColumn<bool>("ignoreLink");
    QTest::addColumn<QStringList>("expected");

    const Boards two{{4, 0}, {4, 1}};
    QTest::newRow("same") << two << two << Edits{} << false << QStringList{};
    QTest::newRow("changed limit")
        << two << two << Edits{{"Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел", "4"}}
        << false
        << QStringList{"Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел: 0.000 → 4.000"};
    QTest::newRow("link words shown")
        << two << two << Edits{{"IP-адрес", "10.0.0.2"}, {"Скорость, бит/с", "19200"}} << false
        << QStringList{"Модуль / Скорость, бит/с: 1200 → 19200",
                       "Модуль / IP-адрес: 0.0.0.0 → 10.0.0.2"};
    QTest::newRow("link words left out")
        << two << two
        << Edits{{"IP-адрес", "10.0.0.2"}, {"Адрес MODBUS", "7"}, {"Задержка ответа, мс", "5"}}
        << true << QStringList{"Модуль / Задержка ответа, мс: 0 → 5"};
    // A board in another slot is a difference of both slots, not of every channel.
    QTest::newRow("board moved") << two << Boards{{4, 0}, {4, 2}} << Edits{} << false
                                 << QStringList{"Слот B: Субмодуль AI → пусто",
                                                "Слот C: пусто → Субмодуль AI"};
    QTest::newRow("other board") << Boards{{6, 0}} << Boards{{10, 0}} << Edits{} << false
                                 << QStringList{"Слот A: Субмодуль DI → Субмодуль DI6"};
}

void TestConfigDiff::compare()
{
    QFETCH(Boards, leftBoards);
    QFETCH(Boards, rightBoards);
    QFETCH(Edits, rightEdits);
    QFETCH(bool, ignoreLink);
    QFETCH(QStringList, expected);

    auto left = moduleWith(leftBoards);
    auto right = moduleWith(rightBoards, rightEdits);
    ConfigDiff::Options options;
    options.ignoreLink = ignoreLink;
    QStringList found;
    for (const ConfigDiff::Difference &difference : ConfigDiff::compare(*left, *right, options))
        found << difference.toString();
    QCOMPARE(found, expected);
}

QTEST_MAIN(TestConfigDiff)
#include "tst_configdiff.moc"
