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
    explicit TestCatalogue(const QString &backup = templatePath());

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

    // Restores a backup file into dest with gbak; empty on success, else gbak's output.
    static QString restore(const QString &backup, const QString &dest);

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_error;
    bool m_ok = false;
};
