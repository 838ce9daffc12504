// SPDX-License-Identifier: GPL-3.0-or-later
#include "channel.h"
#include "codes.h"
#include "module.h"
#include "submodule.h"

#include <QtTest>

namespace {

QVector<int> channelValues(Submodule *board, const QString &name)
{
    QVector<int> values;
    for (Channel *channel : board->channels())
        values.append(channel->value(name).toInt());
    return values;
}

} // namespace

class TestSubmodule : public QObject
{
    Q_OBJECT

private slots:
    void boardKinds_data();
    void boardKinds();
};

void TestSubmodule::boardKinds_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QVector<int>>("channelTypes");
    QTest::addColumn<QVector<int>>("channelNumbers");

    QTest::newRow("DO4") << 1 << QVector<int>{4, 4, 4, 4} << QVector<int>{0, 1, 2, 3};
    QTest::newRow("AI") << 4 << QVector<int>{0, 0, 0, 0} << QVector<int>{0, 1, 2, 3};
    QTest::newRow("AIO") << 5 << QVector<int>{0, 0, 1, 1} << QVector<int>{0, 1, 0, 1};
    QTest::newRow("DI") << 6 << QVector<int>{3, 3, 3, 3, 6, 6} << QVector<int>{0, 1, 2, 3, 2, 3};
    QTest::newRow("TMP") << 7 << QVector<int>{2, 2} << QVector<int>{0, 1};
    QTest::newRow("DO6") << 8 << QVector<int>{4, 4, 4, 4, 4, 4, 5, 5}
                         << QVector<int>{0, 1, 2, 3, 4, 5, 1, 4};
    QTest::newRow("ENI2") << 9 << QVector<int>{} << QVector<int>{};
    QTest::newRow("DI6") << 10 << QVector<int>{3, 3, 3, 3, 3, 3, 6, 6}
                         << QVector<int>{0, 1, 2, 3, 4, 5, 2, 3};
}

void TestSubmodule::boardKinds()
{
    QFETCH(int, type);
    QFETCH(QVector<int>, channelTypes);

    Module module(1);
    auto *board = qobject_cast<Submodule *>(module.createSubmodule(type));
    QVERIFY(board);
    QCOMPARE(board->submoduleType(), type);
    QCOMPARE(channelValues(board, ChannelParam::Type), channelTypes);
    QTEST(channelValues(board, ChannelParam::Number), "channelNumbers");
    // Only the third and fourth discrete input have an antibounce filter, off at
    // first.
    for (Channel *channel : board->channels()) {
        const int number = channel->value(ChannelParam::Number).toInt();
        const bool filtered = channel->value(ChannelParam::Type).toInt() == TypeDigitalInput
                              && (number == 2 || number == 3);
        QCOMPARE(channel->value(ChannelParam::Antibounce), filtered ? QVariant(false) : QVariant());
    }
}

QTEST_GUILESS_MAIN(TestSubmodule)
#include "tst_submodule.moc"
