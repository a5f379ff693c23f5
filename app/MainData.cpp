#include "app/MainData.h"

MainData::MainData(QObject *parent)
    : QObject(parent),
      DefDatabase(this),
      dtFolder(DefDatabase, QStringLiteral("dtFolder")),
      dtDisk(DefDatabase, QStringLiteral("dtDisk")),
      dtType(DefDatabase, QStringLiteral("dtType"), QStringLiteral("TTYPE")),
      dtGroup(DefDatabase, QStringLiteral("dtGroup"), QStringLiteral("TGROUP")),
      dtMan(DefDatabase, QStringLiteral("dtMan"), QStringLiteral("TMAN")),
      spNextID(DefDatabase, QStringLiteral("spNextID"), QStringLiteral("GETNEXTID")),
      spVer(DefDatabase, QStringLiteral("spVer"), QStringLiteral("GETVERSION")),
      dtMoveDisk(DefDatabase, QStringLiteral("dtMoveDisk"))
{
    DefDatabase.setObjectName(QStringLiteral("DefDatabase"));
    connect(&DefDatabase, &Connection::afterConnect, this,
            [this] { searchIndex.setCatalogue(DefDatabase.databaseName(), DefDatabase.params()); });

    dtFolder.setSelectSql({QStringLiteral("select * from TFOLDER")});
    // The parent is stored too, so that a copied folder keeps its place; a new folder has none
    // and gets the column's default 0, as before.
    dtFolder.setInsertSql(QStringLiteral(
        "insert into TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) values (:FFOLDERID, :FFOLDER, "
        "coalesce(cast(:FOWNFOLDERID as integer), 0))"));
    dtFolder.setModifySql(QStringLiteral("update TFOLDER set FFOLDER=:FFOLDER, "
                                         "FOWNFOLDERID=:FOWNFOLDERID where FFOLDERID=:FFOLDERID"));
    dtFolder.setDeleteSql(QStringLiteral("delete from TFOLDER where FFOLDERID=:FFOLDERID"));
    dtFolder.setGeneratorField(QStringLiteral("FFOLDERID"));
    dtFolder.afterInsert
        = [this](QueryDataSet &ds) { assignNextId(ds, QStringLiteral("FFOLDERID")); };

    dtDisk.setSelectSql({
        QStringLiteral("select"),
        QStringLiteral("*"),
        QStringLiteral("from"),
        QStringLiteral(" tdisk d left join getstatus(FDISKID) s on d.fdiskid is not null"),
        QStringLiteral("where"),
        QStringLiteral("ffolderid=:ffolderid"),
        QStringLiteral("order by"),
        QStringLiteral(" fnn, fname"),
    });
    dtDisk.setInsertSql(QStringLiteral(
        "insert into TDISK (FDISKID,FCOMMENT, FDELDATE, FFOLDERID, FFULLSIZE, FGETDATE, FGROUPID, "
        "FLABEL, FMANID, FNAME, FNN, FTYPEID, FUNIQUE, FFILES, FDISKIS, FDISKS, FLOCATION) values "
        "(:FDISKID, :FCOMMENT, :FDELDATE, :FFOLDERID, :FFULLSIZE, :FGETDATE, :FGROUPID, :FLABEL, "
        ":FMANID, :FNAME, :FNN, :FTYPEID, :FUNIQUE, :FFILES, :FDISKIS, :FDISKS, :FLOCATION)"));
    dtDisk.setModifySql(QStringLiteral(
        "update TDISK set FCOMMENT=:FCOMMENT, FDELDATE=:FDELDATE, FFOLDERID=:FFOLDERID, "
        "FFULLSIZE=:FFULLSIZE, FGETDATE=:FGETDATE, FGROUPID=:FGROUPID, FLABEL=:FLABEL, "
        "FMANID=:FMANID, FNAME=:FNAME, FNN=:FNN, FTYPEID=:FTYPEID, FUNIQUE=:FUNIQUE, "
        "FFILES=:FFILES, FDISKIS=:FDISKIS, FDISKS=:FDISKS, FLOCATION=:FLOCATION where "
        "FDISKID=:FDISKID"));
    dtDisk.setDeleteSql(QStringLiteral("delete from TDISK where FDISKID=:FDISKID"));
    dtDisk.setGeneratorField(QStringLiteral("FDISKID"));
    dtDisk.setMasterSource(&dtFolder);
    dtDisk.addField(FieldDef::column("FDISKID", FieldType::Integer, 0, true));
    dtDisk.addField(FieldDef::column("FMANID", FieldType::Integer, 0, true));
    dtDisk.addField(FieldDef::column("FFOLDERID", FieldType::Integer, 0, true));
    dtDisk.addField(FieldDef::column("FTYPEID", FieldType::Integer));
    dtDisk.addField(FieldDef::column("FGROUPID", FieldType::Integer));
    dtDisk.addField(FieldDef::column("FNAME", FieldType::String, 255, true));
    dtDisk.addField(FieldDef::column("FNN", FieldType::Integer));
    dtDisk.addField(FieldDef::column("FUNIQUE", FieldType::String, 255));
    dtDisk.addField(FieldDef::column("FGETDATE", FieldType::Date));
    dtDisk.addField(FieldDef::column("FDELDATE", FieldType::Date));
    dtDisk.addField(FieldDef::column("FCOMMENT", FieldType::String, 255));
    dtDisk.addField(FieldDef::column("FLABEL", FieldType::String, 255));
    dtDisk.addLookupField(QStringLiteral("FTYPE"), 255, QStringLiteral("FTYPEID"), &dtType,
                          QStringLiteral("FTYPEID"), QStringLiteral("FTYPE"));
    dtDisk.addLookupField(QStringLiteral("FGROUP"), 255, QStringLiteral("FGROUPID"), &dtGroup,
                          QStringLiteral("FGROUPID"), QStringLiteral("FGROUP"));
    dtDisk.addLookupField(QStringLiteral("FMAN"), 255, QStringLiteral("FMANID"), &dtMan,
                          QStringLiteral("FMANID"), QStringLiteral("FNAME"));
    dtDisk.addField(FieldDef::column("FFULLSIZE", FieldType::Float));
    dtDisk.addField(FieldDef::column("FSTATUSCODE", FieldType::Integer));
    dtDisk.addField(FieldDef::column("FSTATUS", FieldType::String, 255));
    dtDisk.addField(FieldDef::column("FFILES", FieldType::Integer));
    dtDisk.addField(FieldDef::column("FDISKIS", FieldType::Integer));
    dtDisk.addField(FieldDef::column("FDISKS", FieldType::Integer));
    dtDisk.addField(FieldDef::column("FLOCATION", FieldType::String, 255));

    dtMoveDisk.setSql(
        QStringLiteral("update TDISK set FFOLDERID=:FFOLDERID where FDISKID=:FDISKID"));
}

void MainData::assignNextId(QueryDataSet &dataSet, const QString &keyField)
{
    spNextID.execute();
    dataSet.fieldByName(keyField).setValue(spNextID.paramByName(QStringLiteral("ID")));
}
