#pragma once

#include <QString>

// Who follows a running service request: a dialog in the window program, the terminal in
// the command line one. The request itself cannot be cancelled on the server.
class ServiceWatch
{
public:
    virtual ~ServiceWatch() = default;

    virtual void begin(const QString &caption) = 0;
    // A line of the request's output, or an empty one while the request is quiet.
    virtual void output(const QString &line) = 0;
    virtual void end() = 0;
};
