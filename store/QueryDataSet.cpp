#include "store/QueryDataSet.h"

#include "store/DbError.h"
#include "store/Statement.h"

#include <algorithm>

namespace {

bool isEmptyValue(const QVariant &v)
{
    return !v.isValid() || v.isNull()
        || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
}

} // namespace

QueryDataSet::QueryDataSet(Connection &connection, const QString &name, QObject *parent)
    : QObject(parent),
      m_connection(connection),
      m_name(name),
      m_cache([this](const RowCache::Change &change, RowCache::Phase phase) {
          tellCacheChange(change, phase);
      })
{
    setObjectName(name);
    m_connection.addClient(this);
}

QueryDataSet::~QueryDataSet()
{
    for (QueryDataSet *detail : m_details)
        detail->m_master = nullptr;
    if (m_master) {
        auto &siblings = m_master->m_details;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    m_connection.removeClient(this);
}

void QueryDataSet::fail(const QString &text) const
{
    throw DbError(m_name + QStringLiteral(": ") + text);
}

void QueryDataSet::requireOpen() const
{
    if (!isOpen())
        fail(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void QueryDataSet::setSelectSql(const QStringList &lines)
{
    if (isOpen())
        fail(QStringLiteral("Cannot change the statement of an open dataset"));
    m_selectSql = lines;
}

void QueryDataSet::setGeneratorField(const QString &field, const QString &generator)
{
    m_generatorField = field;
    m_generator = generator;
}

void QueryDataSet::setMasterSource(QueryDataSet *master)
{
    if (m_master) {
        auto &siblings = m_master->m_details;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    m_master = master;
    if (m_master)
        m_master->m_details.push_back(this);
}

void QueryDataSet::setParam(const QString &name, const QVariant &value)
{
    for (auto &p : m_params) {
        if (p.first.compare(name, Qt::CaseInsensitive) == 0) {
            p.second = value;
            return;
        }
    }
    m_params.emplace_back(name, value);
}

QVariant QueryDataSet::param(const QString &name) const
{
    for (const auto &p : m_params) {
        if (p.first.compare(name, Qt::CaseInsensitive) == 0)
            return p.second;
    }
    return {};
}

void QueryDataSet::addField(const FieldDef &def)
{
    if (isOpen())
        fail(QStringLiteral("Cannot change the fields of an open dataset"));
    m_fixedFields = true;
    m_fields.push_back(std::make_unique<Field>(*this, int(m_fields.size()), def));
}

void QueryDataSet::addLookupField(const QString &name, int size, const QString &keyField,
                                  QueryDataSet *lookup, const QString &lookupKeyField,
                                  const QString &lookupResultField)
{
    FieldDef def;
    def.name = name;
    def.type = FieldType::String;
    def.size = size;
    def.lookupDataSet = lookup;
    def.keyField = keyField;
    def.lookupKeyField = lookupKeyField;
    def.lookupResultField = lookupResultField;
    addField(def);
}

Field *QueryDataSet::findField(const QString &name) const
{
    for (const auto &f : m_fields) {
        if (f->name().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    }
    return nullptr;
}

Field &QueryDataSet::fieldByName(const QString &name) const
{
    Field *f = findField(name);
    if (!f)
        fail(QStringLiteral("Field '%1' not found").arg(name));
    return *f;
}

bool QueryDataSet::isEmpty() const
{
    return m_cache.isEmpty();
}

void QueryDataSet::setState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    if (controlsEnabled())
        Q_EMIT stateChanged();
}

void QueryDataSet::disableControls()
{
    ++m_disabled;
}

void QueryDataSet::enableControls()
{
    if (m_disabled > 0 && --m_disabled == 0) {
        Q_EMIT dataReset();
        Q_EMIT stateChanged();
        Q_EMIT currentRowChanged(m_current);
        if (m_detailsPending && m_holdDetails == 0) {
            m_detailsPending = false;
            notifyDetails();
        }
    }
}

void QueryDataSet::buildFields()
{
    const int columns = m_select->columnCount();
    if (!m_fixedFields) {
        bool same = int(m_fields.size()) == columns;
        for (int c = 0; same && c < columns; ++c)
            same = m_fields[size_t(c)]->name() == m_select->column(c).name;
        if (!same) {
            m_fields.clear();
            for (int c = 0; c < columns; ++c) {
                const ColumnInfo &col = m_select->column(c);
                FieldDef def;
                def.name = col.name;
                def.type = col.type;
                def.size = col.size;
                def.required = col.required;
                m_fields.push_back(std::make_unique<Field>(*this, c, def));
            }
        }
    }
    m_columnOfField.assign(m_fields.size(), -1);
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i]->isLookup())
            continue;
        const int c = m_select->columnIndex(m_fields[i]->name());
        if (c < 0)
            fail(QStringLiteral("Field '%1' not found").arg(m_fields[i]->name()));
        m_columnOfField[i] = c;
    }
}

void QueryDataSet::bindMasterParams()
{
    for (const QString &name : m_select->paramNames()) {
        QVariant value = param(name);
        if (m_master && m_master->isOpen()) {
            if (const Field *f = m_master->findField(name))
                value = m_master->currentValue(f->index());
        }
        m_select->setParam(name, value);
    }
}

void QueryDataSet::openCursor()
{
    bindMasterParams();
    if (m_rowSource) {
        RowCache::Reader reader = m_rowSource();
        const size_t fields = m_fields.size();
        m_cache.restart(
            [reader = std::move(reader), fields](Row &row) {
                row.assign(fields, QVariant());
                return reader(row);
            },
            1);
    } else {
        m_select->execute();
        m_cache.restart([this](Row &row) { return readRow(row); }, 1);
    }
    m_current = m_cache.isEmpty() ? -1 : 0;
    m_eof = m_cache.isEmpty();
    m_bof = true;
}

void QueryDataSet::closeCursor()
{
    if (m_select)
        m_select->closeCursor();
    m_cache.stopReading();
}

void QueryDataSet::open()
{
    if (isOpen())
        return;
    // A dataset with lookup fields opens their sources first; they stay open.
    for (const auto &f : m_fields) {
        if (f->isLookup() && !f->def().lookupDataSet->isOpen())
            f->def().lookupDataSet->open();
    }
    m_connection.ensureConnected();
    Transaction &tr = m_connection.transaction();
    if (!tr.isActive())
        tr.start();
    try {
        prepareStatements();
        m_select = std::make_unique<Statement>(m_connection);
        m_select->setFetchWait(m_fetchWait);
        m_select->prepare(m_selectSql.join(QLatin1Char('\n')));
        buildFields();
        fieldsBuilt();
        openCursor();
    } catch (...) {
        m_select.reset();
        m_cache.clear();
        m_current = -1;
        tr.checkAutoStop();
        throw;
    }
    m_modified = false;
    setState(State::Browse);
    if (controlsEnabled()) {
        Q_EMIT dataReset();
        Q_EMIT currentRowChanged(m_current);
    }
    if (afterOpen)
        afterOpen(*this);
    if (afterScroll)
        afterScroll(*this);
    notifyDetails();
}

void QueryDataSet::discard()
{
    // A new row goes with the rest of the cache, which the caller drops.
    m_original.clear();
    m_modified = false;
}

void QueryDataSet::close()
{
    if (!isOpen())
        return;
    connectionClosing();
    m_connection.transaction().checkAutoStop();
}

void QueryDataSet::connectionClosing()
{
    if (!isOpen())
        return;
    discard();
    m_select.reset();
    m_insert.reset();
    m_modify.reset();
    m_delete.reset();
    m_generatorStmt.reset();
    m_cache.clear();
    m_current = -1;
    setState(State::Inactive);
    if (controlsEnabled())
        Q_EMIT dataReset();
    if (afterClose)
        afterClose(*this);
}

bool QueryDataSet::readRow(Row &row) const
{
    if (!m_select || !m_select->hasCursor() || !m_select->fetch())
        return false;
    row.resize(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i) {
        if (m_columnOfField[i] >= 0)
            row[i] = m_select->value(m_columnOfField[i]);
    }
    return true;
}

void QueryDataSet::tellCacheChange(const RowCache::Change &change, RowCache::Phase phase)
{
    // Frozen controls hear of neither half: they are reset as a whole when released.
    if (!controlsEnabled())
        return;
    const bool before = phase == RowCache::Phase::Before;
    switch (change.kind) {
    case RowCache::Change::Kind::Fetch:
        if (before)
            Q_EMIT rowsAboutToBeFetched(change.first, change.last);
        else
            Q_EMIT rowsFetched(change.first, change.last);
        break;
    case RowCache::Change::Kind::Insert:
        if (before)
            Q_EMIT rowAboutToBeInserted(change.first);
        else
            Q_EMIT rowInserted(change.first);
        break;
    case RowCache::Change::Kind::Remove:
        if (before)
            Q_EMIT rowAboutToBeRemoved(change.first);
        else
            Q_EMIT rowRemoved(change.first);
        break;
    case RowCache::Change::Kind::Move:
        if (before)
            Q_EMIT rowAboutToBeMoved(change.first, change.last);
        else
            Q_EMIT rowMoved(change.first, change.last);
        break;
    }
}

bool QueryDataSet::canFetchMore() const
{
    // Not while a fetch waits for its rows on a worker thread.
    return isOpen() && m_cache.canFetch() && !(m_select && m_select->isFetching());
}

void QueryDataSet::fetchMore()
{
    if (!canFetchMore())
        return;
    m_cache.fetch(RowCache::BlockSize);
}

void QueryDataSet::fetchAll()
{
    if (!canFetchMore())
        return;
    m_cache.fetchAll();
}

QVariant QueryDataSet::lookupValue(const Field &field, const Row &row) const
{
    const FieldDef &def = field.def();
    QueryDataSet *lookup = def.lookupDataSet;
    if (!lookup->isOpen())
        return {};
    const Field *key = findField(def.keyField);
    if (!key || key->isLookup())
        return {};
    const QVariant keyValue = row[size_t(key->index())];
    if (isEmptyValue(keyValue))
        return {};
    lookup->fetchAll();
    const int lookupKey = lookup->fieldByName(def.lookupKeyField).index();
    const int result = lookup->fieldByName(def.lookupResultField).index();
    for (int i = 0; i < lookup->m_cache.size(); ++i) {
        const Row &candidate = lookup->m_cache.row(i);
        if (Field::sameKey(candidate[size_t(lookupKey)], keyValue))
            return candidate[size_t(result)];
    }
    return {};
}

QVariant QueryDataSet::valueOf(const Row &row, int fieldIndex) const
{
    const Field &f = *m_fields[size_t(fieldIndex)];
    if (f.isLookup())
        return lookupValue(f, row);
    return row[size_t(fieldIndex)];
}

QVariant QueryDataSet::value(int row, int fieldIndex) const
{
    if (row < 0 || row >= m_cache.size())
        return {};
    return valueOf(m_cache.row(row), fieldIndex);
}

QVariant QueryDataSet::currentValue(int fieldIndex) const
{
    if (!isOpen())
        return {};
    return value(m_current, fieldIndex);
}

void QueryDataSet::setCurrentValue(int fieldIndex, const QVariant &value)
{
    requireOpen();
    const Field &f = *m_fields[size_t(fieldIndex)];
    if (f.isLookup()) {
        // Choosing a lookup text writes the key it stands for.
        const FieldDef &def = f.def();
        QVariant key;
        if (!isEmptyValue(value) && def.lookupDataSet->isOpen()) {
            QueryDataSet *lookup = def.lookupDataSet;
            lookup->fetchAll();
            const int result = lookup->fieldByName(def.lookupResultField).index();
            const int lookupKey = lookup->fieldByName(def.lookupKeyField).index();
            for (int i = 0; i < lookup->m_cache.size(); ++i) {
                const Row &candidate = lookup->m_cache.row(i);
                if (candidate[size_t(result)] == value) {
                    key = candidate[size_t(lookupKey)];
                    break;
                }
            }
        }
        fieldByName(def.keyField).setValue(key);
        return;
    }
    if (m_state == State::Browse)
        edit();
    const QVariant coerced = f.coerce(value);
    m_cache.row(m_current)[size_t(fieldIndex)] = coerced;
    m_modified = true;
    if (controlsEnabled()) {
        Q_EMIT rowChanged(m_current);
        Q_EMIT fieldChanged(fieldIndex);
    }
}

void QueryDataSet::setCurrent(int row, bool notify)
{
    m_current = row;
    m_eof = false;
    m_bof = false;
    if (!notify)
        return;
    if (controlsEnabled())
        Q_EMIT currentRowChanged(m_current);
    scrolled();
}

void QueryDataSet::scrolled()
{
    if (afterScroll)
        afterScroll(*this);
    notifyDetails();
}

void QueryDataSet::notifyDetails()
{
    // Frozen controls hold the details back too; they re-read once when released.
    if (m_holdDetails > 0 || m_disabled > 0) {
        m_detailsPending = true;
        return;
    }
    const std::vector<QueryDataSet *> details = m_details;
    for (QueryDataSet *detail : details)
        detail->masterChanged();
}

void QueryDataSet::masterChanged()
{
    if (!isOpen())
        return;
    disableControls();
    try {
        close();
        open();
    } catch (...) {
        enableControls();
        throw;
    }
    enableControls();
}

void QueryDataSet::detailsCheckBrowseMode()
{
    for (QueryDataSet *detail : m_details) {
        if (detail->isOpen())
            detail->checkBrowseMode();
    }
}

void QueryDataSet::checkBrowseMode()
{
    if (!isOpen())
        return;
    detailsCheckBrowseMode();
    if (m_state == State::Edit || m_state == State::Insert) {
        if (m_modified)
            post();
        else
            cancel();
    }
}

void QueryDataSet::first()
{
    requireOpen();
    checkBrowseMode();
    if (!m_cache.ensure(0)) {
        m_eof = m_bof = true;
        return;
    }
    setCurrent(0);
    m_bof = true;
}

void QueryDataSet::next()
{
    requireOpen();
    checkBrowseMode();
    if (m_cache.ensure(m_current + 1))
        setCurrent(m_current + 1);
    else
        m_eof = true;
}

void QueryDataSet::prior()
{
    requireOpen();
    checkBrowseMode();
    if (m_current > 0)
        setCurrent(m_current - 1);
    else
        m_bof = true;
}

void QueryDataSet::last()
{
    requireOpen();
    checkBrowseMode();
    fetchAll();
    if (m_cache.isEmpty()) {
        m_eof = m_bof = true;
        return;
    }
    setCurrent(m_cache.size() - 1);
    m_eof = true;
}

void QueryDataSet::moveTo(int row)
{
    requireOpen();
    if (row == m_current)
        return;
    // Leaving a new row posts it behind the fetched rows or drops it: the rows after it
    // move up by one, and the target with them.
    const bool leavingNewRow = m_state == State::Insert;
    const int left = m_current;
    const int before = m_cache.size();
    checkBrowseMode();
    if (leavingNewRow && m_state == State::Browse) {
        if (row > left)
            --row;
        else if (row == left && m_cache.size() == before)
            row = m_cache.size() - 1;
    }
    if (m_cache.ensure(row))
        setCurrent(row);
}

bool QueryDataSet::eof() const
{
    return !isOpen() || m_eof || m_cache.isEmpty();
}

bool QueryDataSet::bof() const
{
    return !isOpen() || m_bof || m_cache.isEmpty();
}

bool QueryDataSet::locate(const QString &field, qint64 value)
{
    requireOpen();
    checkBrowseMode();
    const int fi = fieldByName(field).index();
    const int remembered = m_current;
    ++m_holdDetails;
    const int found = findFrom(0, fi, value);
    --m_holdDetails;
    m_detailsPending = false;
    setCurrent(found >= 0 ? found : remembered);
    return found >= 0;
}

bool QueryDataSet::locateNext(const QString &field, qint64 value)
{
    requireOpen();
    checkBrowseMode();
    const int fi = fieldByName(field).index();
    const int found = findFrom(m_current + 1, fi, value);
    if (found < 0)
        return false;
    setCurrent(found);
    return true;
}

int QueryDataSet::findFrom(int row, int fieldIndex, qint64 value)
{
    const QVariant wanted = value;
    for (int i = std::max(row, 0); i < m_cache.size(); ++i) {
        if (Field::sameKey(this->value(i, fieldIndex), wanted))
            return i;
    }
    // Rows fetched on the way are announced once at the end, not one by one: a view told of
    // each of 100,000 rows separately spends longer on the news than the search did.
    return m_cache.fetchUntil([&](const Row &candidate) {
        return Field::sameKey(valueOf(candidate, fieldIndex), wanted);
    });
}

void QueryDataSet::insert()
{
    requireOpen();
    checkBrowseMode();
    if (beforeInsert)
        beforeInsert(*this);
    const int pos = m_current < 0 ? 0 : m_current;
    m_cache.insert(pos, Row(m_fields.size()));
    m_current = pos;
    m_original.clear();
    m_eof = m_bof = false;
    setState(State::Insert);

    if (!m_generatorField.isEmpty()) {
        const int keyIndex = fieldByName(m_generatorField).index();
        if (isEmptyValue(m_cache.row(pos)[size_t(keyIndex)])) {
            try {
                if (!m_generatorStmt) {
                    QString name = m_generator;
                    name.replace(QLatin1Char('"'), QLatin1String("\"\""));
                    auto stmt = std::make_unique<Statement>(m_connection);
                    stmt->prepare(QStringLiteral("SELECT GEN_ID(%1, %2) FROM RDB$DATABASE")
                                      .arg(QLatin1Char('"') + name + QLatin1Char('"'))
                                      .arg(1));
                    m_generatorStmt = std::move(stmt);
                }
                m_generatorStmt->execute();
                if (!m_generatorStmt->fetch())
                    fail(QStringLiteral("The generator returned no value"));
                m_cache.row(pos)[size_t(keyIndex)]
                    = m_fields[size_t(keyIndex)]->coerce(m_generatorStmt->value(0));
                m_generatorStmt->closeCursor();
            } catch (...) {
                m_cache.erase(pos);
                m_current = m_cache.isEmpty() ? -1 : std::min(pos, m_cache.size() - 1);
                setState(State::Browse);
                if (controlsEnabled())
                    Q_EMIT currentRowChanged(m_current);
                throw;
            }
        }
    }
    m_modified = false;
    if (controlsEnabled())
        Q_EMIT dataSetChanged();
    notifyDetails();
    if (afterInsert)
        afterInsert(*this);
    if (controlsEnabled())
        Q_EMIT currentRowChanged(m_current);
    if (afterScroll)
        afterScroll(*this);
}

void QueryDataSet::edit()
{
    requireOpen();
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (m_cache.isEmpty()) {
        insert();
        return;
    }
    m_original = m_cache.row(m_current);
    m_modified = false;
    setState(State::Edit);
    if (controlsEnabled())
        Q_EMIT dataSetChanged();
}

void QueryDataSet::runWrite(const QString &sql, std::unique_ptr<Statement> &stmt, const Row &row,
                            const Row &original)
{
    if (!stmt) {
        auto prepared = std::make_unique<Statement>(m_connection);
        prepared->prepare(sql);
        stmt = std::move(prepared);
    }
    for (const QString &name : stmt->paramNames()) {
        const bool old = name.startsWith(QLatin1String("OLD_"), Qt::CaseInsensitive);
        const Field *f = findField(old ? name.mid(4) : name);
        if (!f && old)
            f = findField(name);
        if (!f)
            fail(QStringLiteral("Field '%1' not found").arg(name));
        const Row &source = old && !original.empty() ? original : row;
        stmt->setParam(name, f->isLookup() ? lookupValue(*f, source) : source[size_t(f->index())]);
    }
    stmt->execute();
}

void QueryDataSet::post()
{
    requireOpen();
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    detailsCheckBrowseMode();
    const Row &row = m_cache.row(m_current);
    for (const auto &f : m_fields) {
        if (!f->isLookup() && f->isRequired() && isEmptyValue(row[size_t(f->index())])) {
            Q_EMIT focusFieldRequested(f->name());
            throw DbError(QStringLiteral("Field '%1' must have a value").arg(f->name()));
        }
    }
    if (m_state == State::Insert) {
        if (m_insertSql.isEmpty())
            fail(QStringLiteral("Cannot insert into this dataset"));
        runWrite(m_insertSql, m_insert, row, Row());
        // The new row is not read back: it stays behind the rows fetched so far.
        const int to = m_cache.size() - 1;
        if (m_current != to) {
            m_cache.move(m_current, to);
            m_current = to;
        }
    } else {
        if (m_modifySql.isEmpty())
            fail(QStringLiteral("Cannot modify this dataset"));
        runWrite(m_modifySql, m_modify, row, m_original);
    }
    m_original.clear();
    m_modified = false;
    setState(State::Browse);
    m_connection.transaction().workDone();
    if (controlsEnabled()) {
        Q_EMIT rowChanged(m_current);
        Q_EMIT currentRowChanged(m_current);
        Q_EMIT dataSetChanged();
    }
    notifyDetails();
}

void QueryDataSet::cancel()
{
    requireOpen();
    if (m_state == State::Insert) {
        const int pos = m_current;
        m_cache.erase(pos);
        m_current = m_cache.isEmpty() ? -1 : std::min(pos, m_cache.size() - 1);
        m_modified = false;
        setState(State::Browse);
        if (controlsEnabled()) {
            Q_EMIT currentRowChanged(m_current);
            Q_EMIT dataSetChanged();
        }
        scrolled();
    } else if (m_state == State::Edit) {
        m_cache.row(m_current) = m_original;
        m_original.clear();
        m_modified = false;
        setState(State::Browse);
        if (controlsEnabled()) {
            Q_EMIT rowChanged(m_current);
            Q_EMIT dataSetChanged();
        }
        notifyDetails();
    }
}

void QueryDataSet::remove()
{
    requireOpen();
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_cache.isEmpty())
        fail(QStringLiteral("Cannot perform this operation on an empty dataset"));
    detailsCheckBrowseMode();
    if (m_deleteSql.isEmpty())
        fail(QStringLiteral("Cannot delete from this dataset"));
    const Row &row = m_cache.row(m_current);
    runWrite(m_deleteSql, m_delete, row, m_state == State::Edit ? m_original : row);
    const int pos = m_current;
    m_cache.erase(pos);
    m_original.clear();
    m_modified = false;
    setState(State::Browse);
    if (m_cache.ensure(pos))
        m_current = pos;
    else
        m_current = m_cache.size() - 1;
    m_connection.transaction().workDone();
    if (controlsEnabled())
        Q_EMIT dataSetChanged();
    setCurrent(m_current);
}

QStringList QueryDataSet::keyFields() const
{
    if (!m_generatorField.isEmpty())
        return {m_generatorField};
    if (!m_fields.empty())
        return {m_fields.front()->name()};
    return {};
}

void QueryDataSet::refresh()
{
    requireOpen();
    checkBrowseMode();
    std::vector<std::pair<int, QVariant>> key;
    for (const QString &name : keyFields()) {
        const Field &f = fieldByName(name);
        key.emplace_back(f.index(), currentValue(f.index()));
    }
    disableControls();
    try {
        closeCursor();
        openCursor();
        int found = -1;
        if (!key.empty() && m_current >= 0) {
            for (int i = 0; found < 0 && m_cache.ensure(i); ++i) {
                bool match = true;
                for (const auto &[index, v] : key)
                    match = match && Field::sameKey(value(i, index), v);
                if (match)
                    found = i;
            }
        }
        m_current = found >= 0 ? found : (m_cache.isEmpty() ? -1 : 0);
    } catch (...) {
        enableControls();
        throw;
    }
    enableControls();
    scrolled();
}
