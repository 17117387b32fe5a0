-- Sorvela database: every table and saved query the console reads or writes.
-- The console never creates or alters anything here at run time, except that
-- a file made by an earlier version gains what was added since when it is
-- opened; this file is run once by `sorvela-db init` on a new, empty file.
--
-- Declared types drive what the store hands back: DATE and DATETIME hold ISO
-- text ("YYYY-MM-DD" / "YYYY-MM-DD HH:MM:SS", local time) and are read as
-- dates, BOOLEAN holds 0/1 and is read as yes/no.

-- One row per subscriber, that is per installed unit: the subscriber code is
-- the unit's code, so it is the key.
CREATE TABLE DatiUtente (
    [Codice periferica]     TEXT NOT NULL PRIMARY KEY,
    [Monitoraggio]          BOOLEAN NOT NULL DEFAULT 0,
    [Tipo utente]           BOOLEAN NOT NULL DEFAULT 0,
    [Ragione sociale]       TEXT,
    [Nome]                  TEXT,
    [Indirizzo]             TEXT,
    [Città]                 TEXT,
    [Provincia]             TEXT,
    [Cap]                   TEXT,
    [Note]                  TEXT,
    [Modello]               TEXT,
    [Periodo]               REAL NOT NULL DEFAULT 0,
    [Telefono PSTN]         TEXT,
    [Telefono GSM dati]     TEXT,
    [Telefono ISDN]         TEXT,
    [Telefono GSM fonia]    TEXT,
    [Installazione]         DATE,
    [Installatore]          TEXT,
    [Telefono installatore] TEXT,
    [Scadenza carta]        DATE,
    [Scadenza segnalata]    BOOLEAN NOT NULL DEFAULT 0,
    [Ultima interrogazione] DATETIME
);
-- Every incoming SMS looks its sender up by this number.
CREATE INDEX [DatiUtente GSM fonia] ON DatiUtente ([Telefono GSM fonia]);
-- The expiry pass only looks at units with a SIM expiry date not yet signalled.
CREATE INDEX [DatiUtente Scadenza carta] ON DatiUtente ([Scadenza carta])
    WHERE [Scadenza carta] IS NOT NULL AND [Scadenza segnalata] = 0;
-- The polling pass only looks at monitored units.
CREATE INDEX [DatiUtente Monitoraggio] ON DatiUtente ([Monitoraggio]);
-- The picker sorts by either name.
CREATE INDEX [DatiUtente Ragione sociale] ON DatiUtente ([Ragione sociale] COLLATE NOCASE);
CREATE INDEX [DatiUtente Nome] ON DatiUtente ([Nome] COLLATE NOCASE);

-- AUTOINCREMENT: an event's ID is never handed out again after a clean-up, so
-- the queue can never mistake a new event for an old one.
CREATE TABLE ArchivioEventi (
    [ID]                  INTEGER PRIMARY KEY AUTOINCREMENT,
    [Codice periferica]   TEXT,
    [Data e ora]          DATETIME,
    [Testo messaggio]     TEXT,
    [Archiviato]          BOOLEAN NOT NULL DEFAULT 0,
    [Tipo evento]         TEXT,
    [Descrizione evento]  TEXT,
    -- What identifies the SMS an event came from (sender, service centre time
    -- stamp, user data, hashed): the console may be stopped after committing
    -- an event and before deleting its message from the handset, and then
    -- reads the same message again; an identity already here means the event
    -- exists. Null for events the console writes itself and for events
    -- written before the column existed.
    [Impronta]            TEXT,
    -- When and by whom the operator archived the event; Null while it waits
    -- in the queue, and for events archived before the columns existed.
    "Archiviato il"       DATETIME,
    "Archiviato da"       TEXT,
    -- The event's day, derived rather than written: the archive window reads
    -- the first event's Data as the archive's first date.
    [Data]                DATE GENERATED ALWAYS AS (substr([Data e ora], 1, 10)) VIRTUAL
);
-- The queue is read every second: the few unarchived events must be reached
-- without touching the archive (the rowid inside the index keeps them in ID
-- order).
CREATE INDEX [ArchivioEventi Archiviato] ON ArchivioEventi ([Archiviato]);
-- A subscriber's history, newest first, optionally within a date range. It
-- holds everything the history shows (ID for the order within a second, type,
-- description), so a history is read from the index alone: a subscriber's
-- events lie scattered over the whole archive, about one to a table page.
CREATE INDEX [ArchivioEventi Codice] ON ArchivioEventi ([Codice periferica], [Data e ora], [ID], [Tipo evento],
                                                        [Descrizione evento]);
-- Every message read is looked up by its identity before it is registered.
-- One event per message: no path, however many receivers there are, can
-- store the same message twice (events of no message have no identity).
CREATE UNIQUE INDEX "ArchivioEventi Impronta unica" ON "ArchivioEventi" ("Impronta");
-- Clean-up by date range and the archive's first date.
CREATE INDEX [ArchivioEventi Data e ora] ON ArchivioEventi ([Data e ora]);

-- No key: a unit may have more than one pending row and an answer settles
-- only one of them.
CREATE TABLE InterrogazioniPendenti (
    [Codice periferica] TEXT,
    [Data e ora]        DATETIME,
    [Tentativi]         INTEGER
);
CREATE INDEX [InterrogazioniPendenti Codice] ON InterrogazioniPendenti ([Codice periferica]);

-- A serial number may have been given twice by mistake; the subscriber window
-- finds the second one, so no uniqueness here.
CREATE TABLE Matricole (
    [Matricola]         TEXT,
    [Codice periferica] TEXT
);
CREATE INDEX [Matricole Matricola] ON Matricole ([Matricola]);
CREATE INDEX [Matricole Codice] ON Matricole ([Codice periferica]);

-- IDPeriferica is the type's list position. As the rowid it is assigned as
-- the next free position when a row is added without one (a type typed in the
-- subscriber window), so the new type shows in the lists.
CREATE TABLE TipoPeriferica (
    [IDPeriferica]   INTEGER PRIMARY KEY,
    [PerifericaTipo] TEXT NOT NULL UNIQUE,
    [DesPeriferica]  TEXT,
    [Protocollo]     INTEGER NOT NULL DEFAULT 0,
    [Predefinita]    BOOLEAN NOT NULL DEFAULT 0,
    [Tabella]        TEXT
);

CREATE TABLE TipoProtocolli (
    [IDProtocollo] INTEGER PRIMARY KEY,
    [Protocollo]   TEXT
);

CREATE TABLE Telefoni_Utenti (
    [CodPer]       TEXT,
    [Contatto]     TEXT,
    [Num_Tel]      TEXT,
    [Des_Telefoni] TEXT
);
CREATE INDEX [Telefoni_Utenti CodPer] ON Telefoni_Utenti ([CodPer]);

-- The inputs a subscriber's unit uses ("Si" in the subscriber window's inputs
-- table), with the cells as the operator left them: Contatore is the row of
-- the type's input table the input came from (Null for a row typed by the
-- operator), Posizione its place in the table on screen.
CREATE TABLE IngressiUtente (
    [Codice periferica] TEXT NOT NULL,
    [Posizione]         INTEGER NOT NULL,
    [Contatore]         INTEGER,
    [CodiceEvento]      TEXT,
    [Zona]              TEXT,
    [DesEvento]         TEXT,
    [TipoEvento]        TEXT,
    [Trattamento]       TEXT,
    [Numero]            TEXT,
    PRIMARY KEY ([Codice periferica], [Posizione])
);

-- Who may be on duty at the desk. Without any row the console runs under
-- the name "Operatore" and asks nobody. The password is kept only as a salted
-- PBKDF2-HMAC-SHA256 hash ("pbkdf2-sha256$iterations$salt$key", salt and key
-- in base 64); Null means none. An operator is never deleted, only made
-- inactive: the record of actions names him.
CREATE TABLE "Operatori" (
    "Nome"     TEXT NOT NULL PRIMARY KEY,
    "Password" TEXT,
    "Attivo"   BOOLEAN NOT NULL DEFAULT 1
);

-- What the operators did, written in the same transaction as the action it
-- records, so an action without its row (or a row without its action) never
-- exists. The console only adds rows: nothing edits or deletes them, the
-- clean-up of old events included.
CREATE TABLE "RegistroOperazioni" (
    "ID"         INTEGER PRIMARY KEY,
    "Data e ora" DATETIME NOT NULL,
    "Operatore"  TEXT NOT NULL,
    "Postazione" TEXT,
    "Azione"     TEXT NOT NULL,
    "Oggetto"    TEXT,
    "Dettagli"   TEXT
);
CREATE INDEX "RegistroOperazioni Data e ora" ON "RegistroOperazioni" ("Data e ora");
CREATE INDEX "RegistroOperazioni Operatore" ON "RegistroOperazioni" ("Operatore", "Data e ora");
-- The record cannot be rewritten by a statement that slipped through.
CREATE TRIGGER "RegistroOperazioni non modificabile" BEFORE UPDATE ON "RegistroOperazioni"
BEGIN
    SELECT RAISE(ABORT, 'il registro delle operazioni non si modifica');
END;
CREATE TRIGGER "RegistroOperazioni non cancellabile" BEFORE DELETE ON "RegistroOperazioni"
BEGIN
    SELECT RAISE(ABORT, 'il registro delle operazioni non si cancella');
END;

-- Messages whose sender matched no subscriber: kept before they leave the
-- handset (a unit whose SIM card was replaced still reports), with the
-- console's time of reading, the text, type and description the grammar gives
-- and the message's identity, which keeps a message read again after a stop
-- from being kept twice. "Assegna…" moves one into ArchivioEventi.
CREATE TABLE "MessaggiNonAttribuiti" (
    "ID"                 INTEGER PRIMARY KEY,
    "Data e ora"         DATETIME NOT NULL,
    "Mittente"           TEXT,
    "Testo messaggio"    TEXT,
    "Tipo evento"        TEXT,
    "Descrizione evento" TEXT,
    "Impronta"           TEXT UNIQUE
);

-- The receiver of the alarms (a thread of a desk, or sorvela-ricevitore) and
-- the desks meet here, whatever runs the receiver. One row per receiver,
-- rewritten every 2 seconds: who runs it, since when, its last heartbeat
-- (UTC: a desk judges from it whether anyone hears the handset), the
-- handset's port and state ("connesso", "non connesso", "non risponde") and
-- the label of the cycle or call in progress, empty when the line is free.
-- "Capo": this receiver runs the centre's ten-minute jobs (on a server, where
-- several receivers may share one database; the only one on a file).
CREATE TABLE "StatoRicevitore" (
    "Nome"      TEXT NOT NULL PRIMARY KEY,
    "Processo"  TEXT,
    "Avviato"   DATETIME,
    "Battito"   DATETIME,
    "Porta"     INTEGER,
    "Telefono"  TEXT,
    "Attività"  TEXT,
    "Capo"      BOOLEAN NOT NULL DEFAULT 0
);

-- The ten-minute slot whose job "Lavoro" was last started, and by which
-- receiver: a receiver that takes the jobs over in the middle of a slot does
-- not run again what its predecessor already ran in it.
CREATE TABLE "LavoriCentro" (
    "Lavoro"     TEXT NOT NULL PRIMARY KEY,
    "Turno"      DATETIME,
    "Ricevitore" TEXT
);

-- What a desk asks of the receiver, served in order: "leggi" (read the
-- messages now), "interroga" (call the unit "Argomento" now), "annulla" (stop
-- the wait in progress), "porta" (move the handset to port "Argomento"),
-- "verifica" (probe the ports). "Stato" goes from "in attesa" to "servita";
-- "Esito" is what the receiver answers (empty when all went well, the reason
-- otherwise, the report of a probe). "Ricevitore" names the receiver that is
-- to serve it (its handset's), Null when any may; "Servita da" the one that
-- took it.
CREATE TABLE "RichiesteRicevitore" (
    "ID"          INTEGER PRIMARY KEY,
    "Data e ora"  DATETIME NOT NULL,
    "Richiesta"   TEXT NOT NULL,
    "Argomento"   TEXT,
    "Operatore"   TEXT,
    "Stato"       TEXT NOT NULL DEFAULT 'in attesa',
    "Esito"       TEXT,
    "Servita il"  DATETIME,
    "Ricevitore"  TEXT,
    "Servita da"  TEXT
);
CREATE INDEX "RichiesteRicevitore Stato" ON "RichiesteRicevitore" ("Stato", "ID");

-- What the receiver tells the operators, for every desk to show: a notice of
-- a kind ("telefono", "lettura", "interrogazione" ...), whose empty text takes
-- the shown one down, or with kind "stato" the report of a message received
-- (unit, sender, text) for the status window. "Allarme" sounds the alert.
CREATE TABLE "AvvisiRicevitore" (
    "ID"                 INTEGER PRIMARY KEY,
    "Data e ora"         DATETIME NOT NULL,
    "Tipo"               TEXT NOT NULL,
    "Icona"              INTEGER,
    "Testo"              TEXT,
    "Codice periferica"  TEXT,
    "Mittente"           TEXT,
    "Allarme"            BOOLEAN NOT NULL DEFAULT 0
);

-- Saved queries.

-- The events still waiting for the operator, with the subscriber's name. A
-- left join: an alarm whose subscriber has been deleted must still reach the
-- queue rather than vanish unseen.
CREATE VIEW [Coda Query] AS
SELECT e.[ID]                 AS [ID],
       e.[Codice periferica]  AS [Codice periferica],
       u.[Tipo utente]        AS [Tipo utente],
       u.[Ragione sociale]    AS [Ragione sociale],
       u.[Nome]               AS [Nome],
       e.[Descrizione evento] AS [Descrizione evento],
       e.[Data e ora]         AS [Data e ora],
       e.[Tipo evento]        AS [Tipo evento],
       e.[Archiviato]         AS [Archiviato]
FROM ArchivioEventi AS e
LEFT JOIN DatiUtente AS u ON u.[Codice periferica] = e.[Codice periferica]
WHERE e.[Archiviato] = 0
ORDER BY e.[ID];

-- Archiving from the queue writes the event itself.
CREATE TRIGGER [Coda Query Archiviato] INSTEAD OF UPDATE OF [Archiviato] ON [Coda Query]
BEGIN
    UPDATE ArchivioEventi SET [Archiviato] = NEW.[Archiviato] WHERE [ID] = OLD.[ID];
END;

-- Every event exactly once (the subscriber is unique per code), with the
-- subscriber's names beside it.
CREATE VIEW [DatiUtente Query] AS
SELECT e.[ID]                 AS [ID],
       e.[Codice periferica]  AS [Codice periferica],
       e.[Data e ora]         AS [Data e ora],
       e.[Testo messaggio]    AS [Testo messaggio],
       e.[Tipo evento]        AS [Tipo evento],
       e.[Descrizione evento] AS [Descrizione evento],
       e.[Archiviato]         AS [Archiviato],
       u.[Tipo utente]        AS [Tipo utente],
       u.[Ragione sociale]    AS [Ragione sociale],
       u.[Nome]               AS [Nome]
FROM ArchivioEventi AS e
LEFT JOIN DatiUtente AS u ON u.[Codice periferica] = e.[Codice periferica];

-- Every type may be the default one.
CREATE VIEW F_PeriferichePredefinite AS
SELECT [IDPeriferica], [PerifericaTipo], [Predefinita]
FROM TipoPeriferica;

CREATE TRIGGER [F_PeriferichePredefinite Predefinita]
INSTEAD OF UPDATE OF [Predefinita] ON F_PeriferichePredefinite
BEGIN
    UPDATE TipoPeriferica SET [Predefinita] = NEW.[Predefinita]
    WHERE [IDPeriferica] = OLD.[IDPeriferica];
END;

-- The picker's six orders, all with the same columns so its grid keeps its
-- headings whatever the order: code, company name, person's name. The code breaks ties so equal names keep a stable order.
CREATE VIEW F_CodiceC AS
SELECT [Codice periferica], [Ragione sociale], [Nome] FROM DatiUtente
ORDER BY [Codice periferica];
CREATE VIEW F_CodiceD AS
SELECT [Codice periferica], [Ragione sociale], [Nome] FROM DatiUtente
ORDER BY [Codice periferica] DESC;
CREATE VIEW F_Rag_SocC AS
SELECT [Codice periferica], [Ragione sociale], [Nome] FROM DatiUtente
ORDER BY [Ragione sociale] COLLATE NOCASE, [Codice periferica];
CREATE VIEW F_Rag_SocD AS
SELECT [Codice periferica], [Ragione sociale], [Nome] FROM DatiUtente
ORDER BY [Ragione sociale] COLLATE NOCASE DESC, [Codice periferica] DESC;
CREATE VIEW F_NomeC AS
SELECT [Codice periferica], [Ragione sociale], [Nome] FROM DatiUtente
ORDER BY [Nome] COLLATE NOCASE, [Codice periferica];
CREATE VIEW F_NomeD AS
SELECT [Codice periferica], [Ragione sociale], [Nome] FROM DatiUtente
ORDER BY [Nome] COLLATE NOCASE DESC, [Codice periferica] DESC;

-- The archive window only asks whether a code exists.
CREATE VIEW Dati_Utente AS
SELECT * FROM DatiUtente;
