#include "search/uFind.h"

#include "app/Catalogue.h"
#include "app/ConnectionSettings.h"
#include "searchindex/IndexText.h"
#include "searchindex/IndexedFind.h"
#include "store/DbError.h"
#include "widgets/DBGrid.h"
#include "widgets/ErrorBox.h"
#include "widgets/GridPrinter.h"
#include "widgets/ScreenCentre.h"

#include <QApplication>
#include <QBoxLayout>
#include <QEventLoop>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>

namespace {

constexpr int kPanelHeight = 57;
constexpr int kInputWidth = 221;
constexpr int kButtonWidth = 79;
constexpr int kButtonHeight = 33;
// Room right of "Закрыть"; the window is as wide as the panel with it.
constexpr int kRightMargin = 10;
// A stop can come just before the server call it should end has started: it is repeated
// until the rows are in.
constexpr int kStopRepeatMs = 100;

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

TfFind::TfFind(Catalogue &data, QWidget *parent, SettingsStore *store)
    : QDialog(parent),
      m_data(data),
      m_search(data.DefDatabase(), &data.searchIndex()),
      dtFind(m_search.results())
{
    setObjectName(QStringLiteral("fFind"));
    if (store)
        m_placement = std::make_unique<FormStorage>(
            this, store, ConnectionSettings::section + QStringLiteral("\\Find"));
    setWindowTitle(QStringLiteral("Найти..."));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setModal(true);

    dtFind.setFetchWait(
        [this](QThread &worker, const std::function<void()> &stop) { waitForRows(worker, stop); });

    // The sizes are pixels for a font with digits 6 pixels wide; a larger font scales them.
    const qreal scale = qMax<qreal>(1.0, fontMetrics().horizontalAdvance(QLatin1Char('0')) / 6.0);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QWidget *top = createTopPanel(scale);
    layout->addWidget(top);
    createGrid();
    layout->addWidget(DBGridEh1, 1);

    // Tab goes round the inputs and the grid; the buttons are reached by Enter, Esc and the
    // mouse only.
    setTabOrder(eDisk, eFile);
    setTabOrder(eFile, DBGridEh1);
    eDisk->setFocus();

    const int width = top->sizeHint().width();
    resize(width, int(width * 0.68));
}

TfFind::~TfFind()
{
    if (m_placement)
        m_placement->formDestroying();
    try {
        dtFind.close();
    } catch (const DbError &) {
        // A connection that has gone away has nothing left to keep.
    }
}

QWidget *TfFind::createTopPanel(qreal scale)
{
    auto px = [scale](int pixels) { return int(pixels * scale); };
    auto *panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("pTop"));
    panel->setFixedHeight(qMax(px(kPanelHeight), 2 * fontMetrics().height() + 16));
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 4, kRightMargin, 4);
    row->setSpacing(8);

    auto *inputs = new QGridLayout;
    inputs->setHorizontalSpacing(6);
    inputs->setVerticalSpacing(2);
    auto input = [&](const char *name, const QString &label, int line) {
        auto *edit = new QLineEdit(panel);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setFixedWidth(px(kInputWidth));
        auto *caption = new QLabel(label, panel);
        caption->setBuddy(edit);
        inputs->addWidget(caption, line, 0);
        inputs->addWidget(edit, line, 1);
        connect(edit, &QLineEdit::textChanged, this, [this] { m_inputsChanged = true; });
        return edit;
    };
    eDisk = input("eDisk", QStringLiteral("Искать диск:"), 0);
    eFile = input("eFile", QStringLiteral("Содержащий файл:"), 1);
    // No longer than a disk's or a file's name can be: a longer text finds nothing, and the
    // server would refuse it.
    eDisk->setMaxLength(IndexedFind::MaxDiskText);
    eFile->setMaxLength(IndexText::MaxName);
    row->addLayout(inputs);

    auto button = [&](const char *name, const QString &text) {
        auto *b = new QPushButton(text, panel);
        b->setObjectName(QString::fromLatin1(name));
        b->setFixedSize(px(kButtonWidth), px(kButtonHeight));
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoDefault(false);
        row->addWidget(b, 0, Qt::AlignVCenter);
        return b;
    };
    row->addSpacing(8);
    BitBtn3 = button("BitBtn3", QStringLiteral("Печать.."));
    BitBtn1 = button("BitBtn1", QStringLiteral("Найти.."));
    bClose = button("bClose", QStringLiteral("Закрыть"));
    row->setSpacing(2);
    BitBtn1->setDefault(true);
    connect(BitBtn3, &QPushButton::clicked, this, &TfFind::BitBtn3Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TfFind::BitBtn1Click);
    connect(bClose, &QPushButton::clicked, this, &TfFind::reject);
    return panel;
}

void TfFind::createGrid()
{
    using Column = DataSetModel::Column;
    auto column = [](const char *field, const QString &title, int width, bool stretch,
                     Qt::Alignment alignment = {}) {
        Column c;
        c.fieldName = QString::fromLatin1(field);
        c.title = title;
        c.width = width;
        c.stretch = stretch;
        c.alignment = alignment;
        c.readOnly = true;
        return c;
    };
    // The paths are right-aligned: the end of a long path stays in view in a narrow column.
    const Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    DBGridEh1 = new DBGrid(this);
    DBGridEh1->setObjectName(QStringLiteral("DBGridEh1"));
    DBGridEh1->setDataSet(&dtFind,
                          {column("FFOLDERFULL", QStringLiteral("Папка"), 118, true, right),
                           column("FDISK", QStringLiteral("Диск"), 110, true, left),
                           column("FDISKCOMMENT", QStringLiteral("Содержание"), 66, true, left),
                           column("FDISKDATE", QStringLiteral("Приобретен"), 67, false),
                           column("FCONTENTFULL", QStringLiteral("Файл"), 132, true, right),
                           column("FCONTENTDATE", QStringLiteral("Дата"), 57, false),
                           column("FCONTENTSIZE", QStringLiteral("Размер"), 56, false)});
    DBGridEh1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGridEh1->setAppendOnDown(false);
    DBGridEh1->setShowGrid(false);
    DBGridEh1->setRangeSelect(true);
    DBGridEh1->setTabKeyNavigation(false);
    DBGridEh1->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    connect(DBGridEh1, &DBGrid::activatedByKey, this, &TfFind::BitBtn1Click);
}

void TfFind::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // A place the user left it at wins over the centre of the screen.
    if (m_placement && m_placement->hasStoredPlacement())
        return;
    moveToScreenCentre(*this);
}

void TfFind::BitBtn1Click()
{
    if (m_searching)
        return;
    runCommand(this, [this] {
        WaitCursor wait;
        if (m_inputsChanged)
            search();
        else if (dtFind.isOpen())
            jump();
    });
}

void TfFind::search()
{
    m_indexed = m_search.find(eFile->text(), eDisk->text());
    m_inputsChanged = false;
    if (DBGridEh1->isVisible() && DBGridEh1->isEnabled())
        DBGridEh1->setFocus();
}

void TfFind::jump()
{
    // An empty result has no disk to go to: the main window stays as it is.
    if (!dtFind.isEmpty())
        m_data.goTo(dtFind.fieldByName(QStringLiteral("FFOLDERID")).asInteger(),
                    dtFind.fieldByName(QStringLiteral("FDISKID")).asInteger());
    accept();
}

void TfFind::BitBtn3Click()
{
    if (m_searching)
        return;
    GridPrinter::preview(DBGridEh1, this);
}

void TfFind::stopSearch()
{
    if (!m_searching || !m_stop)
        return;
    m_stopping = true;
    m_stop();
}

void TfFind::waitForRows(QThread &worker, const std::function<void()> &stop)
{
    m_stop = stop;
    m_searching = true;
    m_stopping = false;
    // While the server looks, the window paints and Esc stops the search; other input waits
    // for nothing: it would act on rows that are still coming.
    qApp->installEventFilter(this);
    QEventLoop loop;
    connect(&worker, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer repeat;
    repeat.setInterval(kStopRepeatMs);
    connect(&repeat, &QTimer::timeout, this, [this] {
        if (m_stopping && m_stop)
            m_stop();
    });
    repeat.start();
    if (!worker.isFinished())
        loop.exec();
    qApp->removeEventFilter(this);
    m_searching = false;
    m_stopping = false;
    m_stop = nullptr;
    if (m_closeAfterSearch) {
        m_closeAfterSearch = false;
        QMetaObject::invokeMethod(this, &TfFind::reject, Qt::QueuedConnection);
    }
}

bool TfFind::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_searching)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::Close && watched == this) {
        // Closing waits for the search to stop.
        m_closeAfterSearch = true;
        stopSearch();
        event->ignore();
        return true;
    }
    if (!isUserInput(event->type()))
        return false;
    if (event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape)
        stopSearch();
    // "Закрыть" stops the search and closes the window once it has stopped.
    if (event->type() == QEvent::MouseButtonRelease && watched == bClose) {
        m_closeAfterSearch = true;
        stopSearch();
    }
    return true;
}
