#include "widgets/FormStorage.h"

#include "platform/SettingsStore.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QScreen>

namespace {

const QString FormVersion = QStringLiteral("FormVersion");
const QString Flags = QStringLiteral("Flags");
const QString ShowCmd = QStringLiteral("ShowCmd");
const QString PixelsPerInch = QStringLiteral("PixelsPerInch");
const QString MinMaxPos = QStringLiteral("MinMaxPos");
const QString NormPos = QStringLiteral("NormPos");
const QString Visible = QStringLiteral("Visible");

// Window states as the stored ShowCmd numbers them.
enum ShowCommand { ShowNormal = 1, ShowMinimized = 2, ShowMaximized = 3 };

constexpr Qt::WindowStates SizeStates
    = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

QString positionText(int a, int b, int c, int d)
{
    return QStringLiteral("%1,%2,%3,%4").arg(a).arg(b).arg(c).arg(d);
}

// Each of the four numbers that is missing or not a number keeps its fallback.
std::array<int, 4> positionNumbers(const QString &text, const std::array<int, 4> &fallback)
{
    std::array<int, 4> numbers = fallback;
    const QStringList parts = text.split(u',');
    for (qsizetype i = 0; i < parts.size() && i < 4; ++i) {
        bool ok = false;
        const int number = parts.at(i).trimmed().toInt(&ok, 10);
        if (ok)
            numbers[i] = number;
    }
    return numbers;
}

Qt::WindowStates stateForShowCmd(int showCmd)
{
    switch (showCmd) {
    case 2:
    case 6:
    case 7:
        return Qt::WindowMinimized;
    case 3:
        return Qt::WindowMaximized;
    default: // 1, 5, 9 and anything unknown
        return Qt::WindowNoState;
    }
}

} // namespace

FormStorage::FormStorage(QWidget *form, SettingsStore *store, const QString &section)
    : QObject(form), m_form(form), m_store(store), m_section(section)
{
    Q_ASSERT(form && store);
    form->installEventFilter(this);
    // A dialog that finishes hides without a close event.
    if (auto *dialog = qobject_cast<QDialog *>(form))
        m_finished = connect(dialog, &QDialog::finished, this, &FormStorage::dialogFinished);
}

FormStorage::~FormStorage() = default;

void FormStorage::dialogFinished()
{
    if (!m_savedOnClose)
        save(false);
    m_savedOnClose = false;
}

void FormStorage::addStoredProperty(const QString &path, std::function<int()> get,
                                    std::function<void(int)> set)
{
    QString name = path;
    name.replace(u'.', u'_');
    m_properties.append({name, std::move(get), std::move(set)});
}

QString FormStorage::screenName(const QString &name)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize(0, 0);
    return QStringLiteral("%1(%2x%3)").arg(name).arg(size.width()).arg(size.height());
}

int FormStorage::screenPixelsPerInch()
{
    // The primary screen, not the form's: a window saved on a second monitor must find its
    // layout again before it is shown there.
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? qRound(screen->logicalDotsPerInch()) : 96;
}

void FormStorage::restoreFormPlacement()
{
    if (!m_form)
        return;
    m_restored = true;
    m_savedSinceRestore = false;
    if (m_store->readInteger(m_section, FormVersion, 0) >= 0)
        restoreLayout();
    Q_EMIT placementRestored();
}

void FormStorage::restoreLayout()
{
    // Flags and MinMaxPos are kept for the file's sake: a Qt window has no settable
    // minimized or maximized position.
    const QRect current = normalRect();
    const bool found = !readPosition(MinMaxPos).isEmpty() || !readPosition(NormPos).isEmpty();
    const Qt::WindowStates state = stateForShowCmd(m_store->readInteger(m_section, ShowCmd, 0));
    const Qt::WindowStates others = m_form->windowState() & ~SizeStates;

    if (found && m_store->readInteger(m_section, PixelsPerInch, 0) == screenPixelsPerInch()) {
        const auto [left, top, right, bottom]
            = positionNumbers(readPosition(NormPos),
                              {current.left(), current.top(), current.left() + current.width(),
                               current.top() + current.height()});
        if (left < right) {
            // The rectangle is the normal one: leave any other state before applying it.
            if (m_form->windowState() & SizeStates)
                m_form->setWindowState(others);
            const bool resizable = m_form->minimumSize() != m_form->maximumSize();
            if (resizable)
                m_form->setGeometry(left, top, right - left, qMax(0, bottom - top));
            else
                m_form->setGeometry(left, top, current.width(), current.height());
        }
    }
    m_form->setWindowState(others | state);

    for (const StoredProperty &property : std::as_const(m_properties)) {
        if (m_store->contains(m_section, property.name))
            property.set(m_store->readInteger(m_section, property.name, property.get()));
    }
}

void FormStorage::saveFormPlacement()
{
    save(false);
}

void FormStorage::formDestroying()
{
    // From here on the form is coming apart: nothing it does reaches the storage any more.
    if (m_form)
        m_form->removeEventFilter(this);
    disconnect(m_finished);
    if (m_restored && !m_savedSinceRestore)
        save(true);
}

void FormStorage::save(bool destroying)
{
    if (!m_restored || !m_form)
        return;

    // One write of the file for the layout and what the form adds to it.
    const bool autoFlush = m_store->autoFlush();
    m_store->setAutoFlush(false);
    const auto restoreAutoFlush = qScopeGuard([this, autoFlush] {
        m_store->flush();
        m_store->setAutoFlush(autoFlush);
    });

    const Qt::WindowStates state = m_form->windowState();
    int showCmd = ShowNormal;
    if (state & Qt::WindowMinimized)
        showCmd = ShowMinimized;
    else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        showCmd = ShowMaximized;
    const QRect normal = normalRect();
    const QString minMaxPos = positionText(-1, -1, -1, -1);
    const QString normPos
        = positionText(normal.left(), normal.top(), normal.left() + normal.width(),
                       normal.top() + normal.height());

    m_store->writeInteger(m_section, FormVersion, 0);
    m_store->writeInteger(m_section, Flags, 0);
    m_store->writeInteger(m_section, ShowCmd, showCmd);
    m_store->writeInteger(m_section, PixelsPerInch, screenPixelsPerInch());
    m_store->writeString(m_section, screenName(MinMaxPos), minMaxPos);
    m_store->writeString(m_section, MinMaxPos, minMaxPos);
    m_store->writeString(m_section, screenName(NormPos), normPos);
    m_store->writeString(m_section, NormPos, normPos);
    m_store->writeBool(m_section, Visible, destroying);
    for (const StoredProperty &property : std::as_const(m_properties))
        m_store->writeInteger(m_section, property.name, property.get());
    m_savedSinceRestore = true;
    Q_EMIT placementSaved();
}

bool FormStorage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_form) {
        switch (event->type()) {
        case QEvent::Show:
            if (!m_restored)
                restoreFormPlacement();
            m_savedOnClose = false;
            break;
        case QEvent::Close:
            // Before the form's closeEvent, while what it saves with the layout is still open.
            save(false);
            m_savedOnClose = true;
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

QRect FormStorage::normalRect() const
{
    const QRect normal = m_form->normalGeometry();
    return normal.isValid() ? normal : m_form->geometry();
}

bool FormStorage::hasStoredPlacement() const
{
    // As the restore: a place saved at another screen density is not used.
    return !readPosition(NormPos).isEmpty()
        && m_store->readInteger(m_section, PixelsPerInch, 0) == screenPixelsPerInch();
}

QString FormStorage::readPosition(const QString &name) const
{
    const QString text = m_store->readString(m_section, screenName(name), QString());
    return text.isEmpty() ? m_store->readString(m_section, name, QString()) : text;
}
