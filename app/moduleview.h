// SPDX-License-Identifier: GPL-3.0-or-later
#ifndef MODULEVIEW_H
#define MODULEVIEW_H

#include "moduletables.h"
#include "parametertree.h"

#include <QColor>
#include <QHash>
#include <QMainWindow>
#include <QMap>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

namespace Ui {
class ModuleView;
}

class BrowserItem;
class BrowserProperty;
class Channel;
class Device;
class Module;
class Property;
class PropertyEditorFactory;
class ParameterState;
class PropertyManager;
class QUndoStack;
class Submodule;
class TreePropertyBrowser;

// Document window of the configurator: shows one module with its boards and
// channels as an editable parameter tree and writes every edit back into
// the model.
class ModuleView : public QMainWindow
{
    Q_OBJECT

public:
    // A module opened from a file; the view takes it (see mode bit 32).
    ModuleView(int mode, Module *module, QWidget *parent = nullptr);
    // A unit's register image, as read.
    ModuleView(int mode, const ModuleTables &tables, QWidget *parent = nullptr);
    // A new, empty module of the given type.
    ModuleView(int mode, int type, QWidget *parent = nullptr);
    ~ModuleView() override;

    Module *module() const { return m_module; }
    // Changes not saved to a file since the last save.
    bool hasChanges() const { return m_changed; }
    // Edits not written to the unit since the last write.
    bool hasUnwrittenEdits() const { return m_unwritten; }
    // The configuration is in its file now / in the unit now, as `tables`.
    // The undo stack is clean there: offline at the file, online at the unit.
    void markSaved();
    void markWritten(const ModuleTables &tables);
    QString fileName() const { return m_fileName; }
    void setFileName(const QString &fileName) { m_fileName = fileName; }
    // Link rows (path to text) as a file loaded over the unit brought them; null otherwise.
    const QMap<QString, QString> *fileLink() const { return m_fileLink ? &*m_fileLink : nullptr; }
    void setFileLink(const QMap<QString, QString> &texts) { m_fileLink = texts; }

    // Shows the model's values anew, after they were set outside the view.
    void reshow() { setModule(m_module); }
    // Paints every row from the model's changed flags; a value out of its
    // range or list gets badValueColor() and a tooltip saying what is allowed.
    void refreshColors();
    static QColor badValueColor();
    // The port word the unit holds: its rows pass whatever their codes.
    void setHeldPort(int word);
    // Asks for a free slot and adds a board of the type (1 … 10) there.
    void addSubmodule(int type);
    void deleteSelectedSubmodule();

    // Every edit of this view, to be undone and redone. Clean where the view
    // matches its base: the unit as last read or written (online), the file
    // as last saved (offline).
    QUndoStack *undoStack() const { return m_undoStack; }
    // Back to the base: through the stack while it reaches there, else
    // decoded anew from `base` (online) or loaded from the file.
    void revertAll();
    // Puts an edited device's parameters back and shows them; the edited row
    // gets `rowColor`. For the edit commands.
    void showParameterState(const ParameterState &state, Property *edited, const QColor &rowColor);
    // Takes a board out of the module, or puts one back. For the board commands.
    std::unique_ptr<Submodule> takeBoard(Submodule *board);
    void putBackBoard(std::unique_ptr<Submodule> board);

signals:
    void addMessage(const QString &msg);
    void addInfoProperty(const QString &info);
    void enableSave(bool param);

private slots:
    void setModule(Module *module);
    void removeSubmodule(Submodule *submodule);
    void valueChanged(BrowserProperty *qtproperty, const QVariant &value);
    void getInfoProperty(const QString &propertyName);

private:
    // Shared part of the constructors, before a model is attached.
    void setupView();
    void adopt(Module *module);

    // Drops every row, association and parameter of the view's own, so that
    // nothing points into the model any more.
    void clearTree();
    BrowserProperty *buildModuleProperty();
    BrowserProperty *buildErrorFlags(Property *parameter);
    BrowserProperty *buildSubmoduleProperty(Submodule *submodule);
    BrowserProperty *buildChannelProperty(Channel *channel);
    // The row of a parameter the tree shows, as its entry says; null for
    // one without an entry or not shown in the view's mode.
    BrowserProperty *buildRow(Property *parameter);

    BrowserProperty *addNumberProperty(const ParameterTree::Entry &entry, const QVariant &value);
    static void setRange(BrowserProperty *row, const ParameterTree::Entry &entry, double minimum,
                         double maximum);
    BrowserProperty *addEnumProperty(Property *parameter, const QMap<int, QString> &choices);
    BrowserProperty *addAddressProperty(const QString &name, const QString &text);
    BrowserProperty *addReadOnlyProperty(const QString &name, const QString &text);
    BrowserProperty *addGroup(const QString &name);
    // A parameter that only carries a device and a help key for its row.
    Property *ownProperty(const QString &name, Device *device);

    // An edit or a board added or removed.
    void markChanged();
    void colorItem(BrowserItem *item);
    // Marks a value out of its range or list; false when it is within.
    bool paintProblem(BrowserItem *item, const Property *parameter);
    void collapseBelow(BrowserItem *item);
    // The entry a list row shows for its parameter's value.
    int listIndex(const BrowserProperty *row, const Property *parameter) const;
    // An edited row's value as the text the parameter is set from.
    static QString editedText(const ParameterTree::Entry &entry, const QVariant &value);
    QString editText(const Property *parameter, BrowserProperty *row) const;
    void onUndoIndexChanged();

    std::unique_ptr<Ui::ModuleView> ui;
    TreePropertyBrowser *m_browser = nullptr; // child widget
    PropertyManager *m_manager = nullptr;     // child object
    // Rows that never take an editor; not connected to valueChanged.
    PropertyManager *m_readOnlyManager = nullptr; // child object
    PropertyEditorFactory *m_factory = nullptr;   // child object
    Module *m_module = nullptr;
    // m_module when the view owns it (mode bit 32 clear).
    std::unique_ptr<Module> m_ownedModule;
    ModuleTables m_tables;
    int m_heldPort = -1; // the unit's port word, -1 when no unit is known
    bool m_changed = false;
    bool m_unwritten = false;
    quint32 m_mode = 0;
    QString m_fileName;
    std::optional<QMap<QString, QString>> m_fileLink;
    std::vector<std::unique_ptr<Property>> m_ownProperties;
    QUndoStack *m_undoStack = nullptr; // child object
    bool m_showingState = false;       // rows are set from the model, not edited
    // List rows showing a value their list does not know: the value, kept
    // until an entry is picked, and the row's index of its own entry.
    struct UnknownChoice
    {
        QVariant value;
        int index;
    };
    QHash<const BrowserProperty *, UnknownChoice> m_unknownChoices;
    // The entry of each parameter the tree shows a row for.
    QHash<const Property *, ParameterTree::Entry> m_entries;
};

#endif // MODULEVIEW_H
