#pragma once

class QCoreApplication;

// Qt's own texts (OK and Cancel of the questions, the file and print dialogs, the print
// preview) in Russian, as the rest of the program is.
class QtTranslation
{
public:
    // Installs Qt's Russian translation into app; false when it is not installed on this
    // machine, in which case those texts stay English.
    static bool installRussian(QCoreApplication &app);
};
