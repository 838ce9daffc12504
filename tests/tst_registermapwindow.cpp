// SPDX-License-Identifier: GPL-3.0-or-later
// The register map window on modules built by hand: which tables show, what
// their rows say and how tall the window gets.

#include "channel.h"
#include "module.h"
#include "registermap.h"
#include "registertabwidget.h"
#include "registermapwindow.h"
#include "submodule.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QtTest>

using Boards = QVector<QPair<int, int>>; // board type, slot
Q_DECLARE_METATYPE(Boards)

namespace {

std::unique_ptr<Module> moduleWith(const Boards &boards)
{
    auto module = std::make_unique<Module>(1);
    for (const auto &board : boards)
        module->createSubmodule(board.first)->setValue(SubmoduleParam::Slot, board.second);
    return module;
}

// "title | function | register | description | format", one line per row of
// every table that is shown; a text its column cuts ends in "…".
QStringList shownRows(const RegisterMapWindow &window)
{
    QStringList rows;
    for (const RegisterTabWidget *table : window.tables()) {
        if (table->isHidden())
            continue;
        const QTableWidget *view = table->table();
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells{table->title()};
            for (int c = 0; c < 4; ++c) {
                const QString text = view->item(r, c)->text();
                const int width = view->fontMetrics().horizontalAdvance(text);
                cells << (width < view->columnWidth(c) ? text : text + "…");
            }
            rows << cells.join(QStringLiteral(" | "));
        }
    }
    return rows;
}

} // namespace

class TestRigestersMapWindow : public QObject
{
    Q_OBJECT

private slots:
    void rowsAndHeight_data();
    void rowsAndHeight();
};

void TestRigestersMapWindow::rowsAndHeight_data()
{
    QTest::addColumn<Boards>("boards");
    QTest::addColumn<int>("float32Channel");   // index of an analog input set to FLOAT32, -1: none
    QTest::addColumn<QStringList>("expected"); // empty: as the shared rows say
    QTest::addColumn<bool>("capped");

    // Boards added by hand out of slot order: listed by slot, registers
    // from the global numbers, which follow the order the boards were added.
    QTest::newRow("boards added out of slot order")
        << Boards{{7, 3}, {4, 0}, {9, 1}} << 1
        << QStringList{
               "Аналоговые входы | 4 | 4 | Слот A: субмодуль AI, канал 1 | Int16",
               "Аналоговые входы | 4 | 6 | Слот A: субмодуль AI, канал 2 | Float32",
               "Аналоговые входы | 4 | 8 | Слот A: субмодуль AI, канал 3 | Int16",
               "Аналоговые входы | 4 | 10 | Слот A: субмодуль AI, канал 4 | Int16",
               "Температурные входы | 4 | 0 | Слот D: субмодуль TMP, канал 1 | Int16",
               "Температурные входы | 4 | 2 | Слот D: субмодуль TMP, канал 2 | Int16",
           }
        << false;
    QTest::newRow("six DO6 stop at 800")
        << Boards{{8, 0}, {8, 1}, {8, 2}, {8, 3}, {8, 4}, {8, 5}} << -1 << QStringList{} << true;
}

void TestRigestersMapWindow::rowsAndHeight()
{
    QFETCH(Boards, boards);
    QFETCH(int, float32Channel);
    QFETCH(QStringList, expected);
    QFETCH(bool, capped);

    auto module = moduleWith(boards);
    if (float32Channel >= 0) {
        Channel *channel = module->submodules().first()->channels().at(float32Channel);
        channel->setValue(ChannelParam::DataFormat, 1);
    }
    RegisterMapWindow window(module.get(), nullptr);
    // The rows the command line and the exports print are the window's rows.
    QStringList shared;
    for (const RegisterMapRow &row : registerMapRows(*module))
        shared << QStringList{registerMapTitles().at(row.table), QString::number(row.function),
                              QString::number(row.address), row.description, row.format}
                      .join(QStringLiteral(" | "));
    QCOMPARE(shownRows(window), shared);
    QVERIFY(expected.isEmpty() || shared == expected);
    QCOMPARE(window.tables().size(), 8);
    QVERIFY(window.tables().at(6)->isHidden()); // "Регистры антидребезга" never gets rows

    // As tall as the tables need, up to 800.
    QCOMPARE(window.height() == 800, capped);
    QVERIFY(window.height() <= 800);

    // In a window wide enough for its tables, that can be maximised.
    QVERIFY(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    window.show();
    QTRY_VERIFY(window.findChild<QScrollArea *>()->horizontalScrollBar()->maximum() == 0);
}

QTEST_MAIN(TestRigestersMapWindow)
#include "tst_registermapwindow.moc"
