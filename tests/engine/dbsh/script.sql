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
