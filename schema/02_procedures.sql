-- Kodra catalogue: server procedures.
-- Texts the client compares come in upper case; CONTAINING ignores letter case for every
-- script, Cyrillic included, so the names are matched as they are stored.

SET TERM ^ ;

-- A fresh key for any table, from the one catalogue sequence.
CREATE PROCEDURE GETNEXTID
RETURNS (ID INTEGER)
AS
BEGIN
  ID = NEXT VALUE FOR SQ_MAIN;
END^

-- The client opens only a catalogue whose version text is exactly '1.0'.
CREATE PROCEDURE GETVERSION
RETURNS (VERSION VARCHAR(10))
AS
BEGIN
  VERSION = '1.0';
END^

-- Lending state of a disk for the disk list: 2 while lent out and not overdue, 3 when
-- the due day has passed and it is not back, no row when it is at home. With several
-- open lendings one row only: an overdue one wins (the most overdue), else the latest.
CREATE PROCEDURE GETSTATUS (FDISKID INTEGER)
RETURNS (FSTATUSCODE INTEGER, FSTATUS VARCHAR(255) COLLATE UNICODE)
AS
  DECLARE VARIABLE VNAME VARCHAR(255);
  DECLARE VARIABLE VGIVEDATE DATE;
  DECLARE VARIABLE VCTRLDATE DATE;
  DECLARE FUNCTION DMY (D DATE) RETURNS VARCHAR(10)
  AS
  BEGIN
    RETURN LPAD(CAST(EXTRACT(DAY FROM D) AS VARCHAR(2)), 2, '0') || '.'
      || LPAD(CAST(EXTRACT(MONTH FROM D) AS VARCHAR(2)), 2, '0') || '.'
      || CAST(EXTRACT(YEAR FROM D) AS VARCHAR(4));
  END
BEGIN
  FOR SELECT FIRST 1 COALESCE(m.FNAME, ''), g.FGIVEDATE, g.FCTRLDATE
      FROM TGIVE g
      LEFT JOIN TMAN m ON m.FMANID = g.FMANID
      WHERE g.FDISKID = :FDISKID AND g.FRETDATE IS NULL
      ORDER BY IIF(g.FCTRLDATE < CURRENT_DATE, 0, 1),
               IIF(g.FCTRLDATE < CURRENT_DATE, g.FCTRLDATE, NULL),
               g.FGIVEDATE DESC NULLS LAST, g.FGIVEID DESC
      INTO :VNAME, :VGIVEDATE, :VCTRLDATE
  DO
  BEGIN
    -- The dates must stay visible, so a long name gives way.
    VNAME = LEFT(VNAME, 200);
    IF (VCTRLDATE < CURRENT_DATE) THEN
    BEGIN
      FSTATUSCODE = 3;
      FSTATUS = 'Просрочен: ' || VNAME || ', до ' || DMY(VCTRLDATE);
    END
    ELSE
    BEGIN
      FSTATUSCODE = 2;
      IF (VCTRLDATE IS NOT NULL) THEN
        FSTATUS = 'У ' || VNAME || ' до ' || DMY(VCTRLDATE);
      ELSE IF (VGIVEDATE IS NOT NULL) THEN
        FSTATUS = 'У ' || VNAME || ' с ' || DMY(VGIVEDATE);
      ELSE
        FSTATUS = 'У ' || VNAME;
    END
    SUSPEND;
  END
END^

-- One row for a folder: its own name and its path from the top level, names joined
-- with ' / '. The walk up stops at the top level, at a parent that does not exist and
-- at a folder already visited (a cycle). An overlong path keeps its end, which is what
-- the grids show, behind a leading '…'. An unknown key gives a row of NULLs.
CREATE PROCEDURE GETFOLDERFULL (FFOLDERID INTEGER)
RETURNS (FFOLDERFULL VARCHAR(1024) COLLATE UNICODE, FFOLDER VARCHAR(255) COLLATE UNICODE)
AS
  DECLARE VARIABLE VPARENT INTEGER;
  DECLARE VARIABLE VNEXT INTEGER;
  DECLARE VARIABLE VNAME VARCHAR(255);
  DECLARE VARIABLE VSEEN VARCHAR(1400);
  DECLARE VARIABLE VDEPTH INTEGER = 0;
BEGIN
  SELECT FFOLDER, FOWNFOLDERID FROM TFOLDER WHERE FFOLDERID = :FFOLDERID
    INTO :FFOLDER, :VPARENT;
  IF (ROW_COUNT = 0) THEN
  BEGIN
    SUSPEND;
    EXIT;
  END
  FFOLDERFULL = COALESCE(FFOLDER, '');
  VSEEN = ',' || FFOLDERID || ',';
  WHILE (VPARENT IS NOT NULL AND VDEPTH < 100) DO
  BEGIN
    IF (POSITION(',' || VPARENT || ',' IN VSEEN) > 0) THEN
      LEAVE;
    SELECT FFOLDER, FOWNFOLDERID FROM TFOLDER WHERE FFOLDERID = :VPARENT
      INTO :VNAME, :VNEXT;
    IF (ROW_COUNT = 0) THEN
      LEAVE;
    VNAME = COALESCE(VNAME, '');
    IF (CHAR_LENGTH(VNAME) + 3 + CHAR_LENGTH(FFOLDERFULL) > 1024) THEN
    BEGIN
      FFOLDERFULL = '… / ' || RIGHT(FFOLDERFULL, 1020);
      LEAVE;
    END
    FFOLDERFULL = VNAME || ' / ' || FFOLDERFULL;
    VSEEN = VSEEN || VPARENT || ',';
    VPARENT = VNEXT;
    VDEPTH = VDEPTH + 1;
  END
  SUSPEND;
END^

-- The entries of a disk under one parent entry; parent 0 (or NULL) gives the disk's
-- root entries, one per reading, in reading order. Below a root entry directories come
-- before files, each by name.
CREATE PROCEDURE GETCONTENTBRANCH (FDISKID INTEGER, FOWNCONTENTID INTEGER)
RETURNS (FCONTENT VARCHAR(1024) COLLATE UNICODE, FCONTENTID INTEGER, FDATE TIMESTAMP,
         FSIZE DOUBLE PRECISION, FTYPE INTEGER)
AS
BEGIN
  IF (FOWNCONTENTID IS NULL OR FOWNCONTENTID = 0) THEN
    -- "+ 0" keeps the optimizer on the (disk, parent) index instead of walking the key.
    FOR SELECT c.FCONTENT, c.FCONTENTID, c.FDATE, c.FSIZE, c.FTYPE
        FROM TCONTENT c
        WHERE c.FDISKID = :FDISKID AND c.FOWNCONTENTID IS NULL
        ORDER BY c.FCONTENTID + 0
        INTO :FCONTENT, :FCONTENTID, :FDATE, :FSIZE, :FTYPE
    DO
      SUSPEND;
  ELSE
    FOR SELECT c.FCONTENT, c.FCONTENTID, c.FDATE, c.FSIZE, c.FTYPE
        FROM TCONTENT c
        WHERE c.FDISKID = :FDISKID AND c.FOWNCONTENTID = :FOWNCONTENTID
        ORDER BY IIF(c.FTYPE > 0, 0, 1), c.FCONTENT, c.FCONTENTID
        INTO :FCONTENT, :FCONTENTID, :FDATE, :FSIZE, :FTYPE
    DO
      SUSPEND;
END^

-- Keys of a disk's entries whose name contains the text, in reading order, which is
-- the order in which repeated searches step through them. An empty text matches every
-- entry, NULL none.
CREATE PROCEDURE FINDFILE (VDISKID INTEGER, VCONTENT VARCHAR(1024))
RETURNS (FCONTENTID INTEGER)
AS
BEGIN
  FOR SELECT c.FCONTENTID
      FROM TCONTENT c
      WHERE c.FDISKID = :VDISKID AND c.FCONTENT CONTAINING :VCONTENT
      ORDER BY c.FCONTENTID + 0
      INTO :FCONTENTID
  DO
    SUSPEND;
END^

-- Search over the whole catalogue. VDISK selects disks whose name contains it (empty:
-- every disk). With an empty VCONTENT each selected disk is one row and the content
-- outputs stay NULL; otherwise there is one row per file or directory of a selected
-- disk whose name contains VCONTENT. Root entries are not matched: their text names
-- the drive, not a file. FCONTENTFULL is the entry's path on the medium below its root
-- entry, names joined with '/' and no leading '/' (the root entry's text is left out;
-- an overlong path keeps its end behind '…/'). Disks come by folder path, number and
-- name, entries of a disk in reading order. Each disk's entries are read once through
-- the (disk, parent) index, and a path is built only for a match: the path of its folder
-- once for the matches in that folder that follow one another, as a reading stores them.
CREATE PROCEDURE FIND (VCONTENT VARCHAR(1024), VDISK VARCHAR(255))
RETURNS (FFOLDERID INTEGER, FDISKID INTEGER, FFOLDERFULL VARCHAR(1024) COLLATE UNICODE,
         FDISK VARCHAR(255) COLLATE UNICODE, FDISKCOMMENT VARCHAR(255) COLLATE UNICODE,
         FDISKDATE DATE, FCONTENTFULL VARCHAR(4096) COLLATE UNICODE,
         FCONTENTDATE TIMESTAMP, FCONTENTSIZE DOUBLE PRECISION)
AS
  DECLARE VARIABLE VOWN INTEGER;
  DECLARE VARIABLE VNEXT INTEGER;
  DECLARE VARIABLE VNAME VARCHAR(1024);
  DECLARE VARIABLE VTYPE INTEGER;
  DECLARE VARIABLE VDEPTH INTEGER;
  DECLARE VARIABLE VPARENT INTEGER;
  DECLARE VARIABLE VPREFIX VARCHAR(4096);
BEGIN
  VDISK = COALESCE(VDISK, '');
  VCONTENT = COALESCE(VCONTENT, '');
  FOR SELECT d.FFOLDERID, d.FDISKID, f.FFOLDERFULL, d.FNAME, d.FCOMMENT, d.FGETDATE
      FROM TDISK d
      LEFT JOIN GETFOLDERFULL(d.FFOLDERID) f ON 1 = 1
      WHERE d.FNAME CONTAINING :VDISK
      ORDER BY f.FFOLDERFULL, d.FNN, d.FNAME, d.FDISKID
      INTO :FFOLDERID, :FDISKID, :FFOLDERFULL, :FDISK, :FDISKCOMMENT, :FDISKDATE
  DO
  BEGIN
    VPARENT = -1;
    IF (VCONTENT = '') THEN
    BEGIN
      FCONTENTFULL = NULL;
      FCONTENTDATE = NULL;
      FCONTENTSIZE = NULL;
      SUSPEND;
    END
    ELSE
      FOR SELECT c.FOWNCONTENTID, c.FCONTENT, c.FDATE, c.FSIZE
          FROM TCONTENT c
          WHERE c.FDISKID = :FDISKID AND c.FCONTENT CONTAINING :VCONTENT
            AND c.FTYPE IS DISTINCT FROM 2
          ORDER BY c.FCONTENTID + 0
          INTO :VOWN, :FCONTENTFULL, :FCONTENTDATE, :FCONTENTSIZE
      DO
      BEGIN
        -- The path of the folder, walked up to the root entry, is kept for the matches in
        -- the same folder; the depth limit guards against a broken chain. NULL: too long.
        IF (VOWN IS DISTINCT FROM VPARENT) THEN
        BEGIN
          VPARENT = VOWN;
          VPREFIX = '';
          VDEPTH = 0;
          WHILE (VOWN IS NOT NULL AND VDEPTH < 1000 AND VPREFIX IS NOT NULL) DO
          BEGIN
            SELECT c.FOWNCONTENTID, c.FCONTENT, c.FTYPE
              FROM TCONTENT c
              WHERE c.FCONTENTID = :VOWN AND c.FDISKID = :FDISKID
              INTO :VNEXT, :VNAME, :VTYPE;
            IF (ROW_COUNT = 0 OR VTYPE = 2) THEN
              LEAVE;
            VNAME = COALESCE(VNAME, '');
            IF (CHAR_LENGTH(VNAME) + 1 + CHAR_LENGTH(VPREFIX) > 4096) THEN
              VPREFIX = NULL;
            ELSE
              VPREFIX = VNAME || '/' || VPREFIX;
            VOWN = VNEXT;
            VDEPTH = VDEPTH + 1;
          END
          VOWN = VPARENT;
        END
        IF (VPREFIX IS NOT NULL
            AND CHAR_LENGTH(VPREFIX) + CHAR_LENGTH(FCONTENTFULL) <= 4096) THEN
        BEGIN
          FCONTENTFULL = VPREFIX || FCONTENTFULL;
          VOWN = NULL;
        END
        -- An overlong path is built name by name, keeping its end.
        VDEPTH = 0;
        WHILE (VOWN IS NOT NULL AND VDEPTH < 1000) DO
        BEGIN
          SELECT c.FOWNCONTENTID, c.FCONTENT, c.FTYPE
            FROM TCONTENT c
            WHERE c.FCONTENTID = :VOWN AND c.FDISKID = :FDISKID
            INTO :VNEXT, :VNAME, :VTYPE;
          IF (ROW_COUNT = 0 OR VTYPE = 2) THEN
            LEAVE;
          VNAME = COALESCE(VNAME, '');
          IF (CHAR_LENGTH(VNAME) + 1 + CHAR_LENGTH(FCONTENTFULL) > 4096) THEN
          BEGIN
            FCONTENTFULL = '…/' || RIGHT(FCONTENTFULL, 4094);
            LEAVE;
          END
          FCONTENTFULL = VNAME || '/' || FCONTENTFULL;
          VOWN = VNEXT;
          VDEPTH = VDEPTH + 1;
        END
        SUSPEND;
      END
  END
END^

SET TERM ; ^

COMMIT;
