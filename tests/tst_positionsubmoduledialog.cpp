#include "module.h"
#include "positionsubmoduledialog.h"
#include "submodule.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QStandardItemModel>
#include <QtTest>

class TestPositionSubmoduleDialog : public QObject
{
    Q_OBJECT

private slots:
    void occupiedSlots_areGreyed_data();
    void occupiedSlots_areGreyed();
};

void TestPositionSubmoduleDialog::occupiedSlots_areGreyed_data()
{
    QTest::addColumn<QList<int>>("occupied");
    QTest::addColumn<QString>("enabled"); // one letter per slot A … F, '-' greyed
    QTest::newRow("empty") << QList<int>{} << "ABCDEF";
    QTest::newRow("A and C") << QList<int>{0, 2} << "-B-DEF";
    QTest::newRow("all six") << QList<int>{0, 1, 2, 3, 4, 5} << "------";
}

void TestPositionSubmoduleDialog::occupiedSlots_areGreyed()
{
    QFETCH(QList<int>, occupied);
    QFETCH(QString, enabled);
    Module module(1);
    for (int slot : occupied)
        module.createSubmodule(1 + slot)->setValue(SubmoduleParam::Slot, slot);
    PositionSubmoduleDialog dialog(&module);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Выберите слот субмодуля"));
    auto *combo = dialog.findChild<QComboBox *>("comboBox");
    QCOMPARE(dialog.position(), -1);
    const auto *items = qobject_cast<QStandardItemModel *>(combo->model());
    QString shown;
    for (int i = 0; i < combo->count(); ++i)
        shown += items->item(i)->isEnabled() ? combo->itemText(i) : QStringLiteral("-");
    QCOMPARE(shown, enabled);
    // The keyboard never lands on a greyed slot; OK takes the choice.
    dialog.show();
    QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(dialog.position(), enabled.indexOf(QRegularExpression("[A-F]")));
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

QTEST_MAIN(TestPositionSubmoduleDialog)
#include "tst_positionsubmoduledialog.moc"
