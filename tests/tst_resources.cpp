// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPixmap>
#include <QtTest>

#include "codes.h"

namespace {

// Every icon the main window refers to, under the names the form uses.
const QStringList &iconNames()
{
    static const QStringList names = {
        "Add_File.ico",     "Open.ico",         "Save_2.ico",           "Save_as_2.ico",
        "Download.ico",     "Upload_full.ico",  "Upload_partial.ico",   "calibrate.png",
        "register_map.png", "reset_config.png", "delete_submodule.png", "board_aio.png",
        "board_ai.png",     "board_tmp.png",    "board_r.png",          "board_di.png",
        "board_do4.png",    "board_sim.png",    "board_do6.png",        "board_di6.png",
        "about.png",
    };
    return names;
}

// Parameter names as the property tree shows them, besides the error flags;
// each needs a help text.
const QStringList &helpKeys()
{
    static const QStringList keys
        = QString("Тип модуля|Версия ПО|Признаки имеющихся ошибок|Задержка ответа, мс|"
                  "Таймаут включения блокировки, с|Адрес MODBUS|Скорость, бит/с|"
                  "Четность, стоп-биты|IP-адрес|Маска сети|Адрес шлюза|Тип сигнала|"
                  "Нижний предел|Верхний предел|Множитель|Значение ШИМ|Формат данных|"
                  "Антидребезг|Блокировочное значение|Group")
              .split('|');
    return keys;
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void icon_loadsAtToolBarSize_data();
    void icon_loadsAtToolBarSize();
    void helpFile_holdsShortTextsForShownParameters();

private:
    QJsonObject m_help;
};

void TestResources::initTestCase()
{
    QFile file(QStringLiteral(BRK_HELP_FILE));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QVERIFY(document.isObject());
    m_help = document.object();
}

void TestResources::icon_loadsAtToolBarSize_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &name : iconNames())
        QTest::newRow(qPrintable(name)) << QStringLiteral(":/images/img/") + name;
}

void TestResources::icon_loadsAtToolBarSize()
{
    QFETCH(QString, path);

    // The .ico names hold PNG data: the reader must still find a decoder.
    const QPixmap pixmap(path);
    QVERIFY2(!pixmap.isNull(), qPrintable(path));
    QCOMPARE(pixmap.size(), QSize(32, 32));
}

// A missing key leaves a parameter without help, a key nobody looks up is a
// misspelt one.
void TestResources::helpFile_holdsShortTextsForShownParameters()
{
    QStringList keys = m_help.keys();
    QStringList expected = helpKeys();
    // The error flags the tree lists, by the model's names.
    for (int bit : {0, 1, 2, 5, 6})
        expected << moduleErrorName(bit);
    keys.sort();
    expected.sort();
    QCOMPARE(keys, expected);
    for (const QString &key : keys) {
        const QString text = m_help.value(key).toString().trimmed();
        // Shown in a small pane: a few sentences, not a page.
        QVERIFY2(!text.isEmpty() && text.size() <= 400, qPrintable(key));
    }
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
