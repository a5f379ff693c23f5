#pragma once

#include <QObject>

class QWidget;

// A new user's first start, played inside the program through its windows as shown: on the
// installation dialog "Создать новую пустую базу", the report box's OK, the dialog's OK, then
// the main window is closed as the user closes it. A later start, which connects without the
// dialog, goes straight to the main window. With KODRA_DRIVER_HOLD naming a file, the main
// window is minimized instead and stays until that file exists, so that a second start can
// be seen to bring it back. Each step and every message box is written to standard error, for
// the package test to read.
class InstallDriver : public QObject
{
    Q_OBJECT

public:
    InstallDriver();

private:
    enum class Step { Create, Accept, Close, Hold, Done };

    void poll();
    bool eventFilter(QObject *watched, QEvent *event) override;
    static QWidget *mainWindow();
    static bool isConnected(QWidget *window);
    static QWidget *shownWindow(const QString &title);
    static void click(QWidget *window, const QString &text);
    static void say(const QString &line);

    Step m_step = Step::Create;
    QString m_holdFile;
};
