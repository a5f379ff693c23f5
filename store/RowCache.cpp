#include "store/RowCache.h"

#include <algorithm>

RowCache::RowCache(Observer observer) : m_observer(std::move(observer)) { }

void RowCache::restart(Reader reader, int firstRows)
{
    m_rows.clear();
    m_rows.reserve(BlockSize);
    m_size = 0;
    m_reader = std::move(reader);
    m_atEnd = false;
    while (int(m_rows.size()) < firstRows && readRow()) { }
    m_size = int(m_rows.size());
}

void RowCache::clear()
{
    m_rows.clear();
    m_rows.shrink_to_fit();
    m_size = 0;
    m_reader = nullptr;
    m_atEnd = false;
}

void RowCache::stopReading()
{
    m_atEnd = true;
}

bool RowCache::readRow()
{
    if (!canFetch())
        return false;
    Row row;
    if (!m_reader(row)) {
        m_atEnd = true;
        return false;
    }
    // Whole blocks of rows, doubling, so that a long read does not copy the cache per block.
    if (m_rows.size() == m_rows.capacity())
        m_rows.reserve(std::max<size_t>(BlockSize, m_rows.capacity() * 2));
    m_rows.push_back(std::move(row));
    return true;
}

int RowCache::announceRead()
{
    const int read = int(m_rows.size()) - m_size;
    if (read == 0)
        return 0;
    const Change change {Change::Kind::Fetch, m_size, int(m_rows.size()) - 1};
    tell(change, Phase::Before);
    m_size = int(m_rows.size());
    tell(change, Phase::After);
    return read;
}

int RowCache::fetch(int count)
{
    try {
        while (int(m_rows.size()) - m_size < count && readRow()) { }
    } catch (...) {
        announceRead();
        throw;
    }
    return announceRead();
}

int RowCache::fetchAll()
{
    try {
        while (readRow()) { }
    } catch (...) {
        announceRead();
        throw;
    }
    return announceRead();
}

bool RowCache::ensure(int index)
{
    if (index >= m_size)
        fetch(index + 1 - m_size);
    return index >= 0 && index < m_size;
}

int RowCache::fetchUntil(const std::function<bool(const Row &)> &match)
{
    int found = -1;
    try {
        while (found < 0 && readRow()) {
            if (match(m_rows.back()))
                found = int(m_rows.size()) - 1;
        }
    } catch (...) {
        announceRead();
        throw;
    }
    announceRead();
    return found;
}

void RowCache::insert(int index, Row row)
{
    const Change change {Change::Kind::Insert, index, index};
    tell(change, Phase::Before);
    m_rows.insert(m_rows.begin() + index, std::move(row));
    ++m_size;
    tell(change, Phase::After);
}

void RowCache::erase(int index)
{
    const Change change {Change::Kind::Remove, index, index};
    tell(change, Phase::Before);
    m_rows.erase(m_rows.begin() + index);
    --m_size;
    tell(change, Phase::After);
}

void RowCache::move(int from, int to)
{
    if (from == to)
        return;
    const Change change {Change::Kind::Move, from, to};
    tell(change, Phase::Before);
    const auto at = m_rows.begin();
    if (from < to)
        std::rotate(at + from, at + from + 1, at + to + 1);
    else
        std::rotate(at + to, at + from, at + from + 1);
    tell(change, Phase::After);
}

void RowCache::tell(const Change &change, Phase phase) const
{
    if (m_observer)
        m_observer(change, phase);
}
