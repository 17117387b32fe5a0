#!/usr/bin/env python3
"""Makes a large Sorvela database for measuring the console on a realistic
archive: many subscribers, a long event history and a few events still
waiting in the queue, with the catalog of unit types, serial numbers,
contacts and pending interrogations around them. Python standard library only.

    tools/genera-db.py OUT.db [--eventi N] [--non-archiviati K] [--utenti U]
                              [--storico S] [--pendenti P] [--seme SEED]

Defaults: 1,000,000 events of which 100 not archived, 10,000 subscribers,
none of them with a history of its own size (S 0), 100 pending
interrogations, seed 7. The schema is db/schema.sql, as `sorvela-db init`
uses it. The file must not exist yet. Events are spread over the last two
years, oldest first; the ones not archived are the newest, as in a console
whose operator keeps up. With S > 0 the first subscriber (000001) owns S of
the events, evenly spread, the others the rest at random: a long history to
open. Everything but the dates (which follow the day the file is made) is
the same for the same seed and counts.
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
# The catalog: protocols, the unit types (one per model) and their input
# tables, as the demo data has them.
PROTOCOLLI = [(1, "SMS testo"), (2, "Contact ID"), (3, "SIA DC-03")]
TIPI = [(1, MODELLI[0], "Combinatore GSM a 4 ingressi", 1, 1),
        (2, MODELLI[1], "Centrale antifurto 8 zone con modulo GSM", 2, 0),
        (3, MODELLI[2], "Unità di telemisura temperatura e rete", 3, 0)]
INGRESSI = [("E130", "Intrusione", "Allarme ", "Tratta"), ("R130", "Ripristino", "Ripristino", "Archivia"),
            ("E301", "Mancanza rete 230 V", "Allarme ", "Tratta"), ("1602", "Test periodico", "Test", "Archivia")]
RUOLI = ["Titolare", "Responsabile", "Custode", "Reperibile 24h", "Ufficio"]

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
    ap.add_argument("--storico", type=int, default=0)
    ap.add_argument("--pendenti", type=int, default=100)
    ap.add_argument("--seme", type=int, default=7)
    a = ap.parse_args()
    if (a.eventi < 0 or a.utenti < 1 or not 0 <= a.non_archiviati <= a.eventi or not 0 <= a.storico <= a.eventi
            or (a.utenti == 1 and a.storico not in (0, a.eventi)) or a.pendenti < 0):
        sys.exit("genera-db: counts out of range")
    if os.path.exists(a.uscita):
        sys.exit("genera-db: %s already exists" % a.uscita)

    rnd = random.Random(a.seme)
    db = sqlite3.connect(a.uscita)
    try:
        with open(SCHEMA, encoding="utf-8") as f:
            db.executescript(f.read())
        db.execute("PRAGMA journal_mode=WAL")

        db.executemany("INSERT INTO TipoProtocolli ([IDProtocollo], [Protocollo]) VALUES (?,?)", PROTOCOLLI)
        for id_, modello, descr, protocollo, predefinita in TIPI:
            tabella = "Ingressi " + modello
            db.execute("INSERT INTO TipoPeriferica ([IDPeriferica], [PerifericaTipo], [DesPeriferica], [Protocollo], "
                       "[Predefinita], [Tabella]) VALUES (?,?,?,?,?,?)",
                       (id_, modello, descr, protocollo, predefinita, tabella))
            # A table name cannot be bound; it comes from the fixed list above.
            db.execute('CREATE TABLE "%s" ([Contatore] INTEGER PRIMARY KEY, [CodiceEvento] TEXT, [Zona] TEXT, '
                       '[DesEvento] TEXT, [TipoEvento] TEXT, [Trattamento] TEXT)' % tabella)
            db.executemany('INSERT INTO "%s" VALUES (?,?,?,?,?,?)' % tabella,
                           [(n + 1, c, str(n % 4 + 1), "%s zona %d" % (d, n % 4 + 1), t, tr)
                            for n, (c, d, t, tr) in enumerate(INGRESSI * 2)])

        codici = ["%06d" % (i + 1) for i in range(a.utenti)]
        righe = []
        for i, codice in enumerate(codici):
            citta, prov, cap = rnd.choice(CITTA)
            azienda = rnd.random() < 0.3
            cognome, nome = rnd.choice(NOMI), rnd.choice(PROPRI)
            righe.append([codice, rnd.random() < 0.5, azienda,
                          "%s %s s.r.l." % (rnd.choice(AZIENDE), cognome) if azienda else "",
                          "%s %s" % (cognome, nome), "Via Roma %d" % (i % 200 + 1), citta, prov, cap,
                          rnd.choice(MODELLI), rnd.choice([0, 6, 12, 24, 48]), "+39340%07d" % i])
        adesso = dt.datetime.now().replace(microsecond=0)
        # Every monitored unit was last called within its period, so a
        # polling pass finds few due instead of calling the whole archive.
        for r in righe:
            r.append((adesso - dt.timedelta(hours=rnd.uniform(0, r[10] or 1))).strftime("%Y-%m-%d %H:%M:%S"))
        db.executemany("INSERT INTO DatiUtente ([Codice periferica], [Monitoraggio], [Tipo utente], "
                       "[Ragione sociale], [Nome], [Indirizzo], [Città], [Provincia], [Cap], [Modello], "
                       "[Periodo], [Telefono GSM fonia], [Ultima interrogazione]) "
                       "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)", righe)
        db.executemany("INSERT INTO Matricole ([Matricola], [Codice periferica]) VALUES (?,?)",
                       [("%06d" % (200000 + i), c) for i, c in enumerate(codici)])
        contatti = []
        for i, codice in enumerate(codici):
            for k in range(rnd.randint(0, 3)):
                contatti.append((codice, "%s %s" % (rnd.choice(PROPRI), rnd.choice(NOMI)),
                                 "33%08d" % rnd.randrange(10 ** 8), rnd.choice(RUOLI)))
        db.executemany("INSERT INTO Telefoni_Utenti ([CodPer], [Contatto], [Num_Tel], [Des_Telefoni]) "
                       "VALUES (?,?,?,?)", contatti)
        db.executemany("INSERT INTO InterrogazioniPendenti ([Codice periferica], [Data e ora], [Tentativi]) "
                       "VALUES (?,?,?)",
                       [(rnd.choice(codici), (adesso - dt.timedelta(minutes=rnd.randint(1, 600)))
                         .strftime("%Y-%m-%d %H:%M:%S"), rnd.randint(0, 2)) for _ in range(a.pendenti)])

        inizio = adesso - dt.timedelta(days=730)
        passo = (adesso - inizio) / max(a.eventi, 1)
        primo_nuovo = a.eventi - a.non_archiviati
        altri = codici[1:] if a.storico else codici

        def eventi():
            for i in range(a.eventi):
                # Event i is the first subscriber's when i * S / N steps over
                # a whole number: exactly S of them, evenly spread.
                suo = a.storico and (i * a.storico) // a.eventi != ((i + 1) * a.storico) // a.eventi
                codice = codici[0] if suo else rnd.choice(altri)
                yield evento(rnd, codice, inizio + passo * i, 0 if i >= primo_nuovo else 1)

        db.executemany("INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Testo messaggio], "
                       "[Archiviato], [Tipo evento], [Descrizione evento]) VALUES (?,?,?,?,?,?)", eventi())
        db.commit()
    except BaseException:
        db.close()
        os.remove(a.uscita)
        raise
    db.close()
    print("%s: %d subscribers, %d events, %d not archived, %d of them subscriber 000001's, %d pending "
          "interrogations, %d contacts" % (a.uscita, a.utenti, a.eventi, a.non_archiviati, a.storico, a.pendenti,
                                           len(contatti)))


if __name__ == "__main__":
    main()
