#pragma once
// A Sorvela database on either engine, for the tests that run on both: a
// file in a temporary folder, or a fresh database on the tests' PostgreSQL
// server (started by CTest, see tests/CMakeLists.txt; its connection text is
// in SORVELA_TEST_PG), dropped again at the end.
//
// Without the server a server database is not skipped: `errore` says why
// there is none, and the test fails on it.

#include "platform/Contesto.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <libpq-fe.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace sorvela::comune {

// The shared fixtures put their database on the server in the "_pg" runs
// (SORVELA_PROVA_MOTORE=postgresql, see tests/CMakeLists.txt), else in a file.
inline bool motoreServer()
{
    return qEnvironmentVariable("SORVELA_PROVA_MOTORE") == QLatin1String("postgresql");
}

inline QString serverDiProva()
{
    return qEnvironmentVariable("SORVELA_TEST_PG");
}

// One statement on the server's maintenance database, written by the test
// itself. Empty on success, else the server's message.
inline QString comandoServer(const QString& sql)
{
    const QByteArray info = (serverDiProva() + QStringLiteral(" dbname=postgres")).toUtf8();
    PGconn* c = PQconnectdb(info.constData());
    QString errore;
    if (PQstatus(c) != CONNECTION_OK) {
        errore = QString::fromUtf8(PQerrorMessage(c));
    } else {
        PGresult* r = PQexec(c, sql.toUtf8().constData());
        if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK)
            errore = QString::fromUtf8(PQresultErrorMessage(r));
        PQclear(r);
    }
    PQfinish(c);
    return errore;
}

struct DatabaseDiProva {
    QTemporaryDir dir;
    QString nomeServer;  // the server database's name; empty for a file
    QString url;         // what Database::apri takes
    QString errore;
    std::unique_ptr<store::Database> db;

    // The file is Sorvela.db in `cartella` when one is given.
    DatabaseDiProva(bool suServer, bool demo, const QString& cartella = {})
    {
        if (suServer) {
            static int contatore = 0;
            if (serverDiProva().isEmpty()) {
                errore = QStringLiteral("SORVELA_TEST_PG non impostata: il server di prova si avvia con ctest");
                return;
            }
            nomeServer = QStringLiteral("prova_%1_%2").arg(QCoreApplication::applicationPid()).arg(++contatore);
            errore = comandoServer(QStringLiteral("CREATE DATABASE %1").arg(nomeServer));
            if (!errore.isEmpty())
                return;
            url = serverDiProva() + QStringLiteral(" dbname=") + nomeServer;
        } else {
            url = (cartella.isEmpty() ? dir.path() : cartella) + QStringLiteral("/Sorvela.db");
        }
        store::Database::crea(url, demo);
        db = store::Database::apri(url);
    }

    ~DatabaseDiProva()
    {
        db.reset();
        if (!nomeServer.isEmpty())
            comandoServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(nomeServer));
    }

    // Ends this database's server connections from outside, as a restart
    // or an administrator would.
    QString interrompiConnessioni() const
    {
        return comandoServer(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                            "WHERE datname = '%1' AND pid <> pg_backend_pid()")
                                 .arg(nomeServer));
    }
};

// The first column of a query's rows joined by `separatore`, as SQLite's
// group_concat gives them (the server has no such function).
inline QString unite(store::Database& db, const QString& sql, const QVariantList& p = {},
                     const QString& separatore = QStringLiteral(","))
{
    QStringList r;
    for (auto rs = db.apriRecordSet(sql, p); !rs.eof(); rs.moveNext())
        if (!rs.campo(0).isNull())
            r << rs.campo(0).toString();
    return r.join(separatore);
}

// A fault: from now on every `evento` (INSERT, UPDATE, DELETE) on `tabella`
// for which `quando` holds (NEW./OLD. columns; empty: always) is refused with
// `messaggio`, as a full disk would refuse it, on either engine.
inline void guasto(store::Database& db, const QString& nome, const QString& tabella, const QString& evento,
                   const QString& messaggio, const QString& quando = {})
{
    const QString su = QStringLiteral(" BEFORE %1 ON %2 ").arg(evento, tabella);
    if (!db.suServer()) {
        db.esegui(QStringLiteral("CREATE TEMP TRIGGER ") + nome + su + (quando.isEmpty() ? QString() : QStringLiteral("WHEN ") + quando)
                  + QStringLiteral(" BEGIN SELECT RAISE(ABORT, '%1'); END").arg(messaggio));
        return;
    }
    db.esegui(QStringLiteral("CREATE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS "
                             "$$BEGIN RAISE EXCEPTION '%2'; END$$").arg(nome, messaggio));
    db.esegui(QStringLiteral("CREATE TRIGGER ") + nome + su + QStringLiteral("FOR EACH ROW ")
              + (quando.isEmpty() ? QString() : QStringLiteral("WHEN (%1) ").arg(quando))
              + QStringLiteral("EXECUTE FUNCTION %1()").arg(nome));
}

// A connection that may read only (solo) or again write.
inline void solaLettura(store::Database& db, bool solo)
{
    if (db.suServer())
        db.esegui(solo ? QStringLiteral("SET default_transaction_read_only = on")
                       : QStringLiteral("SET default_transaction_read_only = off"));
    else
        db.esegui(solo ? QStringLiteral("PRAGMA query_only = 1") : QStringLiteral("PRAGMA query_only = 0"));
}

inline void togliGuasto(store::Database& db, const QString& nome, const QString& tabella)
{
    db.esegui(QStringLiteral("DROP TRIGGER ") + nome + (db.suServer() ? QStringLiteral(" ON ") + tabella : QString()));
}

// A shared fixture's database: Sorvela.db in `cartella`, or in the "_pg"
// runs a fresh one on the server, which `ctx` (and whatever reopens the
// database through it) then names.
inline std::unique_ptr<DatabaseDiProva> databaseDelBanco(const QString& cartella, Contesto& ctx, bool demo = false)
{
    auto d = std::make_unique<DatabaseDiProva>(motoreServer(), demo, cartella);
    if (!d->errore.isEmpty())
        qFatal("database di prova: %s", qPrintable(d->errore));
    ctx.cartellaDati = cartella;
    ctx.urlDatabase = d->nomeServer.isEmpty() ? QString() : d->url;
    ctx.db = d->db.get();
    return d;
}

// A server of the test's own, which it may stop and start again
// (scripts/pg-prova.sh); under /tmp, which the unprivileged user the server
// runs as (for root) can reach. Removed with its data at the end.
struct ServerProprio {
    QString cartella;
    explicit ServerProprio(const QString& nome = QStringLiteral("sorvela-pg"))
        : cartella(QStringLiteral("/tmp/%1-%2").arg(nome).arg(QCoreApplication::applicationPid()))
    {
    }
    bool comando(const char* azione) const
    {
        return QProcess::execute(QStringLiteral(SORVELA_SOURCE_DIR "/scripts/pg-prova.sh"),
                                 {QString::fromLatin1(azione), cartella}) == 0;
    }
    QString connessione() const { return "host=" + cartella + " user=sorvela"; }
    ~ServerProprio() { comando("ferma"); }
};

} // namespace sorvela::comune
