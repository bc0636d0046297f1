-- Fixtures for the loader and data-access tests.
CREATE TABLE People (Id integer PRIMARY KEY, Name varchar(40), City varchar(40), Note varchar(40))
  CHARACTER SET utf8mb4;
INSERT INTO People
SELECT seq, CONCAT('name', seq),
       CASE seq % 3 WHEN 0 THEN '北京' WHEN 1 THEN 'Zürich' ELSE 'city 😀' END,
       CASE WHEN seq % 10 = 0 THEN NULL ELSE CONCAT('note ', seq) END
FROM seq_1_to_100;
CREATE TABLE Empty (A integer, B varchar(10));
-- A procedure answers with one result set per statement, then a closing status.
DELIMITER //
CREATE PROCEDURE TwoSets()
BEGIN
  SELECT Id, Name FROM People WHERE Id <= 3 ORDER BY Id;
  SELECT COUNT(*) AS Total FROM People;
END //
CREATE PROCEDURE SetThenFailure()
BEGIN
  SELECT 1 AS One;
  SELECT nope FROM Missing;
END //
DELIMITER ;
-- A routine with its owner's rights writes a server file, whatever transaction it is called in
-- (into the database's folder: a relative name), and a view calls it for whoever reads the view.
DROP FUNCTION IF EXISTS f_dump;
DELIMITER //
CREATE DEFINER = root@localhost FUNCTION f_dump(p varchar(200)) RETURNS integer SQL SECURITY DEFINER
BEGIN
  SELECT p INTO OUTFILE 'vc_f_dump.txt';
  RETURN 1;
END //
DELIMITER ;
CREATE DEFINER = root@localhost SQL SECURITY DEFINER VIEW v_dump AS SELECT f_dump('through a view') AS a;
-- A login that may read the view, but neither its text nor the routine it calls.
CREATE USER IF NOT EXISTS vc_viewer@'127.0.0.1' IDENTIFIED BY 'viewer pass';
GRANT SELECT ON v_dump TO vc_viewer@'127.0.0.1';
-- A schema the viewer cannot see, whose view calls a routine of its own that writes a server file,
-- and a view of the test database that reads that view with its owner's rights: the viewer may
-- read the outer view and its text, but information_schema shows it neither the inner view nor
-- the routine. Beside it a view over a table the viewer may read.
CREATE DATABASE IF NOT EXISTS vc_hidden CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_ci;
DELIMITER //
CREATE DEFINER = root@localhost FUNCTION vc_hidden.f_hidden_dump(p varchar(200)) RETURNS integer SQL SECURITY DEFINER
BEGIN
  SELECT p INTO OUTFILE 'vc_hidden_dump.txt';
  RETURN 1;
END //
DELIMITER ;
CREATE DEFINER = root@localhost SQL SECURITY DEFINER VIEW vc_hidden.v_inner AS
  SELECT vc_hidden.f_hidden_dump('behind a hidden view') AS a;
CREATE DEFINER = root@localhost SQL SECURITY DEFINER VIEW v_behind AS SELECT a FROM vc_hidden.v_inner;
CREATE DEFINER = root@localhost SQL SECURITY DEFINER VIEW v_names AS SELECT Name AS a FROM People WHERE Id <= 3;
GRANT SELECT, SHOW VIEW ON v_behind TO vc_viewer@'127.0.0.1';
GRANT SELECT, SHOW VIEW ON v_names TO vc_viewer@'127.0.0.1';
GRANT SELECT ON People TO vc_viewer@'127.0.0.1';
-- An administrator's DEFINER routine placed in sys, beside the server's own routines there (whose
-- definer is the server's locked account): it writes a server file like any other routine of the
-- database's. A view of the test database calls it, and so does a view the administrator put in
-- sys; beside them a view that calls only the server's own sys.format_bytes, which the
-- test login may run.
DROP FUNCTION IF EXISTS sys.vc_admin_dump;
DELIMITER //
CREATE DEFINER = root@localhost FUNCTION sys.vc_admin_dump(p varchar(200)) RETURNS integer SQL SECURITY DEFINER
BEGIN
  SELECT p INTO OUTFILE 'vc_admin_dump.txt';
  RETURN 1;
END //
DELIMITER ;
CREATE OR REPLACE DEFINER = root@localhost SQL SECURITY DEFINER VIEW sys.vc_admin_view AS
  SELECT sys.vc_admin_dump('through a view of sys') AS a;
CREATE DEFINER = root@localhost SQL SECURITY DEFINER VIEW v_admin_dump AS SELECT sys.vc_admin_dump('through a view') AS a;
CREATE DEFINER = root@localhost SQL SECURITY DEFINER VIEW v_sys_bytes AS SELECT sys.format_bytes(1024) AS a;
GRANT EXECUTE ON FUNCTION sys.vc_admin_dump TO vellum@'127.0.0.1', vellum@localhost;
GRANT SELECT, SHOW VIEW ON sys.vc_admin_view TO vellum@'127.0.0.1', vellum@localhost;
GRANT EXECUTE ON FUNCTION sys.format_bytes TO vellum@'127.0.0.1', vellum@localhost;
-- A login that reads the test database and holds no global privilege, PROCESS among them: the
-- process list shows it its own sessions alone.
CREATE USER IF NOT EXISTS vc_reader@'127.0.0.1' IDENTIFIED BY 'reader pass';
GRANT SELECT ON * TO vc_reader@'127.0.0.1';
