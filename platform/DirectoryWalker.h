#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

// A depth-first walk of a folder that reports every entry before the contents of a folder,
// holding only the folders of the current path open. Symbolic links are reported and never
// followed, the start folder included; a folder that cannot be opened is reported without
// contents, and a listing that fails ends as if it were complete; both are counted as faults.
// The walk does not leave the file system of its start folder (a mount point below it is an
// empty folder, and no fault).
class DirectoryWalker
{
public:
    enum class Type { File, Directory, SymLink, Other };

    struct Entry
    {
        QByteArray rawName; // the name's bytes exactly as the file system gives them
        // The name as QFile::decodeName makes it. When the bytes are not valid UTF-8 it holds
        // the readable form instead: valid runs decoded, every invalid byte written as \xNN
        // (upper-case hex), so distinct names stay distinct and nothing is lost to U+FFFD.
        QString name;
        bool validUtf8 = true;
        Type type = Type::File;
        qint64 size = 0; // the file's size; 0 for folders, links, fifos, sockets, devices
        QDateTime modified; // local time, whole seconds
        int depth = 1; // 1 for entries right in the start folder
        qint64 id = 0; // numbered from 1 in walk order
        qint64 parentId = 0; // id of the folder that holds it; 0 for the start folder
        bool listable = true; // for a folder: whether its contents could be read
        QString folderPath; // readable path of the folder that holds it

        bool isDirectory() const { return type == Type::Directory; }
    };

    // Returns false to stop the walk.
    using Callback = std::function<bool(const Entry &)>;

    enum class Result { Finished, Stopped, StartFailed };

    // What a walk could not read.
    struct Faults
    {
        qint64 folders = 0; // folders that could not be opened or whose listing failed
        qint64 entries = 0; // entries listed whose details could not be read
    };

    // Walks the folder root; its own entry is not reported. Faults are added to faults.
    static Result walk(const QString &root, const Callback &callback, Faults *faults = nullptr);

    // Why root cannot start a walk (an errno value), 0 when it can.
    static int startError(const QString &root);

    // The name decoded for display, with the validity of its UTF-8 (see Entry::name).
    static QString readableName(const QByteArray &rawName, bool *validUtf8 = nullptr);

    // Makes listings fail as a scratched disc does, for tests: asked before each read of a
    // folder's listing with the folder's path and the number of entries it gave so far; an
    // errno other than 0 ends that listing with that error. An empty function removes it.
    using ListingFault = std::function<int(const QString &folderPath, qint64 listed)>;
    static void setListingFault(ListingFault fault);
};
