#!/usr/bin/env python3
"""The birthday import as a plain per-row script, for comparison with the program on the same
PostgreSQL server: every export line is one SELECT and then one UPDATE or INSERT, every record
that is no longer in the file one DELETE, each statement committed on its own (autocommit).

    psycopg2_import.py HOST_OR_SOCKET_DIR DATABASE USER EXPORT_FILE [FIRST_LINE]
"""
import sys

import psycopg2


def rows(path, first_line):
    with open(path, encoding="cp1252", newline="") as f:
        for number, line in enumerate(f.read().split("\r\n"), start=1):
            if number < first_line or not line:
                continue
            fields = line.split(";")
            if len(fields) < 19:
                continue
            yield fields[1], fields[4], fields[2] + " " + fields[3], fields[18]


def main():
    host, database, user, export = sys.argv[1:5]
    first_line = int(sys.argv[5]) if len(sys.argv) > 5 else 4
    conn = psycopg2.connect(host=host, dbname=database, user=user)
    conn.autocommit = True
    cur = conn.cursor()
    seen = set()
    for number, birthday, name, phone in rows(export, first_line):
        if not birthday or not all(c.isdigit() or c == "." for c in birthday[:10]):
            continue
        day, month, year = birthday[:10].split(".")
        date = "%s-%s-%s" % (year, month, day)
        nr = int(number)
        seen.add(nr)
        cur.execute("SELECT id FROM geburtstag WHERE personalnr = %s", (nr,))
        found = cur.fetchone()
        if found:
            cur.execute("UPDATE geburtstag SET geburtsdatum = %s WHERE id = %s", (date, found[0]))
        else:
            cur.execute("INSERT INTO geburtstag (mitarbeiter, geburtsdatum, telefon, personalnr) "
                        "VALUES (%s, %s, %s, %s)", (name, date, phone, nr))
    cur.execute("SELECT id, personalnr FROM geburtstag ORDER BY id")
    for record_id, nr in cur.fetchall():
        if nr not in seen:
            cur.execute("DELETE FROM geburtstag WHERE id = %s", (record_id,))
    conn.close()


if __name__ == "__main__":
    main()
