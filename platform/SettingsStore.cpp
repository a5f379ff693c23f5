#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {

// A settings file this large is not ours; it reads as empty rather than filling memory.
constexpr qint64 MaxFileSize = 4 * 1024 * 1024;

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The writer encodes ASCII blanks at the ends of names; other blanks belong to the name.
QString asciiTrimmed(const QString &text)
{
    const auto blank
        = [](QChar c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r'; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && blank(text.at(begin)))
        ++begin;
    while (end > begin && blank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// Section and value names: percent-encode what would break the line structure, so that
// the usual names (and the backslashes of the key paths) stay readable in the file.
QByteArray encodeName(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8.at(i));
        const bool edge = i == 0 || i == utf8.size() - 1;
        const bool lineStart = i == 0 && (c == ';' || c == '#' || c == '[');
        if (c == '%' || c == '=' || c < 0x20 || c == 0x7f || (edge && c == ' ') || lineStart) {
            out += '%';
            out += QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
        } else {
            out += char(c);
        }
    }
    return out;
}

QString decodeName(const QString &encoded)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(asciiTrimmed(encoded).toUtf8()));
}

// Values: backslash escapes for what a line cannot hold; everything else as it is.
QString escapeValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case 0:
            out += QLatin1String("\\0");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescapeValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text.at(++i);
        if (next == u'n')
            out += u'\n';
        else if (next == u'r')
            out += u'\r';
        else if (next == u'0')
            out += QChar(0);
        else
            out += next;
    }
    return out;
}

} // namespace

SettingsStore::SettingsStore(const QString &filePath) : m_fileName(filePath)
{
    QString error;
    if (load(&m_sections, &error) == LoadResult::Failed)
        m_lastError = error;
}

QString SettingsStore::defaultPath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/.config");
    return base + QLatin1String("/Brenk/Kodra.ini");
}

bool SettingsStore::isEmpty() const
{
    for (const Section &section : m_sections) {
        if (!section.values.isEmpty())
            return false;
    }
    return true;
}

bool SettingsStore::contains(const QString &section, const QString &name) const
{
    return findValue(section, name) != nullptr;
}

QStringList SettingsStore::valueNames(const QString &section) const
{
    QStringList names;
    for (const Section &candidate : m_sections) {
        if (!sameName(candidate.name, section))
            continue;
        for (const Value &value : candidate.values)
            names << value.name;
        break;
    }
    return names;
}

bool SettingsStore::adoptSection(const QString &from, const QString &to)
{
    if (!valueNames(to).isEmpty())
        return false;
    const QStringList names = valueNames(from);
    if (names.isEmpty())
        return false;
    const bool wasAuto = m_autoFlush;
    setAutoFlush(false);
    for (const QString &name : names)
        writeString(to, name, readString(from, name, QString()));
    setAutoFlush(wasAuto);
    return true;
}

QString SettingsStore::readString(const QString &section, const QString &name,
                                  const QString &def) const
{
    const Value *value = findValue(section, name);
    return value ? value->text : def;
}

void SettingsStore::writeString(const QString &section, const QString &name, const QString &value)
{
    setValue(&m_sections, section, name, value);
    m_pending.append({section, name, value});
    if (m_autoFlush)
        flush();
}

int SettingsStore::readInteger(const QString &section, const QString &name, int def) const
{
    const Value *value = findValue(section, name);
    if (!value)
        return def;
    bool ok = false;
    const int number = value->text.toInt(&ok, 10);
    return ok ? number : def;
}

void SettingsStore::writeInteger(const QString &section, const QString &name, int value)
{
    writeString(section, name, QString::number(value));
}

bool SettingsStore::readBool(const QString &section, const QString &name, bool def) const
{
    return readInteger(section, name, def ? 1 : 0) != 0;
}

void SettingsStore::writeBool(const QString &section, const QString &name, bool value)
{
    writeString(section, name, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void SettingsStore::setAutoFlush(bool on)
{
    m_autoFlush = on;
    if (on && !m_pending.isEmpty())
        flush();
}

bool SettingsStore::flush()
{
    if (m_pending.isEmpty())
        return true;

    // Another store on the same file may have written since we read it: start from the file.
    Sections merged;
    QString error;
    if (load(&merged, &error) == LoadResult::Failed)
        merged = m_sections;
    for (const Change &change : std::as_const(m_pending))
        setValue(&merged, change.section, change.name, change.text);
    m_sections = merged;

    const QFileInfo info(m_fileName);
    const QString dir = info.absolutePath();
    if (!QFileInfo::exists(dir)) {
        if (!QDir().mkpath(dir)) {
            m_lastError = QStringLiteral("Cannot create the folder \"%1\" for the settings.")
                              .arg(QDir::toNativeSeparators(dir));
            return false;
        }
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QSaveFile file(m_fileName);
    const QString failure = QStringLiteral("Cannot save the settings to \"%1\": %2");
    // The new file is written beside the old one and renamed over it only when complete.
    if (!file.open(QIODevice::WriteOnly)) {
        m_lastError = failure.arg(QDir::toNativeSeparators(m_fileName), file.errorString());
        return false;
    }
    // The file holds the database password.
    if (!file.setPermissions(QFile::ReadOwner | QFile::WriteOwner)) {
        m_lastError = failure.arg(QDir::toNativeSeparators(m_fileName), file.errorString());
        file.cancelWriting();
        return false;
    }
    // QSaveFile misses an error raised while close() flushes its buffer and would commit a
    // cut-off file: flush and check here, before committing.
    const QByteArray data = serialize(merged);
    if (file.write(data) != data.size() || !file.flush()) {
        m_lastError = failure.arg(QDir::toNativeSeparators(m_fileName), file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_lastError = failure.arg(QDir::toNativeSeparators(m_fileName), file.errorString());
        return false;
    }
    m_pending.clear();
    m_lastError.clear();
    return true;
}

SettingsStore::LoadResult SettingsStore::load(Sections *sections, QString *error) const
{
    sections->clear();
    QFile file(m_fileName);
    if (!QFileInfo::exists(m_fileName))
        return LoadResult::Missing;
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot read the settings from \"%1\": %2")
                     .arg(QDir::toNativeSeparators(m_fileName), file.errorString());
        return LoadResult::Failed;
    }
    const QByteArray data = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Cannot read the settings from \"%1\": %2")
                     .arg(QDir::toNativeSeparators(m_fileName), file.errorString());
        return LoadResult::Failed;
    }
    if (data.size() <= MaxFileSize)
        *sections = parse(data);
    return LoadResult::Loaded;
}

SettingsStore::Sections SettingsStore::parse(const QByteArray &data)
{
    // Text with NUL bytes or broken UTF-8 is not a settings file we wrote: read it as empty.
    if (data.contains('\0'))
        return {};
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return {};
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);

    Sections sections;
    qsizetype current = -1;
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = asciiTrimmed(line);
        if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#'))
            continue;
        if (trimmed.startsWith(u'[') && trimmed.endsWith(u']') && trimmed.size() >= 2) {
            const QString name = decodeName(trimmed.mid(1, trimmed.size() - 2));
            current = -1;
            for (qsizetype i = 0; i < sections.size(); ++i) {
                if (sameName(sections.at(i).name, name)) {
                    current = i;
                    break;
                }
            }
            if (current < 0) {
                sections.append({name, {}});
                current = sections.size() - 1;
            }
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (current < 0 || equals < 0)
            continue;
        setValue(&sections, sections.at(current).name, decodeName(line.left(equals)),
                 unescapeValue(line.mid(equals + 1)));
    }
    return sections;
}

QByteArray SettingsStore::serialize(const Sections &sections)
{
    QByteArray out;
    for (const Section &section : sections) {
        if (section.values.isEmpty())
            continue;
        if (!out.isEmpty())
            out += '\n';
        out += '[' + encodeName(section.name) + "]\n";
        for (const Value &value : section.values)
            out += encodeName(value.name) + '=' + escapeValue(value.text).toUtf8() + '\n';
    }
    return out;
}

void SettingsStore::setValue(Sections *sections, const QString &section, const QString &name,
                             const QString &text)
{
    Section *target = nullptr;
    for (Section &candidate : *sections) {
        if (sameName(candidate.name, section)) {
            target = &candidate;
            break;
        }
    }
    if (!target) {
        sections->append({section, {}});
        target = &sections->last();
    }
    for (Value &value : target->values) {
        if (sameName(value.name, name)) {
            value.text = text;
            return;
        }
    }
    target->values.append({name, text});
}

const SettingsStore::Value *SettingsStore::findValue(const QString &section,
                                                     const QString &name) const
{
    for (const Section &candidate : m_sections) {
        if (!sameName(candidate.name, section))
            continue;
        for (const Value &value : candidate.values) {
            if (sameName(value.name, name))
                return &value;
        }
        return nullptr;
    }
    return nullptr;
}
