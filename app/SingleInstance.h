#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <memory>

// One running copy per user and catalogue: the first start listens on a socket in the user's
// runtime folder named after the catalogue; a later start finds it there, asks it to come to
// the front and ends.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // folder: where the socket lies (the user's runtime folder); catalogue: the connection's
    // database name.
    SingleInstance(const QString &folder, const QString &catalogue, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Asks a running copy to come to the front; true when one answered. Otherwise this copy
    // becomes the one that listens (a socket left by a copy that died is taken over).
    bool handOver();
    QString socketPath() const { return m_path; }

    // The socket's path for a catalogue.
    static QString socketPath(const QString &folder, const QString &catalogue);

Q_SIGNALS:
    // A later start asked this copy to show itself.
    void activationRequested();

private:
    void accept();

    QString m_path;
    QLocalServer m_server;
};
