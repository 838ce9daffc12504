#include "linksettings.h"

#include <QtTest>

Q_DECLARE_METATYPE(LinkSettings)

class TestLinkSettings : public QObject
{
    Q_OBJECT

private slots:
    void timeoutAndRetries_data();
    void timeoutAndRetries();
};

// Slower serial lines wait longer; the extra delay and the user's values win.
void TestLinkSettings::timeoutAndRetries_data()
{
    QTest::addColumn<LinkSettings>("settings");
    QTest::addColumn<int>("timeoutMs");
    QTest::addColumn<int>("retries");

    auto serial = [](int baud, bool extraDelay) {
        LinkSettings settings;
        settings.kind = LinkSettings::Kind::Serial;
        settings.baud = baud;
        settings.extraDelay = extraDelay;
        return settings;
    };
    LinkSettings given = serial(1200, true);
    given.timeoutOverrideMs = 50;
    given.retriesOverride = 0;
    QTest::newRow("tcp") << LinkSettings() << 500 << 3;
    QTest::newRow("1200") << serial(1200, false) << 800 << 1;
    QTest::newRow("14400, between the list's speeds") << serial(14400, false) << 500 << 1;
    QTest::newRow("300, below the list") << serial(300, false) << 900 << 1;
    QTest::newRow("extra delay") << serial(115200, true) << 1000 << 3;
    QTest::newRow("given by the user") << given << 50 << 0;
}

void TestLinkSettings::timeoutAndRetries()
{
    QFETCH(LinkSettings, settings);
    QTEST(settings.responseTimeoutMs(), "timeoutMs");
    QTEST(settings.retries(), "retries");
}

QTEST_GUILESS_MAIN(TestLinkSettings)
#include "tst_linksettings.moc"
