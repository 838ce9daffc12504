// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef TRAFFICEXCHANGE_H
#define TRAFFICEXCHANGE_H

#include <QString>
#include <QStringList>
#include <QVector>

// One Modbus request and its outcome, as the traffic recorder keeps it and
// the traffic monitor and its CSV export show it.
struct TrafficExchange
{
    enum class Outcome {
        Pending,   // sent, no reply yet
        Answered,  // a normal reply that fits the request
        Mismatch,  // a normal reply for other registers than asked
        Exception, // a Modbus exception reply
        Timeout,   // no reply within the client's time-out and retries
        Aborted,   // the connection closed (or the client went) under it
        Failed,    // any other reply error
        NotSent,   // the client refused to send it
        Broadcast  // sent to address 0: no reply expected
    };

    quint64 id = 0;          // running number since the recorder started
    qint64 sentUs = 0;       // microseconds since the recorder started
    qint64 roundTripUs = -1; // until the outcome; -1 while pending or not sent
    int serverAddress = 0;
    int function = 0; // Modbus function code
    int start = 0;    // first register (or coil)
    int count = 0;
    QVector<quint16> values; // written values, or the values read
    Outcome outcome = Outcome::Pending;
    int exceptionCode = 0;
    QString error; // the client's text for Failed and NotSent

    bool isWrite() const { return function == 5 || function == 6 || function >= 15; }
    // Everything the unit did not answer as asked; a pending request is none.
    bool isError() const;

    // Texts of the monitor's columns.
    QString timeText() const;      // seconds since start, "12.345"
    QString functionText() const;  // "03 чтение регистров"
    QString requestText() const;   // the count of a read, the values of a write
    QString resultText() const;    // values read, "выполнено", or what went wrong
    QString roundTripText() const; // milliseconds, "3.2"; empty while pending

    static QString functionName(int function);
    // What a Modbus exception code means, in words.
    static QString exceptionMeaning(int code);

    // Titles of the columns, in the order of the texts above.
    static QStringList columnTitles();
    // The texts of every column, for the export.
    QStringList columnTexts() const;
};

#endif // TRAFFICEXCHANGE_H
