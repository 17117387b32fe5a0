-- A small, realistic data set for trying the console: three unit types with
-- their protocols and input tables, six subscribers (private people and
-- companies, GSM numbers stored in both the "+39" and the national form),
-- serial numbers, contacts, and a few events of which three still wait in the
-- queue. Event times are relative to the moment the file is made, so the
-- queue and the history look recent whenever the demo is created.

INSERT INTO TipoProtocolli ([IDProtocollo], [Protocollo]) VALUES
    (1, 'SMS testo'),
    (2, 'Contact ID'),
    (3, 'SIA DC-03');

INSERT INTO TipoPeriferica ([IDPeriferica], [PerifericaTipo], [DesPeriferica], [Protocollo], [Predefinita], [Tabella]) VALUES
    (1, 'Sentinella GSM 4', 'Combinatore GSM a 4 ingressi', 1, 1, 'Ingressi Sentinella GSM 4'),
    (2, 'Vedetta 8', 'Centrale antifurto 8 zone con modulo GSM', 2, 0, 'Ingressi Vedetta 8'),
    (3, 'TeleMisura T2', 'Unità di telemisura temperatura e rete', 3, 0, 'Ingressi TeleMisura T2');

-- Contatore is the row number shown in the inputs grid, so it is the key.
CREATE TABLE [Ingressi Sentinella GSM 4] (
    [Contatore]    INTEGER PRIMARY KEY,
    [CodiceEvento] TEXT,
    [Zona]         TEXT,
    [DesEvento]    TEXT,
    [TipoEvento]   TEXT,
    [Trattamento]  TEXT
);
INSERT INTO [Ingressi Sentinella GSM 4] VALUES
    (1, 'E130', '1', 'Ingresso 1 - porta principale', 'Allarme ', 'Tratta'),
    (2, 'E130', '2', 'Ingresso 2 - finestre piano terra', 'Allarme ', 'Tratta'),
    (3, 'R130', '1', 'Ripristino ingresso 1', 'Ripristino', 'Archivia'),
    (4, 'E301', '0', 'Mancanza rete 230 V', 'Allarme ', 'Tratta');

CREATE TABLE [Ingressi Vedetta 8] (
    [Contatore]    INTEGER PRIMARY KEY,
    [CodiceEvento] TEXT,
    [Zona]         TEXT,
    [DesEvento]    TEXT,
    [TipoEvento]   TEXT,
    [Trattamento]  TEXT
);
INSERT INTO [Ingressi Vedetta 8] VALUES
    (1, '1130', '01', 'Intrusione zona 1 - ingresso', 'Allarme ', 'Tratta'),
    (2, '1130', '02', 'Intrusione zona 2 - magazzino', 'Allarme ', 'Tratta'),
    (3, '1401', '00', 'Inserimento impianto', 'Acceso', 'Archivia'),
    (4, '3401', '00', 'Disinserimento impianto', 'Spento', 'Archivia'),
    (5, '1602', '00', 'Test periodico', 'Test', 'Archivia');

CREATE TABLE [Ingressi TeleMisura T2] (
    [Contatore]    INTEGER PRIMARY KEY,
    [CodiceEvento] TEXT,
    [Zona]         TEXT,
    [DesEvento]    TEXT,
    [TipoEvento]   TEXT,
    [Trattamento]  TEXT
);
INSERT INTO [Ingressi TeleMisura T2] VALUES
    (1, 'T01', '1', 'Temperatura cella frigo oltre soglia', 'Allarme ', 'Tratta'),
    (2, 'T02', '1', 'Temperatura rientrata', 'Ripristino', 'Archivia'),
    (3, 'P01', '0', 'Rete elettrica assente', 'No Acceso', 'Tratta');

INSERT INTO DatiUtente ([Codice periferica], [Monitoraggio], [Tipo utente], [Ragione sociale], [Nome],
        [Indirizzo], [Città], [Provincia], [Cap], [Note], [Modello], [Periodo],
        [Telefono PSTN], [Telefono GSM dati], [Telefono ISDN], [Telefono GSM fonia],
        [Installazione], [Installatore], [Telefono installatore], [Scadenza carta],
        [Scadenza segnalata], [Ultima interrogazione]) VALUES
    ('000101', 1, 0, '', 'Dell''Acqua Giuseppe',
        'Via Roma 12', 'Firenze', 'FI', '50123', 'Chiavi presso la vicina, sig.ra Fabbri', 'Sentinella GSM 4', 24,
        '055 2345678', '', '', '+393351234567',
        '2023-04-18', 'Impianti Toscani di Neri Paolo', '055 7654321', date('now', 'localtime', '+8 months'),
        0, datetime('now', 'localtime', '-3 hours')),
    ('000102', 1, 1, 'Ferramenta Bianchi S.r.l.', 'Bianchi Marco',
        'Viale dei Mille 45', 'Bologna', 'BO', '40121', 'Chiusura settimanale: lunedì mattina', 'Vedetta 8', 12,
        '051 334455', '3398765432', '', '3389876543',
        '2022-11-02', 'Sicurtecnica Emilia', '051 998877', date('now', 'localtime', '+2 months'),
        0, datetime('now', 'localtime', '-1 hours')),
    ('000103', 1, 0, '', 'Rossi Maria',
        'Corso Vittorio Emanuele II 88', 'Torino', 'TO', '10121', '', 'Sentinella GSM 4', 48,
        '', '', '', '+393471112233',
        '2024-02-27', 'Impianti Toscani di Neri Paolo', '055 7654321', NULL,
        0, datetime('now', 'localtime', '-20 hours')),
    ('000104', 0, 1, 'Farmacia Sant''Anna di Esposito & C. s.n.c.', 'Esposito Carmela',
        'Via Toledo 210', 'Napoli', 'NA', '80134', 'Allarme collegato anche al 112', 'Vedetta 8', 0,
        '081 5512233', '', '', '3201239876',
        '2021-09-15', 'Elettrosud Sicurezza', '081 7789900', date('now', 'localtime', '+14 months'),
        0, datetime('now', 'localtime', '-6 days')),
    ('000105', 0, 0, '', 'Conti Luca',
        'Via Garibaldi 3', 'Pescara', 'PE', '65121', '', 'TeleMisura T2', 0,
        '', '', '', '+393403334455',
        '2024-06-05', 'Sicurtecnica Emilia', '051 998877', NULL,
        0, NULL),
    ('000106', 1, 1, 'Cooperativa Agricola Val d''Orcia', 'Mancini Stefano',
        'Località Poggio alle Mura', 'Pienza', 'SI', '53026', 'Celle frigorifere: avvisare il responsabile di turno', 'TeleMisura T2', 6,
        '0578 748123', '', '', '3484445566',
        '2023-10-10', 'Impianti Toscani di Neri Paolo', '055 7654321', date('now', 'localtime', '+1 months'),
        0, datetime('now', 'localtime', '-2 hours'));

INSERT INTO Matricole ([Matricola], [Codice periferica]) VALUES
    ('240017', '000101'),
    ('230452', '000102'),
    ('240233', '000103'),
    ('210988', '000104'),
    ('240561', '000106');

INSERT INTO Telefoni_Utenti ([CodPer], [Contatto], [Num_Tel], [Des_Telefoni]) VALUES
    ('000101', 'Giuseppe Dell''Acqua', '3351234500', 'Titolare, cellulare'),
    ('000101', 'Anna Dell''Acqua', '3287766554', 'Figlia, chiamare se il padre non risponde'),
    ('000102', 'Marco Bianchi', '3396655443', 'Titolare'),
    ('000102', 'Negozio', '051 334455', 'Orario 8.30-12.30 / 15.00-19.30'),
    ('000104', 'Dott.ssa Carmela Esposito', '3312223344', 'Farmacista responsabile'),
    ('000106', 'Stefano Mancini', '3470001122', 'Responsabile celle, reperibile 24h');

INSERT INTO ArchivioEventi ([Codice periferica], [Data e ora], [Testo messaggio], [Archiviato], [Tipo evento], [Descrizione evento]) VALUES
    ('000101', datetime('now', 'localtime', '-5 days', '-2 hours'),
        'credito: 12.40 euro; liv. batt. 75; segnale 4/5; rete NET1; sim S1; sw:V12.3', 1, 'Test', 'Stato regolare'),
    ('000102', datetime('now', 'localtime', '-4 days', '-30 minutes'),
        'Interrogazione della periferica', 1, 'Test', 'Interrogazione automatica della periferica'),
    ('000102', datetime('now', 'localtime', '-4 days', '-29 minutes'),
        'credito: 8.10 euro; liv. batt. 90; segnale 5/5; rete NET1; sim S1; sw:V3.1', 1, 'Test', 'Stato regolare'),
    ('000104', datetime('now', 'localtime', '-3 days', '-5 hours'),
        'ALLARME INGRESSO 2', 1, 'Allarme', 'Scarso credito residuo;'),
    ('000106', datetime('now', 'localtime', '-2 days', '-1 hours'),
        'credito: 2.00 euro; liv. batt. 60; segnale 2/5; rete NET2; sim S1; sw:V1.8', 1, 'Allarme', 'Segnale debole;Scarso credito residuo;'),
    ('000103', datetime('now', 'localtime', '-40 minutes'),
        'Interrogazione della periferica', 0, 'Test', 'Interrogazione automatica della periferica'),
    ('000101', datetime('now', 'localtime', '-12 minutes'),
        'ALLARME INGRESSO 1', 0, 'Allarme', 'Scarso credito residuo;'),
    ('000106', datetime('now', 'localtime', '-3 minutes'),
        'credito: 15.00 euro; liv. batt. 18; segnale 3/5; rete NET2; sim S1; sw:V1.8', 0, 'Allarme', 'Batteria scarica; ');
