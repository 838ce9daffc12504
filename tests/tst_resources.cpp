#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
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

// Parameter names as the property tree shows them; each needs a help text.
const QStringList &helpKeys()
{
    static const QStringList keys = {
        "Тип модуля",
        "Версия ПО",
        "Признаки имеющихся ошибок",
        "Задержка ответа, мс",
        "Таймаут включения блокировки, с",
        "Адрес MODBUS",
        "Скорость, бит/с",
        "Четность, стоп-биты",
        "IP-адрес",
        "Маска сети",
        "Адрес шлюза",
        "Сигнал внешней блокировки",
        "Блокировка по таймауту запроса",
        "Watchdog reset",
        "Ошибка конфиг. в eeprom с восстановлением из резервного банка",
        "Невосст. ошибка конфиг. в eeprom",
        "Тип сигнала",
        "Нижний предел",
        "Верхний предел",
        "Множитель",
        "Значение ШИМ",
        "Формат данных",
        "Антидребезг",
        "Блокировочное значение",
        "Group",
    };
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
    void iconFolder_holdsOnlyKnownIcons();
    void helpText_presentForShownParameter_data();
    void helpText_presentForShownParameter();
    void helpFile_hasNoStrayKeys();
    void helpText_coversModelErrorFlagNames_data();
    void helpText_coversModelErrorFlagNames();

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

    const QIcon icon(path);
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.pixmap(32, 32).size(), QSize(32, 32));

    // A glyph on a transparent ground: neither an empty render nor an opaque tile.
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0)
                ++painted;
    QVERIFY2(painted > 32 * 32 / 4, qPrintable(QString::number(painted)));
    QVERIFY2(painted < 32 * 32, qPrintable(QString::number(painted)));
}

void TestResources::iconFolder_holdsOnlyKnownIcons()
{
    QStringList present = QDir(QStringLiteral(":/images/img")).entryList(QDir::Files);
    QStringList expected = iconNames();
    present.sort();
    expected.sort();
    QCOMPARE(present, expected);
}

void TestResources::helpText_presentForShownParameter_data()
{
    QTest::addColumn<QString>("key");
    for (const QString &key : helpKeys())
        QTest::newRow(qPrintable(key)) << key;
}

void TestResources::helpText_presentForShownParameter()
{
    QFETCH(QString, key);

    const QJsonValue value = m_help.value(key);
    QVERIFY2(value.isString(), qPrintable(key));
    const QString text = value.toString().trimmed();
    QVERIFY(!text.isEmpty());
    // Shown in a small pane: a few sentences, not a page.
    QVERIFY2(text.size() <= 400, qPrintable(QString::number(text.size())));
}

void TestResources::helpFile_hasNoStrayKeys()
{
    // A key nobody looks up is a misspelt one.
    const QStringList keys = m_help.keys();
    for (const QString &key : keys)
        QVERIFY2(helpKeys().contains(key), qPrintable(key));
    QCOMPARE(keys.size(), helpKeys().size());
}

void TestResources::helpText_coversModelErrorFlagNames_data()
{
    QTest::addColumn<int>("bit");
    // The bits the tree lists as error-flag rows.
    for (int bit : {0, 1, 2, 5, 6})
        QTest::newRow(qPrintable(QStringLiteral("bit %1").arg(bit))) << bit;
}

void TestResources::helpText_coversModelErrorFlagNames()
{
    QFETCH(int, bit);
    const QString name = moduleErrorName(bit);
    QVERIFY2(m_help.value(name).isString(), qPrintable(name));
}

QTEST_MAIN(TestResources)
#include "tst_resources.moc"
