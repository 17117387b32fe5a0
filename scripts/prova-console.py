#!/usr/bin/env python3
"""The real console against the simulated handset, for longer than a test.

  prova-console.py uccisioni BUILD [N] [--esterno]    (default 50)
      N rounds: 20 messages are stored in the handset, the console is killed
      (SIGKILL) at a random point of the cycle that retrieves them, started
      again, and left to finish. At the end every one of the N x 20 messages
      must be exactly one event. Prints the figures; exits 1 on any message
      lost or registered twice. With --esterno the console runs as a desk
      with "[Ricevitore] Modo=esterno" beside sorvela-ricevitore, and both
      are killed each round.

  prova-console.py resistenza BUILD [MINUTI]    (default 15)
      The console runs for MINUTI minutes while the handset delivers a message
      every few seconds and five monitored units answer the console's calls.
      Prints the console's resident memory each minute; exits 1 when it grew
      by 2 MB or more after the first minute, or when a message is not an
      event at the end.

BUILD is the build folder (build, build-asan …). Uses only the programs of
the build and Python's standard library; needs no display.
"""
import os
import random
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time

UNITA = "+393351111111"


class Simulatore:
    def __init__(self, build, cartella, *opzioni):
        self.collegamento = os.path.join(cartella, "com1")
        self.p = subprocess.Popen([os.path.join(build, "tools/sorvela-sim/sorvela-sim"), "--link", self.collegamento,
                                   *opzioni], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True, bufsize=1)
        self.percorso = self.p.stdout.readline().strip()

    def comando(self, c):
        self.p.stdin.write(c + "\n")
        righe = []
        while True:
            r = self.p.stdout.readline()
            if not r:
                raise RuntimeError("sorvela-sim ended")
            r = r.strip()
            if r.startswith("#"):
                continue
            righe.append(r)
            if r.startswith("ok") or r.startswith("error"):
                if r.startswith("error"):
                    raise RuntimeError(f"sorvela-sim: {c}: {r}")
                return righe

    def memoria(self):
        return [r for r in self.comando("list") if r[:1].isdigit()]

    def chiudi(self):
        try:
            self.comando("quit")
        except (RuntimeError, BrokenPipeError):
            pass
        self.p.wait(5)


class Console:
    def __init__(self, build, cartella, esterno=False):
        self.build, self.cartella, self.esterno = build, cartella, esterno
        self.dati = os.path.join(cartella, "dati")
        self.config = os.path.join(cartella, "config")
        os.makedirs(self.dati)
        os.makedirs(os.path.join(self.config, "Sorvela"))
        subprocess.run([os.path.join(build, "tools/sorvela-db/sorvela-db"), "init", "--data-dir", self.dati],
                       check=True, stdout=subprocess.DEVNULL)
        self.db = os.path.join(self.dati, "Sorvela.db")
        with open(os.path.join(self.config, "Sorvela", "Sorvela.ini"), "w") as f:
            f.write(f"[Impostazioni]\nNumPort=1\n\n[Porte]\nCOM1={os.path.join(cartella, 'com1')}\n")
            if esterno:
                f.write("\n[Ricevitore]\nModo=esterno\n")
        self.p = None
        self.scrivania = None
        self.log = open(os.path.join(cartella, "console.log"), "ab")

    def sql(self, testo, parametri=()):
        with sqlite3.connect(self.db, timeout=30) as c:
            return c.execute(testo, parametri).fetchall()

    def avvia(self):
        # self.p is the program that holds the handset: the console itself,
        # or the receiver beside a desk.
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=self.config)
        console = [os.path.join(self.build, "src/shell/sorvela"), "--data-dir", self.dati]
        if self.esterno:
            self.p = subprocess.Popen([os.path.join(self.build, "src/receiver/sorvela-ricevitore"), "--data-dir",
                                       self.dati], env=env, stdout=self.log, stderr=self.log)
            self.scrivania = subprocess.Popen(console, env=env, stdout=self.log, stderr=self.log)
        else:
            self.p = subprocess.Popen(console, env=env, stdout=self.log, stderr=self.log)

    def uccidi(self):
        for p in (self.p, self.scrivania):
            if p and p.poll() is None:
                p.send_signal(signal.SIGKILL)
                p.wait()

    def chiudi(self):
        for p in (self.scrivania, self.p):
            if p and p.poll() is None:
                p.terminate()
                try:
                    p.wait(20)
                except subprocess.TimeoutExpired:
                    p.send_signal(signal.SIGKILL)
                    p.wait()

    def memoria_residente_kb(self):
        with open(f"/proc/{self.p.pid}/status") as f:
            for r in f:
                if r.startswith("VmRSS:"):
                    return int(r.split()[1])
        return 0


def aspetta(condizione, secondi, che_cosa):
    fine = time.monotonic() + secondi
    while time.monotonic() < fine:
        if condizione():
            return
        time.sleep(0.1)
    raise RuntimeError(f"timed out: {che_cosa}")


def conta(console, attesi):
    eventi = [r[0] for r in console.sql("SELECT [Testo messaggio] FROM ArchivioEventi")]
    persi = sum(1 for t in attesi if eventi.count(t) == 0)
    doppi = sum(1 for t in attesi if eventi.count(t) > 1)
    return persi, doppi, len(eventi)


def uccisioni(build, volte, esterno=False):
    caso = random.Random(int(os.environ.get("SORVELA_SEME", "17")))
    with tempfile.TemporaryDirectory(prefix="sorvela-uccisioni-") as cartella:
        console = Console(build, cartella, esterno)
        console.sql("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000001', ?)", (UNITA,))
        # At the line rate a cycle of 20 messages lasts a few seconds, so
        # the kills spread over all of it.
        sim = Simulatore(build, cartella, "--capacity", "40", "--pace")
        attesi = []
        try:
            for giro in range(volte):
                testi = [f"ALLARME {giro:03d}-{k:02d}" for k in range(20)]
                attesi += testi
                for t in testi:
                    sim.comando(f"store {UNITA} {t}")
                sim.comando("history")
                # A cycle is about 44 commands: the set-up, two listings, a
                # read and a deletion per message. The kill comes after a
                # random one of them, a random moment later.
                dopo = caso.randint(1, 44)
                console.avvia()
                visti, fine = 0, time.monotonic() + 30
                while visti < dopo and time.monotonic() < fine:
                    visti += len(sim.comando("history")) - 1
                    time.sleep(0.005)
                time.sleep(caso.uniform(0, 0.05))
                console.uccidi()
                # The terminal keeps the killed console's exclusive mode, as a
                # real device would not once its last holder is gone.
                sim.comando("hold release")
                console.avvia()
                aspetta(lambda: not sim.memoria(), 60, f"round {giro + 1}: the handset emptied")
                console.chiudi()
                persi, doppi, _ = conta(console, testi)
                print(f"round {giro + 1:2d}: killed after command {dopo:2d}; lost {persi}, duplicated {doppi}",
                      flush=True)
        finally:
            console.chiudi()
            sim.chiudi()
        persi, doppi, eventi = conta(console, attesi)
        modo = " (receiver and desk apart)" if esterno else ""
        print(f"uccisioni{modo}: {volte} kills, {len(attesi)} messages, {eventi} events, {persi} lost, "
              f"{doppi} duplicated")
        return 0 if persi == 0 and doppi == 0 and eventi == len(attesi) else 1


def resistenza(build, minuti):
    caso = random.Random(17)
    with tempfile.TemporaryDirectory(prefix="sorvela-resistenza-") as cartella:
        console = Console(build, cartella)
        console.sql("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES ('000001', ?)", (UNITA,))
        sim = Simulatore(build, cartella, "--capacity", "30", "--pace", "--delay-nocarrier", "5000")
        # Five monitored units never interrogated: the polling pass calls each,
        # and each answers by SMS.
        for k in range(5):
            numero = f"+39335222222{k}"
            console.sql("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia], [Monitoraggio], [Periodo])"
                        " VALUES (?, ?, 1, 1)", (f"00010{k}", numero))
            sim.comando(f"unit {numero} 2000 credito: 12.50; liv. batt. 80; segnale 4/5; rete TIM; sim ok; sw:1.2.")
        attesi = []
        console.avvia()
        inizio = time.monotonic()
        prossimo, minuto, misure = inizio, 0, []
        try:
            while time.monotonic() - inizio < minuti * 60:
                if time.monotonic() >= prossimo:
                    t = f"ALLARME {len(attesi):04d}"
                    attesi.append(t)
                    sim.comando(f"sms {UNITA} {t}")
                    prossimo += caso.uniform(2, 6)
                if time.monotonic() - inizio >= minuto * 60:
                    misure.append(console.memoria_residente_kb())
                    print(f"minute {minuto:2d}: {misure[-1]} kB resident, {len(attesi)} messages sent", flush=True)
                    minuto += 1
                if console.p.poll() is not None:
                    raise RuntimeError("the console ended by itself")
                time.sleep(0.2)
            aspetta(lambda: not sim.memoria(), 60, "the handset emptied")
            misure.append(console.memoria_residente_kb())
            chiamate = console.sql("SELECT count(*) FROM ArchivioEventi WHERE [Codice periferica] LIKE '0001%'")[0][0]
        finally:
            console.chiudi()
            sim.chiudi()
        persi, doppi, eventi = conta(console, attesi)
        crescita = misure[-1] - misure[1] if len(misure) > 1 else 0
        print(f"resistenza: {minuti} min, {len(attesi)} messages, {persi} lost, {doppi} duplicated, "
              f"{chiamate} call answers; resident {misure[0]} kB at start, {misure[1] if len(misure) > 1 else 0} kB "
              f"after the first minute, {misure[-1]} kB at the end ({crescita:+d} kB)")
        return 0 if persi == 0 and doppi == 0 and crescita < 2048 else 1


def main(argv):
    esterno = "--esterno" in argv
    argv = [a for a in argv if a != "--esterno"]
    if len(argv) < 3 or argv[1] not in ("uccisioni", "resistenza") or argv[1] in ("-h", "--help"):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    build = os.path.abspath(argv[2])
    try:
        n = int(argv[3]) if len(argv) > 3 else (50 if argv[1] == "uccisioni" else 15)
    except ValueError:
        print(f"prova-console: not a number: {argv[3]}", file=sys.stderr)
        return 2
    return uccisioni(build, n, esterno) if argv[1] == "uccisioni" else resistenza(build, n)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
