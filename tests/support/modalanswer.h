// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODALANSWER_H
#define MODALANSWER_H

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <functional>

// Runs `act` on the next modal widget of class T; gives up after 30 s so that
// a dialog that never came cannot be answered by a later one. The widget must
// be seen on two timer ticks: a dialog answered while exec() is still showing
// it, before its event loop runs, would wait forever.
template<typename T>
void whenModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    auto *sighted = new QPointer<T>;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, timer, [timer, clock, sighted, act] {
        T *shown = qobject_cast<T *>(QApplication::activeModalWidget());
        const bool ready = shown && shown == *sighted;
        *sighted = shown;
        if (!ready && clock->elapsed() < 30000)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
        delete sighted;
        if (ready)
            act(shown);
    });
    timer->start(10);
}

// Answers the next file dialog with `path`, then runs `then` (if given).
inline void chooseFile(const QString &path, std::function<void()> then = {})
{
    whenModal<QFileDialog>([path, then](QFileDialog *dialog) {
        // Typed, as a user would: selectFile() leaves a focused name field alone.
        dialog->selectFile(path);
        if (auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(path);
        static_cast<QDialog *>(dialog)->accept();
        if (then)
            then();
    });
}

#endif // MODALANSWER_H
