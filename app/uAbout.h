#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class Catalogue;
class QLabel;
class QPushButton;

// The about box: program, catalogue and client versions, build date, the author's links.
class TfAbout : public QDialog
{
    Q_OBJECT

public:
    TfAbout(Catalogue &data, QWidget *parent = nullptr);

    static const QString mailAddress;
    static const QString webAddress;

    QLabel *lVer = nullptr;
    QLabel *lVerClt = nullptr;
    QLabel *lDate = nullptr;
    QLabel *lMail = nullptr;
    QLabel *lWeb = nullptr;
    QPushButton *bOK = nullptr;

    // How a link is opened; the desktop's handler unless a test replaces it.
    std::function<void(const QUrl &)> openUrl;

private:
    void openLink(const QString &link);
};
