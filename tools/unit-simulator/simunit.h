// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef SIMUNIT_H
#define SIMUNIT_H

#include <QElapsedTimer>
#include <QJsonObject>
#include <QMap>
#include <QModbusDataUnit>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

// Modbus exception codes the simulated unit answers with.
namespace SimException {
enum Code {
    None = 0,
    IllegalFunction = 1,
    IllegalAddress = 2,
    IllegalValue = 3,
    DeviceFailure = 4
};
}

// How a unit is put together at start: address, boards in slots A..F, firmware word.
struct SimUnitConfig
{
    int address = 1;
    QVector<int> slotCodes{5, 4, 6, 7, 8, 1};
    int firmware = 22;
    bool jumper = false;
    int moduleType = 1; // another code makes a device that is not a unit

    // Parses "ADDR:SLOTS:FIRMWARE[:jumper]", e.g. "1:5,4,6,7,8,1:22". On failure returns
    // false and puts the reason into *error.
    static bool parse(const QString &text, SimUnitConfig *config, QString *error);
};

// The register state of one simulated unit and the rules it answers by: which
// addresses it holds, which writes need the service code first, which values it
// refuses. Every read and write returns a SimException code (0 = done).
class SimUnit : public QObject
{
    Q_OBJECT
public:
    using Type = QModbusDataUnit::RegisterType;

    explicit SimUnit(const SimUnitConfig &config, bool frozen, QObject *parent = nullptr);

    // Address the unit answers at (the module word takes effect after a pause).
    int activeAddress() const { return m_activeAddress; }
    // Port word (2006) in force on the line.
    int activePortWord() const { return m_activePortWord; }
    const SimUnitConfig &config() const { return m_config; }
    // Module word 7: how long the unit waits before it answers on a serial line.
    int responseDelayMs() const { return m_module.at(7); }
    // Accept configuration writes that no service code armed.
    void setLenient(bool lenient);

    int countAI() const { return m_aiIsTemperature.size(); }
    int countAO() const { return m_countAO; }
    int countDI() const { return m_countDI; }
    int countDO() const { return m_countDO; }
    int moduleWords() const { return m_config.firmware >= 22 ? 25 : 23; }

    int read(Type type, int address, int count, QVector<quint16> *values) const;
    // Coils take 0 or 1 per value; the caller decodes the wire format.
    int write(Type type, int address, const QVector<quint16> &values);

    // Direct access for tests and tools: no arming, no validation. A live value
    // set this way stays pinned at that value.
    bool peek(Type type, int address, quint16 *value) const;
    bool poke(Type type, int address, quint16 value);

    // Configuration as JSON (module words and tables) for the state file.
    QJsonObject saveConfiguration() const;
    bool loadConfiguration(const QJsonObject &object, QString *error);

    // Pause between the last module-block write and the new address taking effect.
    static constexpr int kLinkChangeDelayMs = 500;

signals:
    // The stored configuration changed (a write, a reset).
    void configurationChanged();
    // A note for the request log: a restart, a reset, an address taking effect.
    void event(const QString &text);

private:
    enum class Kind {
        None,
        ModuleFixed,    // type, firmware, error word, slots, jumper: read-only
        ModuleWritable, // 2004..2015: needs 0x6C5B
        Service,        // 2016: command register
        EepromFlag,     // 2023
        Config,         // per-channel settings: need 0x6C31
        SignalType,     // 1200+g, 1400+g: written by calibration without arming
        AoValue,        // holding 2g and 10004+g of analog outputs
        Stepper,        // holding 550+2g
        LiveInput       // computed values, read-only
    };
    struct Cell
    {
        Kind kind = Kind::None;
        int channel = -1;
    };

    void buildLayout();
    void setFactoryConfiguration(bool keepLink);
    Cell classify(Type type, int address) const;
    int checkValue(Type type, int address, const Cell &cell, quint16 value) const;
    int runCommand(quint16 code);
    void storeValue(Type type, int address, const Cell &cell, quint16 value);
    quint16 liveValue(Type type, int address, const Cell &cell) const;
    quint16 analogInputWord(int g, int offset, bool raw) const;
    double seconds() const;
    void scheduleLinkChange();
    void applyLinkChange();

    SimUnitConfig m_config;
    bool m_frozen;
    QElapsedTimer m_clock;
    QTimer m_linkTimer;

    int m_activeAddress = 1;
    int m_activePortWord = 0;
    quint16 m_armed = 0; // pending service code, 0 = none
    bool m_lenient = false;

    // Layout derived from the slot words.
    QVector<bool> m_aiIsTemperature; // per analog input g
    int m_countAO = 0;
    int m_countDI = 0;
    int m_countDO = 0;
    int m_counterSpan = 0;      // counting numbers taken by DI/DI6 boards
    QVector<int> m_counterUsed; // numbers g that carry a counter
    int m_countStepper = 0;

    QVector<quint16> m_module;    // 2000.. (25 words; 23 held below firmware 22)
    QMap<int, quint16> m_holding; // stored holding registers outside the module block
    QMap<int, quint16> m_coils;   // block values of discrete outputs, coil 1000+g
    QMap<int, quint16> m_pinned;  // key: type << 16 | address
};

#endif // SIMUNIT_H
