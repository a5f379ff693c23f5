#pragma once

#include "disk/ReadWatch.h"
#include "disk/uProgress.h"

#include <QPointer>
#include <memory>

class QWidget;
class WaitCursor;

// The disk editor's side of a read: the progress dialog (the editor's child, closing it stops
// the read), the editor's contents disabled meanwhile, the busy cursors and the questions and
// notes in message boxes over the editor. editor may be null (tests, benchmarks).
class EditorReadWatch : public ReadWatch
{
public:
    explicit EditorReadWatch(QWidget *editor);
    ~EditorReadWatch() override;

    // The dialog of the running read; null outside a read.
    TfProgress *progress() const { return m_progress; }

    void lookingAtVolume(bool started) override;
    bool confirmDuplicates(const QString &text) override;
    void begin(qint64 usedBytes) override;
    void walking() override;
    bool goesOn() const override;
    void fileFound(const QString &path, qint64 files, qint64 bytes, qint64 capacity) override;
    void end() override;
    void stopped(const QString &text) override;

private:
    void enableEditor(bool enabled);

    QWidget *m_editor;
    QPointer<TfProgress> m_progress;
    std::unique_ptr<TfProgress> m_owned;
    std::unique_ptr<WaitCursor> m_wait;
};
