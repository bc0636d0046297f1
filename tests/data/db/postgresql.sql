-- Fixtures for the loader and data-access tests. Mixed-case names are quoted so
-- that their case is kept; "People" and "people" are two tables.
CREATE TABLE "People" ("Id" integer PRIMARY KEY, "Name" text, "City" text, "Note" text);
INSERT INTO "People"
SELECT i, 'name' || i,
       CASE i % 3 WHEN 0 THEN '北京' WHEN 1 THEN 'Zürich' ELSE 'city 😀' END,
       CASE WHEN i % 10 = 0 THEN NULL ELSE 'note ' || i END
FROM generate_series(1, 100) AS i;
CREATE TABLE people (id integer, name text);
INSERT INTO people VALUES (1, 'lower');
CREATE TABLE "Empty" ("A" integer, "B" text);
-- dblink reaches other servers from a function; its functions are the database's, not the server's.
CREATE EXTENSION IF NOT EXISTS dblink;
-- A table named like a built-in function.
CREATE TABLE lower (a text);
INSERT INTO lower VALUES ('read from a table named lower');
