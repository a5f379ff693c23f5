#include "disk/EditorReadWatch.h"

#include "app/GracefulExit.h"
#include "disk/uProgress.h"
#include "widgets/ErrorBox.h"
#include "widgets/Prompt.h"

#include <QApplication>
#include <QWidget>

EditorReadWatch::EditorReadWatch(QWidget *editor) : m_editor(editor) { }

EditorReadWatch::~EditorReadWatch() = default;

void EditorReadWatch::lookingAtVolume(bool started)
{
    if (started)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

bool EditorReadWatch::confirmDuplicates(const QString &text)
{
    return Prompt::instance().message(m_editor, text, QStringLiteral("Уже внесен !"),
                                      QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void EditorReadWatch::begin(qint64 usedBytes)
{
    m_wait = std::make_unique<WaitCursor>();
    m_owned = std::make_unique<TfProgress>(m_editor);
    m_owned->setMeasure(usedBytes);
    m_progress = m_owned.get();
}

void EditorReadWatch::walking()
{
    m_progress->show();
    enableEditor(false);
}

bool EditorReadWatch::goesOn() const
{
    return m_progress && m_progress->isVisible();
}

void EditorReadWatch::fileFound(const QString &path, qint64 files, qint64 bytes, qint64 capacity)
{
    if (m_progress)
        m_progress->fileFound(path, files, bytes, capacity);
}

void EditorReadWatch::end()
{
    if (m_editor) {
        enableEditor(true);
        m_editor->raise();
        m_editor->activateWindow();
    }
    m_owned.reset();
    m_wait.reset();
}

void EditorReadWatch::stopped(const QString &text)
{
    // A read stopped on the way out of the program waits for no answer.
    if (!GracefulExit::isEnding())
        Prompt::instance().message(m_editor, text, QStringLiteral("Kodra"),
                                   QMessageBox::Information, QMessageBox::Ok);
}

void EditorReadWatch::enableEditor(bool enabled)
{
    if (!m_editor)
        return;
    // The window's contents, not the window: disabling it would disable the progress dialog,
    // its child, too, and a window outside it is blocked by the modal editor.
    const auto children = m_editor->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    for (QWidget *child : children) {
        if (!child->isWindow())
            child->setEnabled(enabled);
    }
}
