#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class SettingsStore;

// Keeps a window's placement (position, size, state) and a few integer properties in one
// section of the settings store: fsMain, fsEdtDisk, fsGive.
//
// It watches its form: the first show restores the layout before the form's own showEvent
// runs, closing or hiding the form saves it. placementRestored() and placementSaved() let
// the form restore and save its own values right after the layout, inside the same write.
//
// The form calls formDestroying() first thing in its destructor: that saves a layout not
// saved since it was restored (with Visible "1") while the form and its children still exist,
// and stops the storage watching a form that is coming apart.
class FormStorage : public QObject
{
    Q_OBJECT
public:
    FormStorage(QWidget *form, SettingsStore *store, const QString &section);
    ~FormStorage() override;

    QWidget *form() const { return m_form; }
    SettingsStore *store() const { return m_store; }
    QString section() const { return m_section; }

    // path names the property as "DBTreeView1.Width"; it is stored as DBTreeView1_Width.
    void addStoredProperty(const QString &path, std::function<int()> get,
                           std::function<void(int)> set);

    // Whether the layout has been restored; nothing is saved before.
    bool isRestored() const { return m_restored; }
    // Whether the store holds a place for the form, which the first show puts it at.
    bool hasStoredPlacement() const;
    void restoreFormPlacement();
    void saveFormPlacement();
    void formDestroying();

    // The name a position is stored under for the current screen: "NormPos(1024x768)".
    static QString screenName(const QString &name);
    // The screen density a layout is saved with and applies to.
    static int screenPixelsPerInch();

Q_SIGNALS:
    void placementRestored();
    void placementSaved();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct StoredProperty
    {
        QString name;
        std::function<int()> get;
        std::function<void(int)> set;
    };

    void restoreLayout();
    void save(bool destroying);
    void dialogFinished();
    QRect normalRect() const;
    QString readPosition(const QString &name) const;

    QPointer<QWidget> m_form;
    SettingsStore *m_store;
    QString m_section;
    QList<StoredProperty> m_properties;
    QMetaObject::Connection m_finished;
    bool m_restored = false;
    bool m_savedSinceRestore = false;
    bool m_savedOnClose = false;
};
