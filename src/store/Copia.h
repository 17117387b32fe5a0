#pragma once
// Moving a centre from its SQLite file to a PostgreSQL server: every row of
// every table, identifiers kept, in one transaction on the server, then the
// rows counted on both sides.
//
// The server database must hold no Sorvela data: either nothing at all (the
// schema is created first) or the schema with every table empty, as
// `sorvela-db init --database` leaves it. The file is read in one read
// transaction, so what is copied and what is counted is one moment of it; a
// console still writing to it meanwhile is not seen, so the centre is
// stopped first.

#include <QList>
#include <QString>

#include <functional>

namespace sorvela::store {

struct ConteggioTabella {
    QString tabella;
    qint64 file = 0;
    qint64 server = 0;
};

struct EsitoCopia {
    QList<ConteggioTabella> tabelle;  // in the order they were copied
    bool concorda() const
    {
        for (const ConteggioTabella& t : tabelle) {
            if (t.file != t.server)
                return false;
        }
        return true;
    }
};

// Throws ErroreDatabase (and the server keeps nothing of the copy) when the
// file cannot be read, the server refuses a row, or the server already holds
// data; the message names the table. `passo` hears each table as it begins.
EsitoCopia CopiaSuServer(const QString& file, const QString& url,
                         const std::function<void(const QString& tabella, qint64 righe)>& passo = {});

} // namespace sorvela::store
