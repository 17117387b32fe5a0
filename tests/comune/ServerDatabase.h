#pragma once
// A Sorvela database on either engine, for the tests that run on both: a
// file in a temporary folder, or a fresh database on the tests' PostgreSQL
// server (started by CTest, see tests/CMakeLists.txt; its connection text is
// in SORVELA_TEST_PG), dropped again at the end.
//
// Without the server a server database is not skipped: `errore` says why
// there is none, and the test fails on it.

#include "store/Database.h"

#include <libpq-fe.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <memory>

namespace sorvela::comune {

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

    DatabaseDiProva(bool suServer, bool demo)
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
            url = dir.filePath(QStringLiteral("Sorvela.db"));
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

} // namespace sorvela::comune
