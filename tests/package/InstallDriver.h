#pragma once

#include <QObject>

class QWidget;

// A new user's first start, played inside the program through its windows as shown: on the
// installation dialog "Создать новую пустую базу", the report box's OK, the dialog's OK, then
// the main window is closed as the user closes it. Each step and every message box is written
// to standard error, for the package test to read.
class InstallDriver : public QObject
{
    Q_OBJECT

public:
    InstallDriver();

private:
    enum class Step { Create, Accept, Close, Done };

    void poll();
    static QWidget *shownWindow(const QString &title);
    static void click(QWidget *window, const QString &text);
    static void say(const QString &line);

    Step m_step = Step::Create;
};
