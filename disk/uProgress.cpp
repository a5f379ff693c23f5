#include "disk/uProgress.h"

#include "widgets/ScreenCentre.h"

#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QProgressBar>
#include <QVBoxLayout>

namespace {
constexpr int kRepaintMs = 40;

// A path breaks anywhere when it is too long for a line: most have no blanks to break at.
class PathLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere,
                         text());
    }
};
} // namespace

TfProgress::TfProgress(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fProgress"));
    setWindowTitle(QStringLiteral("Процесс..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setModal(false);

    auto *title = new QLabel(QStringLiteral("Процесс чтения файлов..."), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    lSize = new QLabel(QStringLiteral("Размер"), this);
    lSize->setObjectName(QStringLiteral("lSize"));
    lSize->setTextFormat(Qt::PlainText);
    // Wide enough for the longest summary in this font: the numbers are padded to 15.
    const int textWidth = lSize->fontMetrics().horizontalAdvance(
        summaryText(9999999, Q_INT64_C(999999999999999), Q_INT64_C(999999999999999)));
    const int width = qMax(450, textWidth + 12);

    lRead = new PathLabel(QStringLiteral("Что"), this);
    lRead->setObjectName(QStringLiteral("lRead"));
    lRead->setFixedSize(width - 21, 65);
    lRead->setTextFormat(Qt::PlainText);

    pbBar = new QProgressBar(this);
    pbBar->setObjectName(QStringLiteral("pbBar"));
    pbBar->setRange(0, 256);
    pbBar->setValue(0);
    pbBar->setTextVisible(false);
    pbBar->setFixedSize(width - 9, 14);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 4, 5);
    layout->setSpacing(4);
    layout->addWidget(title);
    layout->addWidget(lRead);
    layout->addWidget(lSize);
    layout->addWidget(pbBar);
    layout->addStretch();
    setFixedSize(width, qMax(139, layout->sizeHint().height()));

    moveToScreenCentre(*this);
    m_sinceShown.start();
}

QString TfProgress::groupedNumber(qint64 value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale.toString(value).rightJustified(15, QLatin1Char(' '));
}

QString TfProgress::summaryText(qint64 files, qint64 bytes, qint64 capacity)
{
    return QStringLiteral("Всего найдено ") + QString::number(files)
        + QStringLiteral(" файлов, объемом ") + groupedNumber(bytes) + QStringLiteral(" байт из ")
        + groupedNumber(capacity) + QStringLiteral(" байт");
}

int TfProgress::barPosition(qint64 bytes, qint64 capacity)
{
    if (capacity <= 0)
        return 0;
    const __int128 position = static_cast<__int128>(bytes) * 255 / capacity;
    return position < 0 ? 0 : position > 256 ? 256 : int(position);
}

void TfProgress::fileFound(const QString &path, qint64 files, qint64 bytes, qint64 capacity)
{
    m_path = path;
    m_files = files;
    m_bytes = bytes;
    m_capacity = capacity;
    m_pending = true;
    if (m_sinceShown.elapsed() >= kRepaintMs)
        flush();
}

void TfProgress::flush()
{
    if (!m_pending)
        return;
    m_pending = false;
    m_sinceShown.restart();
    const qint64 measure = m_measure > 0 ? m_measure : m_capacity;
    if (measure > 0)
        pbBar->setValue(barPosition(m_bytes, measure));
    lRead->setText(m_path);
    lSize->setText(summaryText(m_files, m_bytes, m_capacity));
}
