#include "tests/support/TestCatalogue.h"

#include "store/Connection.h"
#include "store/Statement.h"
#include "tests/support/SignalCleanup.h"

#include <QProcess>

TestCatalogue::TestCatalogue(Folders folders) : TestCatalogue(templatePath(), folders) { }

TestCatalogue::TestCatalogue(const QString &backup, Folders folders)
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    SignalCleanup::addFolder(m_dir.path());
    m_path = m_dir.filePath(QStringLiteral("kodra_test.gdb"));
    m_error = restore(backup, m_path);
    m_ok = m_error.isEmpty();
    if (m_ok && folders == Folders::None)
        exec({QStringLiteral("delete from TFOLDER")});
}

TestCatalogue::~TestCatalogue()
{
    SignalCleanup::removeFolder(m_dir.path());
}

QString TestCatalogue::startFolderName()
{
    return QStringLiteral("Мои диски");
}

QString TestCatalogue::templatePath()
{
    return QStringLiteral(KODRA_TEMPLATE);
}

QStringList TestCatalogue::params()
{
    return {QStringLiteral("USER_NAME=KODRA"), QStringLiteral("PASSWORD=TARLO"),
            QStringLiteral("lc_ctype=UTF8")};
}

QString TestCatalogue::restore(const QString &backup, const QString &dest)
{
    QProcess gbak;
    gbak.setProcessChannelMode(QProcess::MergedChannels);
    gbak.start(
        QStringLiteral("gbak"),
        {QStringLiteral("-c"), QStringLiteral("-user"), QStringLiteral("KODRA"), backup, dest});
    if (!gbak.waitForFinished(120000))
        return QStringLiteral("gbak did not finish: ") + gbak.errorString();
    if (gbak.exitStatus() != QProcess::NormalExit || gbak.exitCode() != 0)
        return QString::fromLocal8Bit(gbak.readAll());
    return {};
}

void TestCatalogue::configure(Connection &connection) const
{
    connection.setDatabaseName(m_path);
    connection.setParams(params());
}

std::unique_ptr<Connection> TestCatalogue::connection() const
{
    auto c = std::make_unique<Connection>();
    configure(*c);
    return c;
}

void TestCatalogue::exec(const QStringList &statements) const
{
    auto c = connection();
    c->open();
    c->transaction().start();
    for (const QString &sql : statements) {
        Statement stmt(*c);
        stmt.prepare(sql);
        stmt.execute();
    }
    c->transaction().commit();
    c->close();
}

QVariant TestCatalogue::scalar(const QString &select) const
{
    const QList<QVariantList> result = rows(select);
    return result.isEmpty() ? QVariant() : result.constFirst().value(0);
}

QList<QVariantList> TestCatalogue::rows(const QString &select) const
{
    return rowsIn(m_path, select);
}

QList<QVariantList> TestCatalogue::rowsIn(const QString &path, const QString &select)
{
    auto c = std::make_unique<Connection>();
    c->setDatabaseName(path);
    c->setParams(params());
    c->open();
    c->transaction().start();
    QList<QVariantList> result;
    {
        Statement stmt(*c);
        stmt.prepare(select);
        stmt.execute();
        while (stmt.fetch()) {
            QVariantList row;
            for (int i = 0; i < stmt.columnCount(); ++i)
                row << stmt.value(i);
            result << row;
        }
    }
    c->close();
    return result;
}
