-- The group roles of a Sorvela centre on a PostgreSQL server, and what each
-- may do on the tables of the current schema. Run by Database::concediRuoli
-- ("sorvela-db init --ruoli", "sorvela-db ruoli") as the administrator who
-- owns the tables, in one transaction; running it again sets the same
-- privileges again, nothing more and nothing less.
--
--   sorvela_ricevitore  a receiver: reads subscribers, catalog and contacts,
--                       writes events, messages of no subscriber, pending
--                       interrogations, its own state, notices and answers
--   sorvela_banco       a desk: everything a receiver may do (a desk runs a
--                       receiver of its own unless told "esterno"), reads
--                       every table, archives events, edits the registry,
--                       the catalog, contacts and operators
--   sorvela_responsabile  the centre's manager: a desk that may also delete
--                       old events ("Ripulisci")
--
-- The roles cannot log in; a person or a machine logs in with a role of its
-- own made a member of one of them (CREATE ROLE anna LOGIN IN ROLE
-- sorvela_banco). Role names are the server's, shared by its databases: a
-- role already there is kept. A table named here that this database lacks
-- (made by a later version) is skipped; running this again once it exists
-- grants it.

DO $ruoli$
DECLARE
    schema_ text := current_schema();
    spazio oid := (SELECT n.oid FROM pg_catalog.pg_namespace n WHERE n.nspname = current_schema());
    -- Every table the programs know by name; an input table of a unit type
    -- is any other table that TipoPeriferica."Tabella" names.
    fisse constant text[] := ARRAY[
        'DatiUtente', 'ArchivioEventi', 'InterrogazioniPendenti', 'Matricole', 'TipoPeriferica', 'TipoProtocolli',
        'Telefoni_Utenti', 'IngressiUtente', 'Operatori', 'RegistroOperazioni', 'MessaggiNonAttribuiti',
        'StatoRicevitore', 'RichiesteRicevitore', 'AvvisiRicevitore', 'LavoriCentro'];
    ruolo text;
    tabella text;
    diritti text;
    sequenza text;
BEGIN
    IF schema_ IS NULL THEN
        RAISE EXCEPTION 'nessuno schema corrente in cui concedere i diritti';
    END IF;
    SELECT c.relowner::regrole::text INTO ruolo FROM pg_catalog.pg_class c
    WHERE c.relnamespace = spazio AND c.relname = 'DatiUtente';
    IF NOT pg_catalog.pg_has_role(ruolo, 'USAGE') THEN
        RAISE EXCEPTION 'i diritti sulle tabelle li concede il loro proprietario, %, non %', ruolo, current_user;
    END IF;

    FOREACH ruolo IN ARRAY ARRAY['sorvela_ricevitore', 'sorvela_banco', 'sorvela_responsabile'] LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = ruolo) THEN
            BEGIN
                EXECUTE format('CREATE ROLE %I NOLOGIN', ruolo);
            EXCEPTION WHEN duplicate_object OR unique_violation THEN
                NULL;  -- made meanwhile by another database's init
            END;
        END IF;
    END LOOP;
    -- Each role holds the rights of the one before it.
    IF NOT pg_catalog.pg_has_role('sorvela_banco', 'sorvela_ricevitore', 'MEMBER') THEN
        GRANT sorvela_ricevitore TO sorvela_banco;
    END IF;
    IF NOT pg_catalog.pg_has_role('sorvela_responsabile', 'sorvela_banco', 'MEMBER') THEN
        GRANT sorvela_banco TO sorvela_responsabile;
    END IF;

    EXECUTE format('GRANT CONNECT ON DATABASE %I TO sorvela_ricevitore', current_database());
    EXECUTE format('GRANT USAGE ON SCHEMA %I TO sorvela_ricevitore', schema_);
    -- What an earlier run granted goes first: the result is the list below.
    EXECUTE format('REVOKE ALL ON ALL TABLES IN SCHEMA %I FROM sorvela_ricevitore, sorvela_banco, sorvela_responsabile',
                   schema_);
    EXECUTE format('REVOKE ALL ON ALL SEQUENCES IN SCHEMA %I FROM sorvela_ricevitore, sorvela_banco, sorvela_responsabile',
                   schema_);

    FOR tabella, diritti, ruolo IN
        SELECT * FROM (VALUES
            -- The receiver. Of a subscriber it writes only the two marks its
            -- routines keep: the SIM expiry told and the last call made.
            ('DatiUtente', 'SELECT', 'sorvela_ricevitore'),
            ('DatiUtente', 'UPDATE ("Scadenza segnalata", "Ultima interrogazione")', 'sorvela_ricevitore'),
            ('Matricole', 'SELECT', 'sorvela_ricevitore'),
            ('IngressiUtente', 'SELECT', 'sorvela_ricevitore'),
            ('Telefoni_Utenti', 'SELECT', 'sorvela_ricevitore'),
            ('TipoPeriferica', 'SELECT', 'sorvela_ricevitore'),
            ('TipoProtocolli', 'SELECT', 'sorvela_ricevitore'),
            ('ArchivioEventi', 'SELECT, INSERT', 'sorvela_ricevitore'),
            ('MessaggiNonAttribuiti', 'SELECT, INSERT', 'sorvela_ricevitore'),
            ('InterrogazioniPendenti', 'SELECT, INSERT, UPDATE, DELETE', 'sorvela_ricevitore'),
            ('RegistroOperazioni', 'INSERT', 'sorvela_ricevitore'),
            ('StatoRicevitore', 'SELECT, INSERT, UPDATE, DELETE', 'sorvela_ricevitore'),
            ('RichiesteRicevitore', 'SELECT, UPDATE', 'sorvela_ricevitore'),
            ('AvvisiRicevitore', 'SELECT, INSERT, DELETE', 'sorvela_ricevitore'),
            ('LavoriCentro', 'SELECT, INSERT, UPDATE', 'sorvela_ricevitore'),
            -- The desk, beyond the receiver's rights and reading every table
            -- (below). Events are archived and assigned, never deleted.
            ('ArchivioEventi', 'UPDATE', 'sorvela_banco'),
            ('Coda Query', 'UPDATE', 'sorvela_banco'),
            ('MessaggiNonAttribuiti', 'DELETE', 'sorvela_banco'),
            ('DatiUtente', 'INSERT, UPDATE, DELETE', 'sorvela_banco'),
            ('Matricole', 'INSERT, UPDATE, DELETE', 'sorvela_banco'),
            ('IngressiUtente', 'INSERT, UPDATE, DELETE', 'sorvela_banco'),
            ('Telefoni_Utenti', 'INSERT, UPDATE, DELETE', 'sorvela_banco'),
            ('TipoPeriferica', 'INSERT, UPDATE, DELETE', 'sorvela_banco'),
            ('F_PeriferichePredefinite', 'UPDATE', 'sorvela_banco'),
            ('TipoProtocolli', 'INSERT, UPDATE, DELETE', 'sorvela_banco'),
            ('Operatori', 'INSERT, UPDATE, DELETE', 'sorvela_banco'),
            ('RichiesteRicevitore', 'INSERT', 'sorvela_banco'),
            -- The manager: "Ripulisci".
            ('ArchivioEventi', 'DELETE', 'sorvela_responsabile')
        ) AS d (tabella, diritti, ruolo)
    LOOP
        IF pg_catalog.to_regclass(format('%I.%I', schema_, tabella)) IS NOT NULL THEN
            EXECUTE format('GRANT %s ON %I.%I TO %I', diritti, schema_, tabella, ruolo);
        END IF;
    END LOOP;

    -- A desk reads every table and view, the input tables of the unit types
    -- included, and edits those tables as part of the catalog.
    FOR tabella IN
        SELECT c.relname FROM pg_catalog.pg_class c
        WHERE c.relnamespace = spazio AND c.relkind IN ('r', 'p', 'v', 'm', 'f')
    LOOP
        EXECUTE format('GRANT SELECT ON %I.%I TO sorvela_banco', schema_, tabella);
    END LOOP;
    FOR tabella IN
        SELECT c.relname FROM pg_catalog.pg_class c
        WHERE c.relnamespace = spazio AND c.relkind IN ('r', 'p')
          AND c.relname <> ALL (fisse)
          AND lower(c.relname) IN (SELECT lower(t."Tabella") FROM "TipoPeriferica" t WHERE t."Tabella" IS NOT NULL)
    LOOP
        EXECUTE format('GRANT INSERT, UPDATE, DELETE ON %I.%I TO sorvela_banco', schema_, tabella);
    END LOOP;

    -- Whoever may insert into a table may take the numbers of its sequences.
    -- An identity column numbers a row without this right; a serial column
    -- (an input table made by hand) needs it.
    FOR sequenza, ruolo IN
        SELECT DISTINCT s.oid::regclass::text, r.rolname
        FROM pg_catalog.pg_class s
        JOIN pg_catalog.pg_depend d ON d.classid = 'pg_catalog.pg_class'::regclass AND d.objid = s.oid
                                   AND d.refclassid = 'pg_catalog.pg_class'::regclass AND d.deptype IN ('a', 'i')
        CROSS JOIN pg_catalog.pg_roles r
        WHERE s.relkind = 'S' AND s.relnamespace = spazio
          AND r.rolname IN ('sorvela_ricevitore', 'sorvela_banco')
          AND pg_catalog.has_table_privilege(r.rolname, d.refobjid, 'INSERT')
    LOOP
        EXECUTE format('GRANT USAGE ON SEQUENCE %s TO %I', sequenza, ruolo);
    END LOOP;

    -- Tables this administrator makes later (a newer version's, a unit
    -- type's) can be read at once; writing them waits for this to run again.
    EXECUTE format('ALTER DEFAULT PRIVILEGES IN SCHEMA %I GRANT SELECT ON TABLES TO sorvela_ricevitore, sorvela_banco',
                   schema_);
END
$ruoli$;
