// SPDX-License-Identifier: GPL-3.0-or-later
// The commissioning report: the HTML's channel tables against the parameter
// tree, the CSV against a golden file, the PDF through poppler's tools, and
// brkctl writing it for a file and for the simulated unit.

#include "processrun.h"
#include "unitsimfixture.h"

#include <codes.h>
#include <configfile.h>
#include <module.h>
#include <parametertree.h>
#include <report.h>
#include <reportprinter.h>
#include <reportwriter.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Edits = QMap<QString, QString>; // path -> value as typed

// A unit with the simulated unit's link settings and these boards in slots A..F.
std::unique_ptr<Module> unitWith(const QVector<int> &boards)
{
    auto module = std::make_unique<Module>(1);
    for (int slot = 0; slot < boards.size(); ++slot)
        module->placeSubmodule(boards.at(slot), slot);
    QString error;
    for (const auto &[path, value] : {std::pair{"Скорость, бит/с", "9600"},
                                      {"IP-адрес", "192.168.0.10"},
                                      {"Маска сети", "255.255.255.0"},
                                      {"Адрес шлюза", "192.168.0.1"}})
        if (!ParameterTree::set(*module, path, value, &error))
            qFatal("%s", qPrintable(error));
    return module;
}

std::unique_ptr<Module> sixBoardUnit()
{
    return unitWith(
        {SubmoduleAIO, SubmoduleAI, SubmoduleDI, SubmoduleTMP, SubmoduleDO6, SubmoduleDO4});
}

ReportInfo fixedInfo()
{
    return {QStringLiteral("Иванов И. И."), QDateTime(QDate(2026, 3, 2), QTime(9, 30)),
            QStringLiteral("1.0.0")};
}

// The cells of the HTML's tables as "board heading | row | column" -> value,
// with "*" before a value set in bold.
QMap<QString, QString> htmlCells(const QString &html)
{
    QMap<QString, QString> cells;
    QString heading;
    QStringList columns;
    static const QRegularExpression parts(
        QStringLiteral("<h3>([^<]*)</h3>|<thead><tr>(.*?)</tr></thead>|<tr>(<td.*?)</tr>"));
    static const QRegularExpression cell(QStringLiteral("<t[dh]( class=\"edited\")?>(?:<b>)?"
                                                        "([^<]*)(?:</b>)?</t[dh]>"));
    for (auto it = parts.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch part = it.next();
        QStringList texts;
        for (auto c = cell.globalMatch(part.captured(2) + part.captured(3)); c.hasNext();) {
            const QRegularExpressionMatch m = c.next();
            texts << (m.capturedLength(1) ? QStringLiteral("*") : QString()) + m.captured(2);
        }
        if (part.capturedLength(1))
            heading = part.captured(1);
        else if (part.capturedLength(2))
            columns = texts;
        for (int i = 1; part.capturedLength(3) && i < texts.size(); ++i)
            cells.insert(heading + " | " + texts.first() + " | " + columns.value(i), texts.at(i));
    }
    return cells;
}

QString pdfText(const QString &path, int page)
{
    return ProcessRun::run("pdftotext", {"-layout", "-f", QString::number(page), "-l",
                                         QString::number(page), path, "-"})
        .out;
}

int pdfPages(const QString &path)
{
    const QString info = ProcessRun::run("pdfinfo", {path}).out;
    return QRegularExpression("Pages:\\s+(\\d+)").match(info).captured(1).toInt();
}

} // namespace

Q_DECLARE_METATYPE(Report)

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void html_holdsEveryChannelSettingAndBoldsTheEdited_data();
    void html_holdsEveryChannelSettingAndBoldsTheEdited();
    void csv_matchesGoldenFile();
    void pdf_hasTitleBlockBoardsAndPages();
    void pdf_cutsNoRow_data();
    void pdf_cutsNoRow();
    void plant_contentsThenAPageForEachUnit();
    void brkctl_writesTheReport_data();
    void brkctl_writesTheReport();

private:
    QTemporaryDir m_dir;
};

void TestReport::html_holdsEveryChannelSettingAndBoldsTheEdited_data()
{
    QTest::addColumn<Edits>("edits");
    QTest::newRow("default unit") << Edits();
    QTest::newRow("file with edits")
        << Edits{{"Субмодуль AI (Слот B) / Аналоговый вход 2 / Нижний предел", "4"},
                 {"Субмодуль AIO (Слот A) / Аналоговый выход 1 / Блокировочное значение", "12.5"},
                 {"Субмодуль TMP (Слот D) / Вход термосопротивлений 2 / Формат данных", "FLOAT32"},
                 {"Субмодуль DO6 (Слот E) / Дискретный выход 3 / Значение ШИМ", "50"},
                 {"Субмодуль DI (Слот C) / Дискретный вход 4 / Антидребезг", "Вкл"}};
}

void TestReport::html_holdsEveryChannelSettingAndBoldsTheEdited()
{
    QFETCH(Edits, edits);
    std::unique_ptr<Module> edited = sixBoardUnit();
    QString error;
    for (auto it = edits.cbegin(); it != edits.cend(); ++it)
        QVERIFY2(ParameterTree::set(*edited, it.key(), it.value(), &error), qPrintable(error));
    const QString path = m_dir.filePath(QStringLiteral("edited.brcf"));
    QVERIFY(saveJsonObject(edited->toJson(), path));
    const std::unique_ptr<Module> module = loadModule(path, &error);
    QVERIFY2(module, qPrintable(error));

    const QMap<QString, QString> cells
        = htmlCells(reportHtml(unitReport(*module, {}, fixedInfo())));
    int channelSettings = 0;
    for (const ParameterTree::Entry &entry : ParameterTree::entries(*module)) {
        if (entry.slot < 0)
            continue;
        ++channelSettings;
        const QStringList parts = entry.path.split(" / ");
        const QString heading = QStringLiteral("Слот %1: субмодуль %2")
                                    .arg(slotLetter(entry.slot), parts.first().section(' ', 1, 1));
        const QString key = heading + " | " + parts.at(1) + " | " + entry.name;
        const QString mark = edits.contains(entry.path) ? QStringLiteral("*") : QString();
        QCOMPARE(cells.value(key, "missing: " + key), mark + entry.displayTextWithUnits());
    }
    QCOMPARE(cells.keys().filter(QRegularExpression("^Слот .: субмодуль")).size(), channelSettings);
    QCOMPARE(cells.values().filter(QRegularExpression("^\\*")).size(), edits.size());
}

void TestReport::csv_matchesGoldenFile()
{
    const Report report
        = unitReport(*sixBoardUnit(), QStringLiteral("Насосная, шкаф 1"), fixedInfo());
    QFile golden(QStringLiteral(BRK_TEST_DATA_DIR "/report_default.csv"));
    QVERIFY(golden.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(reportCsv(report)).split("\r\n"),
             QString::fromUtf8(golden.readAll()).split("\r\n"));
}

void TestReport::pdf_hasTitleBlockBoardsAndPages()
{
    const QString path = m_dir.filePath(QStringLiteral("default.pdf"));
    QVERIFY(ReportPrinter::writePdf(unitReport(*sixBoardUnit(), {}, fixedInfo()), path));
    // Three pages: the title block and boards A..C, boards D..F and the map's
    // start, the rest of the map and the signatures.
    QCOMPARE(pdfPages(path), 3);
    QString all;
    for (int page = 1; page <= 3; ++page) {
        const QString text = pdfText(path, page);
        QVERIFY2(text.contains("ВИРАТ7100.20 БРК, адрес 1 — 02.03.2026 09:30")
                     && text.contains(QStringLiteral("Страница %1 из 3").arg(page)),
                 qPrintable(text));
        all += text;
    }
    for (const char *expected :
         {"Отчёт о настройке модуля", "Порт RS-485\\s+9600 бит/с, 8N1", "IP-адрес\\s+192.168.0.10",
          "Таймаут включения блокировки\\s+0.0 с", "Версия программы\\s+1.0.0",
          "Составил\\s+Иванов И. И.", "Слот A: субмодуль AIO", "Слот B: субмодуль AI",
          "Слот C: субмодуль DI", "Слот D: субмодуль TMP", "Слот E: субмодуль DO6",
          "Слот F: субмодуль DO4", "Карта регистров", "Настройку выполнил", "Принял"})
        QVERIFY2(all.contains(QRegularExpression(QString::fromUtf8(expected))), expected);
}

void TestReport::pdf_cutsNoRow_data()
{
    QTest::addColumn<Report>("report");
    QTest::addColumn<QString>("rowStart");
    QTest::addColumn<QString>("rowEnd");
    QTest::addColumn<QString>("header");
    QTest::addColumn<int>("rows");
    QTest::newRow("24 analog inputs")
        << unitReport(*unitWith(QVector<int>(6, SubmoduleAI)), {}, fixedInfo())
        << "субмодуль AI, канал \\d"
        << "\\b300\\d\\d\\b"
        << "Описание\\s+Таблица" << 24;
    // Rows of several lines each: a cut row leaves its start on one page, its end on the next.
    ReportTable table;
    table.columns = QStringList{"Канал", "Описание"};
    for (int i = 0; i < 40; ++i)
        table.rows.append(
            {{QString::number(i)},
             {QString("начало%1 %2конец%1").arg(i).arg(QString("слово ").repeated(60))}});
    Report tall;
    tall.sections.append({QStringLiteral("Раздел"), {table}});
    QTest::newRow("rows of many lines") << tall << "начало\\d+"
                                        << "конец\\d+"
                                        << "Канал\\s+Описание" << 40;
}

void TestReport::pdf_cutsNoRow()
{
    QFETCH(Report, report);
    QFETCH(QString, rowStart);
    QFETCH(QString, rowEnd);
    QFETCH(QString, header);
    QFETCH(int, rows);
    const QString path = m_dir.filePath(QStringLiteral("rows.pdf"));
    QVERIFY(ReportPrinter::writePdf(report, path));
    int seen = 0;
    for (int page = 1; page <= pdfPages(path); ++page) {
        const QString text = pdfText(path, page);
        const int starts = text.count(QRegularExpression(rowStart));
        QCOMPARE(text.count(QRegularExpression(rowEnd)), starts);
        // A page that goes on with the table repeats its header row.
        if (starts > 0)
            QVERIFY(text.contains(QRegularExpression(header)));
        seen += starts;
    }
    QCOMPARE(seen, rows);
}

void TestReport::plant_contentsThenAPageForEachUnit()
{
    const std::unique_ptr<Module> first = sixBoardUnit();
    const std::unique_ptr<Module> second = unitWith(QVector<int>(6, SubmoduleAI));
    const QString path = m_dir.filePath(QStringLiteral("plant.pdf"));
    QVERIFY(ReportPrinter::writePdf(
        plantReport("Станция", {{"Насос 1", first.get()}, {"Насос 2", second.get()}}, fixedInfo()),
        path));
    QVERIFY(pdfText(path, 1).contains(
        QRegularExpression("Содержание\\s+1\\. Насос 1\\s+2\\. Насос 2")));
    // Below the page header ("Станция — date"), the pages that open a unit begin with its name.
    QStringList opened;
    for (int page = 2; page <= pdfPages(path); ++page) {
        const QStringList lines = pdfText(path, page).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0).trimmed(), QStringLiteral("Станция — 02.03.2026 09:30"));
        if (lines.value(1).startsWith("Насос"))
            opened << lines.value(1).trimmed();
    }
    QCOMPARE(opened, QStringList({"Насос 1", "Насос 2"}));
}

void TestReport::brkctl_writesTheReport_data()
{
    QTest::addColumn<bool>("fromUnit");
    QTest::addColumn<QString>("output");
    QTest::newRow("file to CSV") << false << "file.csv";
    QTest::newRow("simulated unit to PDF, no platform set") << true << "unit.pdf";
}

void TestReport::brkctl_writesTheReport()
{
    QFETCH(bool, fromUnit);
    QFETCH(QString, output);
    const QString file = m_dir.filePath(QStringLiteral("six.brcf"));
    QVERIFY(saveJsonObject(sixBoardUnit()->toJson(), file));
    UnitSimFixture sim;
    QVERIFY(sim.start());
    const QString source = fromUnit ? QStringLiteral("tcp://127.0.0.1:%1").arg(sim.port()) : file;
    const QString path = m_dir.filePath(output);
    // brkctl picks a platform that needs no display itself.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    qunsetenv("QT_QPA_PLATFORM");
    const ProcessRun run = ProcessRun::run(QStringLiteral(BRKCTL_PATH),
                                           {"report", source, "-o", path, "--author", "Петров"});
    qputenv("QT_QPA_PLATFORM", platform);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    if (!fromUnit) {
        QFile csv(path);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QString expected = QString::fromUtf8(reportCsv(unitReport(
            *sixBoardUnit(), {}, {"Петров", QDateTime::currentDateTime(), BRK_VERSION})));
        const QRegularExpression date("Дата и время;\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d");
        QCOMPARE(QString::fromUtf8(csv.readAll()).remove(date), QString(expected).remove(date));
        return;
    }
    const QString text = pdfText(path, 1);
    for (const char *expected : {"Порт RS-485", "Слот A: субмодуль AIO", "Составил\\s+Петров"})
        QVERIFY2(text.contains(QRegularExpression(QString::fromUtf8(expected))), expected);
}

QTEST_MAIN(TestReport)
#include "tst_report.moc"
