-- Kodra catalogue: tables and the key generator.
-- The database's default character set is UTF8, so every Linux file name is kept as it is.
-- Texts a user reads or sorts use the UNICODE collation: Russian and Latin names sort as
-- a reader expects. No index is built on a UNICODE column, so an ICU upgrade never
-- leaves a stale index behind.

-- One key space for the whole catalogue; GETNEXTID draws from it as well.
CREATE SEQUENCE SQ_MAIN;

CREATE TABLE TMAN (
  FMANID   INTEGER NOT NULL,
  FNAME    VARCHAR(255) NOT NULL COLLATE UNICODE,
  FCOMMENT VARCHAR(255) COLLATE UNICODE,
  CONSTRAINT PK_TMAN PRIMARY KEY (FMANID)
);

CREATE TABLE TTYPE (
  FTYPEID INTEGER NOT NULL,
  FTYPE   VARCHAR(255) NOT NULL COLLATE UNICODE,
  CONSTRAINT PK_TTYPE PRIMARY KEY (FTYPEID)
);

CREATE TABLE TGROUP (
  FGROUPID INTEGER NOT NULL,
  FGROUP   VARCHAR(255) NOT NULL COLLATE UNICODE,
  CONSTRAINT PK_TGROUP PRIMARY KEY (FGROUPID)
);

-- The parent link is deliberately no foreign key: 0, NULL and a vanished parent all
-- put a folder at the top level of the tree.
CREATE TABLE TFOLDER (
  FFOLDERID    INTEGER NOT NULL,
  FFOLDER      VARCHAR(255) COLLATE UNICODE,
  FOWNFOLDERID INTEGER DEFAULT 0,
  CONSTRAINT PK_TFOLDER PRIMARY KEY (FFOLDERID)
);

-- Plain foreign keys: deleting a folder that holds disks, or a person, type or group
-- still in use, is refused, so no disk is ever lost silently.
CREATE TABLE TDISK (
  FDISKID   INTEGER NOT NULL,
  FFOLDERID INTEGER NOT NULL,
  FMANID    INTEGER NOT NULL,
  FTYPEID   INTEGER,
  FGROUPID  INTEGER,
  FNAME     VARCHAR(255) NOT NULL COLLATE UNICODE,
  FNN       INTEGER,
  FDISKIS   INTEGER,
  FDISKS    INTEGER,
  FUNIQUE   VARCHAR(255),
  FLABEL    VARCHAR(255) COLLATE UNICODE,
  FFULLSIZE DOUBLE PRECISION,
  FFILES    INTEGER,
  FGETDATE  DATE,
  FDELDATE  DATE,
  FCOMMENT  VARCHAR(255) COLLATE UNICODE,
  FLOCATION VARCHAR(255) COLLATE UNICODE,
  CONSTRAINT PK_TDISK PRIMARY KEY (FDISKID),
  CONSTRAINT FK_TDISK_FOLDER FOREIGN KEY (FFOLDERID) REFERENCES TFOLDER (FFOLDERID),
  CONSTRAINT FK_TDISK_MAN FOREIGN KEY (FMANID) REFERENCES TMAN (FMANID),
  CONSTRAINT FK_TDISK_TYPE FOREIGN KEY (FTYPEID) REFERENCES TTYPE (FTYPEID),
  CONSTRAINT FK_TDISK_GROUP FOREIGN KEY (FGROUPID) REFERENCES TGROUP (FGROUPID)
);

-- The duplicate-serial check on reading a disk looks disks up by serial number.
CREATE INDEX IX_TDISK_FUNIQUE ON TDISK (FUNIQUE);
-- The disk list reads a folder's disks by number and name: walking this index gives its first
-- screen without sorting the whole folder.
CREATE INDEX IX_TDISK_FOLDER_ORDER ON TDISK (FFOLDERID, FNN, FNAME);

-- Millions of rows are written here one by one while a drive is read, so the table has
-- only two indexes: the key and (disk, parent). The second serves a branch of the tree,
-- a disk's root entries (parent NULL), the search within one disk and, by its prefix,
-- the removal of a disk's entries. A foreign key on FDISKID would add a third index, so
-- the disk's triggers carry its entries along instead; an insert is not checked (the
-- reader writes entries only under a posted disk), nor is the parent link: each check
-- would cost a lookup per row.
-- FCONTENT holds a 255-byte file name or a root entry with a long mount point.
CREATE TABLE TCONTENT (
  FCONTENTID    INTEGER NOT NULL,
  FDISKID       INTEGER,
  FOWNCONTENTID INTEGER,
  FTYPE         INTEGER,
  FCONTENT      VARCHAR(1024) COLLATE UNICODE,
  FSIZE         DOUBLE PRECISION,
  FDATE         TIMESTAMP,
  CONSTRAINT PK_TCONTENT PRIMARY KEY (FCONTENTID)
);

CREATE INDEX IX_TCONTENT_DISK_OWNER ON TCONTENT (FDISKID, FOWNCONTENTID);

-- A disk's lendings go with the disk.
CREATE TABLE TGIVE (
  FGIVEID   INTEGER NOT NULL,
  FDISKID   INTEGER NOT NULL,
  FMANID    INTEGER NOT NULL,
  FGIVEDATE DATE,
  FCTRLDATE DATE,
  FRETDATE  DATE,
  FCOMMENT  VARCHAR(255) COLLATE UNICODE,
  CONSTRAINT PK_TGIVE PRIMARY KEY (FGIVEID),
  CONSTRAINT FK_TGIVE_DISK FOREIGN KEY (FDISKID) REFERENCES TDISK (FDISKID)
    ON DELETE CASCADE ON UPDATE CASCADE,
  CONSTRAINT FK_TGIVE_MAN FOREIGN KEY (FMANID) REFERENCES TMAN (FMANID)
);

CREATE TABLE TREPORT (
  FREPORTID INTEGER NOT NULL,
  FFRF      BLOB SUB_TYPE BINARY,
  FREPORT   VARCHAR(255) NOT NULL COLLATE UNICODE,
  CONSTRAINT PK_TREPORT PRIMARY KEY (FREPORTID)
);

SET TERM ^ ;

-- A disk's entries go with the disk (found through the prefix of IX_TCONTENT_DISK_OWNER).
CREATE TRIGGER TDISK_AD FOR TDISK
ACTIVE AFTER DELETE POSITION 0
AS
BEGIN
  DELETE FROM TCONTENT WHERE FDISKID = OLD.FDISKID;
END^

CREATE TRIGGER TDISK_AU FOR TDISK
ACTIVE AFTER UPDATE POSITION 0
AS
BEGIN
  IF (NEW.FDISKID IS DISTINCT FROM OLD.FDISKID) THEN
    UPDATE TCONTENT SET FDISKID = NEW.FDISKID WHERE FDISKID = OLD.FDISKID;
END^

SET TERM ; ^

COMMIT;
