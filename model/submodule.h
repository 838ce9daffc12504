#ifndef SUBMODULE_H
#define SUBMODULE_H

#include "device.h"

class Channel;
class Module;

namespace SubmoduleParam {
inline const QString Slot = QStringLiteral("Слот субмодуля");
inline const QString Type = QStringLiteral("Тип субмодуля");
inline const QString Ordinal = QStringLiteral("Порядковый номер субмодуля данного типа");
} // namespace SubmoduleParam

// A board in one slot of the module. The kinds only state their channel
// counts; this class creates the channels and numbers them.
class Submodule : public Device
{
    Q_OBJECT

public:
    Submodule(int type, Module *parent);

    QList<Channel *> channels() const { return m_channels; }
    virtual int submoduleType() const { return m_type; }

    // Numbers the channels from `next` (the first free number of each
    // Module::Family) as the unit does and moves `next` past this board.
    // Returns how many channels got another number.
    int renumber(int *next);

    void fromJson(const QJsonObject &obj) override;
    void fromTables(ModuleTables dataModule) override;
    ModuleTables toTables(ModuleTables dataModule) override;
    QJsonObject toJson() override;
    int compare(Device *other) override;

protected:
    // A DI board takes four counting numbers and a DI6 board six, of which
    // each uses the first two.
    static constexpr int SpareCountingDI = 2;
    static constexpr int SpareCountingDI6 = 4;

    virtual void createChannels();
    // Sets the kind's channel counts and reserves their numbers in the module.
    void reserve(int analogInputs, int analogOutputs, int discreteInputs, int discreteOutputs,
                 int countingDI, int countingDI6, int stepperOutputs);
    // First number reserved by this board in a family (counter after the
    // reservation minus the board's count).
    int firstNumber(int family, int count) const;
    void addChannel(Channel *channel, int number);

    Module *m_module; // not owned; the QObject parent
    int m_analogInputs = 0;
    int m_analogOutputs = 0;
    int m_discreteInputs = 0;
    int m_discreteOutputs = 0;
    int m_countingDI = 0;
    int m_countingDI6 = 0;
    int m_stepperOutputs = 0;
    const int m_type;
    QList<Channel *> m_channels; // children, in creation order

private:
    int counter(int family) const;
    void advance(int family, int count);
};

class OK4Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit OK4Submodule(Module *parent);
};

class SM2Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit SM2Submodule(Module *parent);
};

class RL2Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit RL2Submodule(Module *parent);
};

class A2_4Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit A2_4Submodule(Module *parent);
};

class A1_2_2Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit A1_2_2Submodule(Module *parent);
};

class U1_4Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit U1_4Submodule(Module *parent);
};

class TM_2Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit TM_2Submodule(Module *parent);

protected:
    void createChannels() override;
};

class OK_6Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit OK_6Submodule(Module *parent);
};

class ENI2Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit ENI2Submodule(Module *parent);
};

class DI_6Submodule : public Submodule
{
    Q_OBJECT
public:
    explicit DI_6Submodule(Module *parent);
};

#endif // SUBMODULE_H
