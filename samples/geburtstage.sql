-- The sample database of the birthday import: table Geburtstag with an index on Personalnr.
-- Build it with: dbsh --create geburtstage.mdb geburtstage.sql  (or: ninja demo)
CREATE TABLE Geburtstag (ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY, Mitarbeiter TEXT(255), Geburtsdatum DATETIME, Telefon TEXT(255), Personalnr LONG)
CREATE INDEX Personalnr ON Geburtstag (Personalnr)
INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES ("Müller, Jürgen", #03/14/1968#, "0711 123-45", 1001)
INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES ("Schäfer, Brigitte", #11/02/1975#, "0711 123-46", 1002)
INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES ("Weiß, Günther", #07/29/1959#, "0711 123-47", 1003)
INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES ("Größer, Ömer", #01/05/1982#, "0711 123-48", 1004)
INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES ("Bäcker, Ülkü", #12/24/1990#, "0711 123-49", 1005)
INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES ("Köhler, Anneliese", #05/31/1971#, NULL, 1006)
INSERT INTO Geburtstag (Mitarbeiter, Geburtsdatum, Telefon, Personalnr) VALUES ("Ausgeschieden, Otto", #02/03/1944#, NULL, 999)
SELECT Personalnr, Mitarbeiter, Geburtsdatum FROM Geburtstag ORDER BY Mitarbeiter
