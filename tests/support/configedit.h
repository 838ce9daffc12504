// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef CONFIGEDIT_H
#define CONFIGEDIT_H

// A configuration file's content edited as a user edits the file by hand.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

// `edits`: "KEY=VALUE" of the module's own settings, or "B/C/KEY=VALUE" of
// channel C of the board listed B-th in the file.
inline QJsonObject editedConfig(QJsonObject root, const QStringList &edits)
{
    QJsonObject module = root.value("module").toObject();
    QJsonArray boards = root.value("submodules").toArray();
    for (const QString &edit : edits) {
        const QStringList where = edit.section('=', 0, 0).split('/');
        if (where.size() < 3) {
            module.insert(where.first(), edit.section('=', 1));
            continue;
        }
        const int b = where.at(0).toInt();
        const int c = where.at(1).toInt();
        QJsonObject board = boards.at(b).toObject();
        QJsonArray channels = board.value("channels").toArray();
        QJsonObject channel = channels.at(c).toObject();
        channel.insert(where.at(2), edit.section('=', 1));
        channels.replace(c, channel);
        board.insert("channels", channels);
        boards.replace(b, board);
    }
    root.insert("module", module);
    root.insert("submodules", boards);
    return root;
}

inline bool writeConfig(const QString &path, const QJsonObject &root)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(root).toJson()) > 0;
}

#endif // CONFIGEDIT_H
