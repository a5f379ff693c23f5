#pragma once

#include "app/Catalogue.h"
#include "app/CatalogueSession.h"
#include "cli/RowWriter.h"
#include "platform/SettingsStore.h"

#include <QCommandLineParser>
#include <QStringList>

#include <memory>

// kodra-cli: the catalogue's searches, lists, reads and copies from a terminal or a script,
// over the same libraries, settings and catalogue as the window program. Each command takes
// the common options (--database, --user, --password-file, --format) and its own, and ends
// with an exit code: 0 done, 1 error, 2 usage, 3 read incomplete, 4 nothing found.
class CliProgram
{
public:
    // arguments: the whole command line, the program's name first.
    explicit CliProgram(const QStringList &arguments);
    ~CliProgram();

    // Runs the command; the exit code. Messages go to stderr.
    int run();

    static QStringList commands();
    // The whole program's help, and one command's.
    static QString help();
    QString commandHelp() const;

private:
    struct Command
    {
        const char *name;
        const char *synopsis;
        const char *summary;
    };
    static const std::vector<Command> &table();

    void addOptions();
    // Throws CliFailure(Usage) for what the command does not take.
    void parse();
    QString positional(int count, const char *what) const;
    // The connection settings: the window program's, then the options.
    void readSettings();
    // withIndex: the search index is loaded on connecting, as the window program loads it;
    // commands that do not search spare its loading and checks.
    void connect(bool withIndex = false);
    // --progress, or stderr is a terminal.
    bool showProgress() const;
    RowWriter writer(QList<RowWriter::Column> columns) const;
    int folderOption(const char *option);

    int find();
    int disks();
    int folders();
    int lent();
    int stat();
    int which();
    int read();
    int backup();
    int restore();

    QStringList m_arguments;
    QString m_command;
    QCommandLineParser m_parser;
    RowWriter::Format m_format = RowWriter::Format::Text;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<Catalogue> m_data;
    std::unique_ptr<CatalogueSession> m_session;
};
