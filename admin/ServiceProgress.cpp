#include "admin/ServiceProgress.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>

ServiceProgress::ServiceProgress(QWidget *parent)
    : QDialog(parent), m_caption(new QLabel(this)), m_step(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Kodra"));
    setWindowModality(Qt::ApplicationModal);
    // No close button: the server finishes the request whatever the window does.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto *layout = new QVBoxLayout(this);
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    m_step->setMinimumWidth(420);
    m_step->setTextFormat(Qt::PlainText);
    layout->addWidget(m_caption);
    layout->addWidget(m_step);
}

void ServiceProgress::begin(const QString &caption)
{
    m_caption->setText(caption);
    m_step->clear();
    m_appeared = false;
    m_clock.start();
}

void ServiceProgress::output(const QString &line)
{
    QString step = line.trimmed();
    if (step.startsWith(QLatin1String("gbak:")))
        step = step.mid(5).trimmed();
    if (!step.isEmpty())
        m_step->setText(step);
    if (!isVisible() && m_clock.elapsed() >= m_minimumDuration) {
        show();
        m_appeared = true;
    }
    if (isVisible())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ServiceProgress::end()
{
    hide();
}

QString ServiceProgress::step() const
{
    return m_step->text();
}

QString ServiceProgress::caption() const
{
    return m_caption->text();
}
