#!/usr/bin/env python3
"""The demo's units coming alive: drives the simulated handset (sorvela-sim)
through its control file so that the demo subscribers' units send a status
report now and then and an alarm once in a while, and answer the console's
interrogation calls with a report. Python standard library only.

    tools/demo-unita.py --control FILE --database Sorvela.db
                        [--intervallo S] [--allarmi P] [--seme N]

--intervallo  mean seconds between two messages (default 40; the first one
              comes within a few seconds, so the alert is heard at once)
--allarmi     share of messages that are alarms (default 0.3)
"""

import argparse
import random
import signal
import sqlite3
import sys
import time

INGRESSI = ["ALLARME INGRESSO 1", "ALLARME INGRESSO 2", "ALLARME INGRESSO 3",
            "ALLARME MANCANZA RETE 230V", "ALLARME TEMPERATURA CELLA FRIGO"]


def rapporto(rnd, guasto=False):
    """A status report in the units' own words; a fault pushes one value to
    or below its threshold, which the console files as an alarm."""
    credito = rnd.uniform(3.5, 25.0)
    batteria = rnd.randint(40, 100)
    segnale = rnd.randint(3, 5)
    if guasto:
        quale = rnd.choice(["credito", "batteria", "segnale"])
        if quale == "credito":
            credito = rnd.uniform(0.5, 2.5)
        elif quale == "batteria":
            batteria = rnd.randint(5, 20)
        else:
            segnale = rnd.randint(1, 2)
    return ("credito: %.2f euro; liv. batt. %d; segnale %d/5; rete NET1; sim S1; sw:V1.8"
            % (credito, batteria, segnale))


def numeri(database):
    db = sqlite3.connect("file:%s?mode=ro" % database, uri=True)
    try:
        righe = db.execute("SELECT [Telefono GSM fonia] FROM DatiUtente "
                           "WHERE coalesce([Telefono GSM fonia], '') <> '' "
                           "ORDER BY [Codice periferica]").fetchall()
    finally:
        db.close()
    return [r[0] for r in righe]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--control", required=True, help="the simulator's control file")
    ap.add_argument("--database", required=True, help="the demo database, to find the units' numbers")
    ap.add_argument("--intervallo", type=float, default=40.0)
    ap.add_argument("--allarmi", type=float, default=0.3)
    ap.add_argument("--seme", type=int, default=None)
    a = ap.parse_args()
    if a.intervallo <= 0 or not 0 <= a.allarmi <= 1:
        sys.exit("demo-unita: --intervallo must be positive and --allarmi between 0 and 1")
    try:
        unita = numeri(a.database)
    except sqlite3.Error as e:
        sys.exit("demo-unita: cannot read %s: %s" % (a.database, e))
    if not unita:
        sys.exit("demo-unita: no subscriber with a GSM number in %s" % a.database)

    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    rnd = random.Random(a.seme)

    with open(a.control, "a", encoding="utf-8") as controllo:
        def invia(riga):
            controllo.write(riga + "\n")
            controllo.flush()
            print(time.strftime("%H:%M:%S"), riga, flush=True)

        # Every unit answers an interrogation call with a report a few
        # seconds later, as a real one does.
        for n in unita:
            invia("unit %s %d %s" % (n, rnd.randint(4000, 9000), rapporto(rnd)))

        attesa = rnd.uniform(3, 8)
        while True:
            time.sleep(attesa)
            n = rnd.choice(unita)
            if rnd.random() < a.allarmi:
                testo = rnd.choice(INGRESSI) if rnd.random() < 0.6 else rapporto(rnd, guasto=True)
            else:
                testo = rapporto(rnd)
            invia("sms %s %s" % (n, testo))
            attesa = rnd.expovariate(1.0 / a.intervallo)
            attesa = min(max(attesa, 5.0), 4 * a.intervallo)


if __name__ == "__main__":
    try:
        main()
    except KeyboardInterrupt:
        pass
