#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The per-user settings: sections addressed by a key path such as "Software\Brenk\Kodra",
// each holding named text values. Section and value names are compared without regard to
// letter case; the spelling written first is kept. Kept as an INI file readable only by its
// owner (it holds the database password), replaced atomically on every write so that a
// program killed right after a write keeps it.
class SettingsStore
{
public:
    explicit SettingsStore(const QString &filePath = defaultPath());

    static QString defaultPath();
    QString fileName() const { return m_fileName; }

    // True while no value is stored: the file is missing, unreadable or holds none.
    bool isEmpty() const;
    bool contains(const QString &section, const QString &name) const;
    // The names of a section's values, as first written; empty when there is no such section.
    QStringList valueNames(const QString &section) const;
    // A section that moved: when to holds no value yet, the values of from are copied there
    // (from stays as it is). True when something was copied.
    bool adoptSection(const QString &from, const QString &to);

    QString readString(const QString &section, const QString &name, const QString &def) const;
    void writeString(const QString &section, const QString &name, const QString &value);
    // A missing value or one that is not a decimal number reads as def.
    int readInteger(const QString &section, const QString &name, int def) const;
    void writeInteger(const QString &section, const QString &name, int value);
    bool readBool(const QString &section, const QString &name, bool def) const;
    void writeBool(const QString &section, const QString &name, bool value);

    // With auto-flush off, writes are kept until flush(); a window saving its whole layout
    // thus replaces the file once. On by default.
    bool autoFlush() const { return m_autoFlush; }
    void setAutoFlush(bool on);
    // Writes the values changed since the last successful flush over what the file holds now,
    // so that several stores on one file do not undo each other's sections.
    bool flush();

    // Why the last read of the file or the last flush failed; empty once a flush succeeds.
    QString lastError() const { return m_lastError; }

private:
    struct Value
    {
        QString name;
        QString text;
    };
    struct Section
    {
        QString name;
        QList<Value> values;
    };
    using Sections = QList<Section>;
    struct Change
    {
        QString section;
        QString name;
        QString text;
    };

    enum class LoadResult { Loaded, Missing, Failed };
    LoadResult load(Sections *sections, QString *error) const;
    static Sections parse(const QByteArray &data);
    static QByteArray serialize(const Sections &sections);
    static void setValue(Sections *sections, const QString &section, const QString &name,
                         const QString &text);
    const Value *findValue(const QString &section, const QString &name) const;

    QString m_fileName;
    Sections m_sections;
    QList<Change> m_pending;
    QString m_lastError;
    bool m_autoFlush = true;
};
