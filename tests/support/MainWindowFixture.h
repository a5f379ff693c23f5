#pragma once

#include "tests/support/RecordingPrompt.h"
#include "tests/support/TestCatalogue.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class Catalogue;
class SettingsStore;
class TfEdtDisk;
class TfMain;

// A fresh catalogue with a folder 1001 "Диски" (and the rows given), the main window
// connected to it on that folder, and a recording prompt.
class MainWindowFixture
{
public:
    MainWindowFixture();
    ~MainWindowFixture();

    // Empty on success, else what went wrong. The catalogue comes from backup, by default the
    // built template.
    QString start(const QStringList &rows = {}, const QString &backup = QString());

    TestCatalogue &catalogue() { return *m_catalogue; }
    TfMain &main() { return *m_main; }
    Catalogue &data();
    SettingsStore &store() { return *m_store; }
    RecordingPrompt &prompt() { return m_prompt; }

    // Moves the disk list to a disk; false when it is not in the current folder.
    bool locateDisk(int diskId);
    // The disk editor on the current disk row, shown but not modal.
    std::unique_ptr<TfEdtDisk> openEditor();
    // Makes a window the active one, as a click on it would, so that its shortcuts work.
    static bool activate(QWidget *window);
    // Runs act on the next modal widget once it is shown (checked every 10 ms).
    static void whenModal(const std::function<void(QWidget *)> &act);

    static const QString section;
    // Settings as a program that has run before leaves them, pointing at a catalogue: the
    // first show then connects instead of opening the installation dialog.
    static void prepareStore(SettingsStore &store, const QString &catalogue);

private:
    RecordingPrompt m_prompt;
    std::unique_ptr<TestCatalogue> m_catalogue;
    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<TfMain> m_main;
};
