-- Kodra catalogue: starting rows of a new catalogue: one folder, no disks.
-- The starting keys are distinct across tables, and SQ_MAIN continues above all of them.

-- Key 1 is the catalogue's own user: new disks belong to it.
INSERT INTO TMAN (FMANID, FNAME, FCOMMENT) VALUES (1, 'Я', 'Владелец каталога');

INSERT INTO TTYPE (FTYPEID, FTYPE) VALUES (2, 'CD');
INSERT INTO TTYPE (FTYPEID, FTYPE) VALUES (3, 'DVD');
INSERT INTO TTYPE (FTYPEID, FTYPE) VALUES (4, 'Blu-ray');
INSERT INTO TTYPE (FTYPEID, FTYPE) VALUES (5, 'USB-флешка');
INSERT INTO TTYPE (FTYPEID, FTYPE) VALUES (6, 'Жёсткий диск');
INSERT INTO TTYPE (FTYPEID, FTYPE) VALUES (7, 'Карта памяти');
INSERT INTO TTYPE (FTYPEID, FTYPE) VALUES (8, 'Дискета');

INSERT INTO TGROUP (FGROUPID, FGROUP) VALUES (9, 'Музыка');
INSERT INTO TGROUP (FGROUPID, FGROUP) VALUES (10, 'Фильмы');
INSERT INTO TGROUP (FGROUPID, FGROUP) VALUES (11, 'Программы');
INSERT INTO TGROUP (FGROUPID, FGROUP) VALUES (12, 'Игры');
INSERT INTO TGROUP (FGROUPID, FGROUP) VALUES (13, 'Фото');
INSERT INTO TGROUP (FGROUPID, FGROUP) VALUES (14, 'Документы');
INSERT INTO TGROUP (FGROUPID, FGROUP) VALUES (15, 'Архив');

-- A disk needs a folder: a new catalogue starts with one at the top level.
INSERT INTO TFOLDER (FFOLDERID, FFOLDER, FOWNFOLDERID) VALUES (16, 'Мои диски', 0);

-- The next value drawn is 101.
ALTER SEQUENCE SQ_MAIN RESTART WITH 100;

COMMIT;
