#pragma once

#include "app/ConnectionSettings.h"
#include "app/LocalCatalogueGuard.h"

class Catalogue;
class SettingsStore;

// The program's session on its catalogue: the five connection settings held in memory,
// connecting with the version check and the return to the last folder and disk, and saving
// the settings with the current folder and disk. The main window's commands run through it.
class CatalogueSession
{
public:
    // The schema version this program works with.
    static const QString version;

    CatalogueSession(Catalogue &data, SettingsStore &store);

    ConnectionSettings &settings() { return m_settings; }
    SettingsStore &store() { return m_store; }

    // The connection settings from the store, defaults where none are stored.
    void readSettings();
    // Connects with the settings in memory and checks the catalogue's version; on a match
    // opens the folder and disk lists on the stored folder and disk and returns true. A
    // version that does not match leaves the lists closed and returns false (foundVersion()
    // tells it). Throws the server's error when the connection fails; a local catalogue that
    // another account owns or another program holds fails with a Russian sentence before the
    // engine's text.
    bool connect();
    // The connection and the version check alone, for callers that open no lists: whether
    // the catalogue's version is this program's.
    bool open();
    QString foundVersion() const { return m_foundVersion; }
    // The message of a catalogue whose version this program does not work with.
    static QString wrongVersionText(const QString &found);
    static QString wrongVersionCaption();
    // Whether the settings store holds a saved layout: a program that has run before.
    bool hasRunBefore() const;
    // The settings in memory, then the current folder and disk of the lists that are open.
    void saveSettings();

private:
    Catalogue &m_data;
    SettingsStore &m_store;
    ConnectionSettings m_settings;
    QString m_foundVersion;
    // A local catalogue stays locked from the connect on, until another one is connected.
    LocalCatalogueGuard m_guard;
};
