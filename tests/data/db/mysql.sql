-- Fixtures for the loader and data-access tests.
CREATE TABLE People (Id integer PRIMARY KEY, Name varchar(40), City varchar(40), Note varchar(40))
  CHARACTER SET utf8mb4;
INSERT INTO People
SELECT seq, CONCAT('name', seq),
       CASE seq % 3 WHEN 0 THEN '北京' WHEN 1 THEN 'Zürich' ELSE 'city 😀' END,
       CASE WHEN seq % 10 = 0 THEN NULL ELSE CONCAT('note ', seq) END
FROM seq_1_to_100;
CREATE TABLE Empty (A integer, B varchar(10));
