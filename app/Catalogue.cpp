#include "app/Catalogue.h"

Catalogue::Catalogue(QObject *parent)
    : QObject(parent),
      m_DefDatabase(this),
      m_dtFolder(m_DefDatabase, QStringLiteral("dtFolder")),
      m_dtDisk(m_DefDatabase, QStringLiteral("dtDisk")),
      m_dtType(m_DefDatabase, QStringLiteral("dtType"), QStringLiteral("TTYPE")),
      m_dtGroup(m_DefDatabase, QStringLiteral("dtGroup"), QStringLiteral("TGROUP")),
      m_dtMan(m_DefDatabase, QStringLiteral("dtMan"), QStringLiteral("TMAN")),
      m_spNextID(m_DefDatabase, QStringLiteral("spNextID"), QStringLiteral("GETNEXTID")),
      m_spVer(m_DefDatabase, QStringLiteral("spVer"), QStringLiteral("GETVERSION")),
      m_dtMoveDisk(m_DefDatabase, QStringLiteral("dtMoveDisk"))
{
    m_DefDatabase.setObjectName(QStringLiteral("DefDatabase"));
    connect(&m_DefDatabase, &Connection::afterConnect, this, [this] {
        m_searchIndex.setCatalogue(m_DefDatabase.databaseName(), m_DefDatabase.params());
    });

    m_dtFolder.setSelectSql({QStringLiteral("select * from TFOLDER")});
    // The parent is stored too, so that a copied folder keeps its place; a new folder has none
    // and gets the column's default 0, as before.
    m_dtFolder.setInsertSql(QStringLiteral(
        "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (:FFOLDERID, :FFOLDER, "
        "coalesce(cast(:FOWNFOLDERID as integer), 0))"));
    m_dtFolder.setModifySql(
        QStringLiteral("update TFOLDER set FFOLDER=:FFOLDER, "
                       "FOWNFOLDERID=:FOWNFOLDERID where FFOLDERID=:FFOLDERID"));
    m_dtFolder.setDeleteSql(QStringLiteral("delete from TFOLDER where FFOLDERID=:FFOLDERID"));
    m_dtFolder.setGeneratorField(QStringLiteral("FFOLDERID"));
    m_dtFolder.afterInsert
        = [this](QueryDataSet &ds) { assignNextId(ds, QStringLiteral("FFOLDERID")); };

    m_dtDisk.setSelectSql({
        QStringLiteral("select"),
        QStringLiteral("*"),
        QStringLiteral("from"),
        QStringLiteral(" tdisk d left join getstatus(FDISKID) s on d.fdiskid is not null"),
        QStringLiteral("where"),
        QStringLiteral("ffolderid=:ffolderid"),
        QStringLiteral("order by"),
        QStringLiteral(" fnn, fname"),
    });
    m_dtDisk.setInsertSql(QStringLiteral(
        "insert into TDISK (FDISKID,FCOMMENT, FDELDATE, FFOLDERID, FFULLSIZE, FGETDATE, FGROUPID, "
        "FLABEL, FMANID, FNAME, FNN, FTYPEID, FUNIQUE, FFILES, FDISKIS, FDISKS, FLOCATION) values "
        "(:FDISKID, :FCOMMENT, :FDELDATE, :FFOLDERID, :FFULLSIZE, :FGETDATE, :FGROUPID, :FLABEL, "
        ":FMANID, :FNAME, :FNN, :FTYPEID, :FUNIQUE, :FFILES, :FDISKIS, :FDISKS, :FLOCATION)"));
    m_dtDisk.setModifySql(QStringLiteral(
        "update TDISK set FCOMMENT=:FCOMMENT, FDELDATE=:FDELDATE, FFOLDERID=:FFOLDERID, "
        "FFULLSIZE=:FFULLSIZE, FGETDATE=:FGETDATE, FGROUPID=:FGROUPID, FLABEL=:FLABEL, "
        "FMANID=:FMANID, FNAME=:FNAME, FNN=:FNN, FTYPEID=:FTYPEID, FUNIQUE=:FUNIQUE, "
        "FFILES=:FFILES, FDISKIS=:FDISKIS, FDISKS=:FDISKS, FLOCATION=:FLOCATION where "
        "FDISKID=:FDISKID"));
    m_dtDisk.setDeleteSql(QStringLiteral("delete from TDISK where FDISKID=:FDISKID"));
    m_dtDisk.setGeneratorField(QStringLiteral("FDISKID"));
    m_dtDisk.setMasterSource(&m_dtFolder);
    m_dtDisk.addField(FieldDef::column("FDISKID", FieldType::Integer, 0, true));
    m_dtDisk.addField(FieldDef::column("FMANID", FieldType::Integer, 0, true));
    m_dtDisk.addField(FieldDef::column("FFOLDERID", FieldType::Integer, 0, true));
    m_dtDisk.addField(FieldDef::column("FTYPEID", FieldType::Integer));
    m_dtDisk.addField(FieldDef::column("FGROUPID", FieldType::Integer));
    m_dtDisk.addField(FieldDef::column("FNAME", FieldType::String, 255, true));
    m_dtDisk.addField(FieldDef::column("FNN", FieldType::Integer));
    m_dtDisk.addField(FieldDef::column("FUNIQUE", FieldType::String, 255));
    m_dtDisk.addField(FieldDef::column("FGETDATE", FieldType::Date));
    m_dtDisk.addField(FieldDef::column("FDELDATE", FieldType::Date));
    m_dtDisk.addField(FieldDef::column("FCOMMENT", FieldType::String, 255));
    m_dtDisk.addField(FieldDef::column("FLABEL", FieldType::String, 255));
    m_dtDisk.addLookupField(QStringLiteral("FTYPE"), 255, QStringLiteral("FTYPEID"), &m_dtType,
                            QStringLiteral("FTYPEID"), QStringLiteral("FTYPE"));
    m_dtDisk.addLookupField(QStringLiteral("FGROUP"), 255, QStringLiteral("FGROUPID"), &m_dtGroup,
                            QStringLiteral("FGROUPID"), QStringLiteral("FGROUP"));
    m_dtDisk.addLookupField(QStringLiteral("FMAN"), 255, QStringLiteral("FMANID"), &m_dtMan,
                            QStringLiteral("FMANID"), QStringLiteral("FNAME"));
    m_dtDisk.addField(FieldDef::column("FFULLSIZE", FieldType::Float));
    m_dtDisk.addField(FieldDef::column("FSTATUSCODE", FieldType::Integer));
    m_dtDisk.addField(FieldDef::column("FSTATUS", FieldType::String, 255));
    m_dtDisk.addField(FieldDef::column("FFILES", FieldType::Integer));
    m_dtDisk.addField(FieldDef::column("FDISKIS", FieldType::Integer));
    m_dtDisk.addField(FieldDef::column("FDISKS", FieldType::Integer));
    m_dtDisk.addField(FieldDef::column("FLOCATION", FieldType::String, 255));

    m_dtMoveDisk.setSql(
        QStringLiteral("update TDISK set FFOLDERID=:FFOLDERID where FDISKID=:FDISKID"));
}

int Catalogue::currentFolder() const
{
    return m_dtFolder.isOpen() ? m_dtFolder.fieldByName(QStringLiteral("FFOLDERID")).asInteger()
                               : 0;
}

int Catalogue::currentDisk() const
{
    return m_dtDisk.isOpen() ? m_dtDisk.fieldByName(QStringLiteral("FDISKID")).asInteger() : 0;
}

bool Catalogue::goTo(int folder, int disk)
{
    if (!m_dtFolder.isOpen())
        return false;
    // The folder tree follows its dataset, and the disk list is re-read for the folder.
    m_dtFolder.locate(QStringLiteral("FFOLDERID"), folder);
    m_dtDisk.locate(QStringLiteral("FDISKID"), disk);
    Q_EMIT wentTo(currentFolder(), currentDisk());
    return true;
}

int Catalogue::nextId()
{
    m_spNextID.execute();
    return m_spNextID.paramAsInteger(QStringLiteral("ID"));
}

void Catalogue::assignNextId(QueryDataSet &dataSet, const QString &keyField)
{
    dataSet.fieldByName(keyField).setValue(nextId());
}
