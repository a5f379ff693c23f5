#include "admin/FileNameEdit.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

FileNameEdit::FileNameEdit(const FilePickRequest &picker, QWidget *parent)
    : QWidget(parent),
      m_edit(new QLineEdit(this)),
      m_browse(new QToolButton(this)),
      m_picker(picker)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit);
    layout->addWidget(m_browse);
    m_browse->setText(QStringLiteral("…"));
    m_browse->setIcon(QIcon::fromTheme(QStringLiteral("document-open")));
    // The field takes the focus; its button is reached with the mouse, as in a file-name edit.
    m_browse->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(m_edit);
    connect(m_browse, &QToolButton::clicked, this, &FileNameEdit::browse);
}

QString FileNameEdit::text() const
{
    return m_edit->text();
}

void FileNameEdit::setText(const QString &text)
{
    m_edit->setText(text);
}

QString FileNameEdit::fileNameOf(const QString &text)
{
    if (!text.isEmpty() && QFileInfo::exists(text))
        return text;
    qsizetype i = 0;
    while (i < text.size() && text.at(i).unicode() <= ' ')
        ++i;
    QString argument;
    bool quoted = false;
    for (; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && c.unicode() <= ' ')
            break;
        else
            argument += c;
    }
    return argument;
}

QString FileNameEdit::fieldText(const QString &path)
{
    if (path.contains(QLatin1Char(' ')))
        return QLatin1Char('"') + path + QLatin1Char('"');
    return path;
}

void FileNameEdit::browse()
{
    FilePickRequest request = m_picker;
    const QString current = fileName();
    request.folder = current.isEmpty() ? QDir::currentPath() : QFileInfo(current).absolutePath();
    const QString picked = FilePicker::instance().pick(window(), request);
    if (!picked.isEmpty())
        m_edit->setText(fieldText(QDir::toNativeSeparators(picked)));
}
