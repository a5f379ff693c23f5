#pragma once

#include "admin/ServiceWatch.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;

// Shows what a running backup, restore or user request is doing, once it has run for a while;
// keeps the windows painted meanwhile. The request cannot be cancelled on the server.
class ServiceProgress : public QDialog, public ServiceWatch
{
    Q_OBJECT

public:
    explicit ServiceProgress(QWidget *parent = nullptr);

    // How long a request runs before the dialog appears (half a second by default).
    void setMinimumDuration(int ms) { m_minimumDuration = ms; }

    void begin(const QString &caption) override;
    void output(const QString &line) override;
    void end() override;

    QString step() const;
    QString caption() const;
    // Whether the dialog appeared during the last request.
    bool appeared() const { return m_appeared; }

private:
    QLabel *m_caption;
    QLabel *m_step;
    QElapsedTimer m_clock;
    int m_minimumDuration = 500;
    bool m_appeared = false;
};
