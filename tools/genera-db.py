#!/usr/bin/env python3
"""Makes a large Sorvela database for measuring the console on a realistic
archive: many subscribers, a long event history and a few events still
waiting in the queue. Python standard library only.

    tools/genera-db.py OUT.db [--eventi N] [--non-archiviati K] [--utenti U]

Defaults: 1,000,000 events of which 100 not archived, 10,000 subscribers.
The schema is db/schema.sql, as `sorvela-db init` uses it. The file must not
exist yet. Events are spread over the last two years, oldest first; the ones
not archived are the newest, as in a console whose operator keeps up.
"""

import argparse
import datetime as dt
import os
import random
import sqlite3
import sys

QUI = os.path.dirname(os.path.abspath(__file__))
SCHEMA = os.path.join(QUI, "..", "db", "schema.sql")

NOMI = ["Rossi", "Bianchi", "Esposito", "Romano", "Colombo", "Ricci", "Marino", "Greco", "Bruno", "Gallo",
        "Conti", "De Luca", "Costa", "Giordano", "Mancini", "Rizzo", "Lombardi", "Moretti"]
PROPRI = ["Maria", "Giuseppe", "Anna", "Marco", "Luca", "Francesca", "Paolo", "Giulia", "Stefano", "Chiara"]
AZIENDE = ["Ferramenta", "Farmacia", "Panificio", "Cooperativa", "Autofficina", "Studio", "Magazzino"]
CITTA = [("Firenze", "FI", "50123"), ("Bologna", "BO", "40121"), ("Torino", "TO", "10121"),
         ("Napoli", "NA", "80134"), ("Pescara", "PE", "65121"), ("Pienza", "SI", "53026")]
MODELLI = ["Sentinella GSM 4", "Vedetta 8", "TeleMisura T2"]

RAPPORTO = "credito: {c:.2f} euro; liv. batt. {b}; segnale {s}/5; rete NET1; sim S1; sw:V1.8"


def evento(rnd, codice, quando, archiviato):
    """One event as a unit or the console would have written it."""
    r = rnd.random()
    if r < 0.70:
        testo = RAPPORTO.format(c=rnd.uniform(3, 30), b=rnd.randint(30, 100), s=rnd.randint(3, 5))
        tipo, descr = "Test", "Stato regolare"
    elif r < 0.85:
        testo = "Interrogazione della periferica"
        tipo, descr = "Test", "Interrogazione automatica della periferica"
    elif r < 0.95:
        testo = RAPPORTO.format(c=rnd.uniform(3, 30), b=rnd.randint(5, 20), s=rnd.randint(1, 5))
        tipo, descr = "Allarme", "Batteria scarica; "
    else:
        testo = "ALLARME INGRESSO %d" % rnd.randint(1, 8)
        tipo, descr = "Allarme", "Scarso credito residuo;"
    return (codice, quando.strftime("%Y-%m-%d %H:%M:%S"), testo, archiviato, tipo, descr)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("uscita")
    ap.add_argument("--eventi", type=int, default=1_000_000)
    ap.add_argument("--non-archiviati", type=int, default=100)
    ap.add_argument("--utenti", type=int, default=10_000)
    ap.add_argument("--seme", type=int, default=7)
    a = ap.parse_args()
    if a.eventi < 0 or a.utenti < 1 or not 0 <= a.non_archiviati <= a.eventi:
        sys.exit("genera-db: counts out of range")
    if os.path.exists(a.uscita):
        sys.exit("genera-db: %s already exists" % a.uscita)

    rnd = random.Random(a.seme)
    db = sqlite3.connect(a.uscita)
    try:
        with open(SCHEMA, encoding="utf-8") as f:
            db.executescript(f.read())
        db.execute("PRAGMA journal_mode=WAL")

        codici = ["%06d" % (i + 1) for i in range(a.utenti)]
        righe = []
        for i, codice in enumerate(codici):
            citta, prov, cap = rnd.choice(CITTA)
            azienda = rnd.random() < 0.3
            cognome, nome = rnd.choice(NOMI), rnd.choice(PROPRI)
            righe.append((codice, rnd.random() < 0.5, azienda,
                          "%s %s s.r.l." % (rnd.choice(AZIENDE), cognome) if azienda else "",
                          "%s %s" % (cognome, nome), "Via Roma %d" % (i % 200 + 1), citta, prov, cap,
                          rnd.choice(MODELLI), rnd.choice([0, 6, 12, 24, 48]), "+39340%07d" % i))
        db.executemany("INSERT INTO DatiUtente ([Codice periferica], [Monitoraggio], [Tipo utente], "
                       "[Ragione sociale], [Nome], [Indirizzo], [Città], [Provincia], [Cap], [Modello], "
                       "[Periodo], [Telefono GSM fonia]) VALUES (?,?,?,?,?,?,?,?,?,?,?,?)", righe)

        adesso = dt.datetime.now().replace(microsecond=0)
        inizio = adesso - dt.timedelta(days=730)
        passo = (adesso - inizio) / max(a.eventi, 1)
        primo_nuovo = a.eventi - a.non_archiviati

        def eventi():
            for i in range(a.eventi):
                yield evento(rnd, rnd.choice(codici), inizio + passo * i, 0 if i >= primo_nuovo else 1)

        db.executemany("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Testo messaggio], "
                       "[Archiviato], [Tipo evento], [Descrizione evento]) VALUES (?,?,?,?,?,?)", eventi())
        db.commit()
    except BaseException:
        db.close()
        os.remove(a.uscita)
        raise
    db.close()
    print("%s: %d subscribers, %d events, %d not archived" % (a.uscita, a.utenti, a.eventi, a.non_archiviati))


if __name__ == "__main__":
    main()
