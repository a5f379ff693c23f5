#pragma once

#include <QString>
#include <QtGlobal>

// Who follows a disk read: the editor's progress dialog and message boxes in the window
// program, the terminal in the command line one. The reader calls it on its own thread.
class ReadWatch
{
public:
    virtual ~ReadWatch() = default;

    // Around looking at the volume (its label, serial and size), which a slow drive delays.
    virtual void lookingAtVolume(bool started) = 0;
    // Whether to read although other disks carry the same serial; text names them.
    virtual bool confirmDuplicates(const QString &text) = 0;
    // The disk's record is about to change until end(); usedBytes is the space the volume's
    // files take (0: unknown).
    virtual void begin(qint64 usedBytes) = 0;
    // The walk and the writing have started: the editor's contents are off meanwhile.
    virtual void walking() = 0;
    // False once the read is to stop; asked before every entry.
    virtual bool goesOn() const = 0;
    virtual void fileFound(const QString &path, qint64 files, qint64 bytes, qint64 capacity) = 0;
    // The walk is over or failed; called once for each begin().
    virtual void end() = 0;
    // The read was stopped before the walk's end; text says how much was read.
    virtual void stopped(const QString &text) = 0;
};
