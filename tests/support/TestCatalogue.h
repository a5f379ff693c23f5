#pragma once

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantList>
#include <memory>

class Connection;

// A fresh catalogue restored from the built template (or another backup) into a temporary
// folder (embedded).
class TestCatalogue
{
public:
    // The template's own folders, or none: for fixtures that build a folder tree of their own.
    enum class Folders { Template, None };
    explicit TestCatalogue(Folders folders = Folders::Template);
    // A catalogue restored from another backup.
    explicit TestCatalogue(const QString &backup, Folders folders = Folders::Template);
    ~TestCatalogue();

    // The top-level folder every new catalogue starts with.
    static constexpr int startFolderId = 16;
    static QString startFolderName();

    bool isValid() const { return m_ok; }
    const QString &error() const { return m_error; }
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    static QStringList params();
    static QString templatePath();

    // A connection set up for this catalogue, not yet connected.
    std::unique_ptr<Connection> connection() const;
    void configure(Connection &connection) const;
    // Runs statements on a connection of their own, committed at once.
    void exec(const QStringList &statements) const;
    // First column of the first row of a select, on a connection of its own.
    QVariant scalar(const QString &select) const;
    // Every row of a select, on a connection of its own.
    QList<QVariantList> rows(const QString &select) const;
    // The same on any catalogue file.
    static QList<QVariantList> rowsIn(const QString &path, const QString &select);

    // Restores a backup file into dest with gbak; empty on success, else gbak's output.
    static QString restore(const QString &backup, const QString &dest);

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_error;
    bool m_ok = false;
};
