// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MAINWINDOWDRIVER_H
#define MAINWINDOWDRIVER_H

// Drives the main window as a user would: its actions by name, its views'
// rows through their own editors, and the message boxes it shows.

#include "browseritem.h"
#include "browserproperty.h"
#include "mainwindow.h"
#include "modalanswer.h"
#include "moduleview.h"
#include "positionsubmoduledialog.h"
#include "treepropertybrowser.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTextEdit>
#include <QTimer>

inline QAction *action(const QWidget *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

inline QList<QMdiSubWindow *> subWindows(const QWidget *window)
{
    return window->findChild<QMdiArea *>()->subWindowList(QMdiArea::CreationOrder);
}

inline QString outputPane(const QWidget *window)
{
    return window->findChild<QTextEdit *>(QStringLiteral("textEdit"))->toPlainText();
}

inline MainWindow *shownMainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *window = qobject_cast<MainWindow *>(widget);
        if (window && window->isVisible())
            return window;
    }
    return nullptr;
}

inline BrowserItem *itemAt(ModuleView *view, const QStringList &path)
{
    return view->findChild<TreePropertyBrowser *>()->itemAt(path);
}

inline QVariant treeValue(ModuleView *view, const QStringList &path)
{
    BrowserItem *item = itemAt(view, path);
    return item ? item->property()->value() : QVariant();
}

inline QWidget *editorAt(ModuleView *view, const QStringList &path)
{
    BrowserItem *item = itemAt(view, path);
    return item ? view->findChild<TreePropertyBrowser *>()->openEditor(item) : nullptr;
}

// Sets a numeric row through its own editor.
inline bool editRow(ModuleView *view, const QStringList &path, const QVariant &value)
{
    QWidget *editor = editorAt(view, path);
    if (auto *spin = qobject_cast<QDoubleSpinBox *>(editor))
        spin->setValue(value.toDouble());
    else if (auto *intSpin = qobject_cast<QSpinBox *>(editor))
        intSpin->setValue(value.toInt());
    else
        return false;
    return true;
}

// Creates an offline view, accepting the module type offered.
inline bool createView(MainWindow *window)
{
    whenModal<QDialog>([](QDialog *dialog) {
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
    return window->createNew();
}

// Picks `slot` in the slot dialog; `greyed` (if given) receives the letters it
// offered greyed.
inline void chooseSlot(int slot, QString *greyed = nullptr)
{
    whenModal<PositionSubmoduleDialog>([slot, greyed](PositionSubmoduleDialog *dialog) {
        auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("comboBox"));
        auto *items = qobject_cast<QStandardItemModel *>(combo->model());
        for (int i = 0; i < combo->count(); ++i) {
            if (greyed && !items->item(i)->isEnabled())
                greyed->append(combo->itemText(i));
        }
        combo->setCurrentIndex(slot);
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
    });
}

// Answers the next message box with `button`; `asked` receives its text.
inline void answerNext(QMessageBox::StandardButton button, QString *asked)
{
    whenModal<QMessageBox>([button, asked](QMessageBox *box) {
        *asked = box->text();
        box->button(button)->click();
    });
}

// While it lives, notes and accepts every message box that comes up.
class BoxRecorder
{
public:
    struct Box
    {
        QString title;
        QString text;
        QString informative;
        QMessageBox::Icon icon;
        QDateTime at;
        bool progressShown; // the window's progress bar, under the box
    };

    BoxRecorder()
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && box == m_sighted && !m_answered.contains(box)) {
                const QWidget *window
                    = box->parentWidget() ? box->parentWidget()->window() : nullptr;
                const auto *bar = window ? window->findChild<QProgressBar *>() : nullptr;
                m_boxes.append({box->windowTitle(), box->text(), box->informativeText(),
                                box->icon(), QDateTime::currentDateTime(),
                                bar && bar->isVisible()});
                m_answered.append(box);
                box->accept();
            }
            m_sighted = box;
        });
        m_timer.start(5);
    }
    QList<Box> boxes() const { return m_boxes; }
    QStringList texts() const
    {
        QStringList result;
        for (const Box &box : m_boxes)
            result << box.text;
        return result;
    }

private:
    QTimer m_timer;
    QPointer<QMessageBox> m_sighted;
    QList<QPointer<QMessageBox>> m_answered;
    QList<Box> m_boxes;
};

#endif // MAINWINDOWDRIVER_H
