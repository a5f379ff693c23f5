#pragma once

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;

// The modeless dialog a disk read shows: the file being read, the running summary and a bar.
// Closing it (its close button or Esc) hides it, which is how the user stops a read.
class TfProgress : public QDialog
{
    Q_OBJECT

public:
    explicit TfProgress(QWidget *parent = nullptr);

    // A file was met: the path shown, the summary and the bar. The labels are repainted at
    // most every few milliseconds, so that a fast read does not spend its time laying out
    // text nobody can read; flush() shows the last values at once.
    void fileFound(const QString &path, qint64 files, qint64 bytes, qint64 capacity);
    void flush();
    // What the bar fills against: the space the volume's files take, so that a large file
    // system holding little fills it. 0 (unknown): the capacity.
    void setMeasure(qint64 usedBytes) { m_measure = usedBytes; }

    // "Всего найдено ... байт из ... байт" with both sizes formatted as "%15.0n".
    static QString summaryText(qint64 files, qint64 bytes, qint64 capacity);
    // A number with its thousands grouped by the locale, right-aligned in 15 characters.
    static QString groupedNumber(qint64 value);
    // trunc(bytes * 255 / capacity), 0 when the capacity is not positive.
    static int barPosition(qint64 bytes, qint64 capacity);

    QLabel *lRead = nullptr;
    QLabel *lSize = nullptr;
    QProgressBar *pbBar = nullptr;

private:
    QString m_path;
    qint64 m_files = 0;
    qint64 m_bytes = 0;
    qint64 m_capacity = 0;
    qint64 m_measure = 0;
    bool m_pending = false;
    QElapsedTimer m_sinceShown;
};
