// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef PTYPAIR_H
#define PTYPAIR_H

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A virtual serial line: socat joins two ptys whose links live in a temporary
// folder. One end is for the simulated unit, the other for the client under test.
// Both go away with the object.
class PtyPair
{
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    // Whether the socat binary can be found on PATH.
    static bool socatAvailable();

    // Starts socat and waits (up to 5 s) until both ends exist.
    bool start(QString *error = nullptr);
    // Ends socat: both ends vanish, as a USB adapter pulled; start() makes
    // them again at the same paths.
    void stop();

    QString unitEnd() const;
    QString clientEnd() const;

private:
    // socat that ends with the test process, even when the test crashes.
    class SocatProcess : public QProcess
    {
    protected:
        void setupChildProcess() override;
    };

    QTemporaryDir m_dir;
    SocatProcess m_socat;
};

#endif // PTYPAIR_H
