#ifndef RIGESTERSMAPWINDOW_H
#define RIGESTERSMAPWINDOW_H

#include <QDialog>
#include <QList>

#include <memory>

class Module;
class QVBoxLayout;
class RegisterTabWidget;

namespace Ui {
class RigestersMapWindow;
}

// Read-only map of the unit's live-value registers: one titled table per
// channel kind, built once from the channels' value parameters.
class RigestersMapWindow : public QDialog
{
    Q_OBJECT

public:
    explicit RigestersMapWindow(Module *module, QWidget *parent = nullptr);
    ~RigestersMapWindow() override;

    // The eight tables in their fixed order, hidden ones included.
    QList<RegisterTabWidget *> tables() const { return m_tables; }

    static constexpr int BaseHeight = 36;
    static constexpr int MaxHeight = 800;
    static constexpr int FixedWidth = 470;

private:
    void createTables();
    void fillFromModule();
    // Drops kinds that have no table.
    void addRow(int kind, const QString &description, int address, int function, int valueType);
    void fitSize();

    std::unique_ptr<Ui::RigestersMapWindow> ui;
    Module *m_module; // not owned
    QVBoxLayout *m_contentLayout = nullptr;
    QList<RegisterTabWidget *> m_tables;
};

#endif // RIGESTERSMAPWINDOW_H
