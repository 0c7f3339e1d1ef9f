-- a comment, then a blank line

CREATE TABLE Werte (ID COUNTER CONSTRAINT PK PRIMARY KEY, T TEXT(50) NOT NULL DEFAULT "leer", L LONG, D DOUBLE, S SINGLE, C CURRENCY, B BIT, W DATETIME, G GUID, Y BINARY(4), M MEMO)
CREATE UNIQUE INDEX LD ON Werte (L, D DESC)
INSERT INTO Werte (T, L, D, S, C, B, W, G, M) VALUES ('a' & Chr(9) & 'b\c' & Chr(13) & Chr(10) & 'd', -42, 0.1, 1.5, 12.3, True, #02/29/2004 13:05:09#, {guid {0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}}, 'Grüße')
INSERT INTO Werte (T, L, D, C, B) VALUES ('zwei', 7, 1e20, -0.5, False)
INSERT INTO Werte (L) VALUES (8)
SELECT * FROM Werte ORDER BY ID
UPDATE Werte SET D = 1/3 WHERE L > 0
SELECT L, D FROM Werte WHERE L > 0 ORDER BY L
INSERT INTO Werte (T, L, D) VALUES ('doppelt', 7, 0.3333333333333333)
SELECT Unbekannt FROM Werte
DELETE FROM Nirgends
.tables
.schema Werte
.indexes Werte
.unknown
DELETE FROM Werte WHERE L = 8
-- Jet SQL: TOP with ties, aliases, Yes/No without a value, subqueries, UNION, RIGHT JOIN
CREATE TABLE P (N LONG, Name TEXT(20), Tag DATETIME, Ja BIT)
INSERT INTO P (N, Name, Tag) VALUES (1, 'Anna', #03/04/2005#)
INSERT INTO P (N, Name, Tag) VALUES (2, 'Bernd', #12/31/2004 18:30#)
INSERT INTO P (N, Name, Tag) VALUES (3, 'Carla', #03/04/2005#)
INSERT INTO P (N, Name, Tag, Ja) VALUES (4, 'Dora', #01/01/2006#, True)
SELECT TOP 2 N, Name FROM P ORDER BY Tag
SELECT TOP 50 PERCENT Name FROM P ORDER BY N DESC
SELECT N, N * 10 AS Z FROM P WHERE Z > 15 ORDER BY Z DESC
SELECT Name, Ja FROM P WHERE Ja = False
SELECT Name FROM P WHERE N > (SELECT Avg(N) FROM P)
SELECT Name FROM P WHERE EXISTS (SELECT 1 FROM Werte WHERE Werte.L = P.N * 7 - 7)
SELECT Name FROM P WHERE N < ALL (SELECT N FROM P WHERE Ja)
SELECT N FROM P WHERE N < 3 UNION SELECT L FROM Werte ORDER BY N
SELECT P.Name, Werte.T FROM Werte RIGHT JOIN P ON Werte.L = P.N * 7 - 7 ORDER BY P.N
INSERT INTO P (N, Name) SELECT L, T FROM Werte WHERE L > 0
SELECT N, Name, Tag INTO Kopie FROM P WHERE N < 3
.schema Kopie
SELECT P.Name, P.Ja FROM Kopie RIGHT JOIN P ON Kopie.N = P.N WHERE Kopie.N IS NULL ORDER BY P.N
-- Jet functions
SELECT DateAdd('m', 1, #01/31/2004#) AS A, DateDiff('ww', #01/01/2005#, #01/02/2005#) AS B, DatePart('ww', #01/01/2005#, 2, 2) AS C, Format(1234.5, '#,##0.00') AS D, Format(#03/04/2005#, 'yyyy-mm-dd') AS E, Format(Tag, 'Long Date') AS F FROM P WHERE N = 1
SELECT Replace(Name, 'a', '_') AS R, StrComp(Name, 'ANNA') AS S, Val('12abc') AS V, Str(-0.5) AS X, Switch(N = 1, 'eins') AS W, Choose(N, 'a', 'b') AS C, IsNumeric('1e3') AS I, IsDate('2005-02-30') AS J, Asc('€') AS K, Chr(252) AS L, Round(2.5) AS M, CCur(N / 3) AS Y FROM P WHERE N = 1
SELECT Name FROM P WHERE Name LIKE '*a*a*a*a*b'
-- Errors: nesting, a JOIN without its kind, an unknown field of INSERT
SELECT N FROM P WHERE ((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((N = 1))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))))
SELECT * FROM P JOIN Werte ON P.N = Werte.L
INSERT INTO P (Nope) VALUES (1)
.tables
