#pragma once
// Pieces shared by Database.cpp and RecordSet.cpp; not part of the interface
// other folders code against.

#include "store/Database.h"

#include <sqlite3.h>

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>

#include <memory>
#include <vector>

namespace sorvela::store::detail {

[[noreturn]] void lancia(sqlite3* db, int rc, const QString& contesto);
[[noreturn]] void lanciaUso(const QString& messaggio);

// Quotes a name the program has already checked, for use as an identifier.
QString quota(const QString& nome);

// How a column's declared type says its text or integer is to be read.
enum class Tipo { Generico, Data, DataOra, SiNo };
Tipo tipoDichiarato(const char* decltype_);

QVariant perDatabase(const QVariant& v);
QVariant comeLetto(const QVariant& valoreDb, Tipo tipo);
QVariant leggi(sqlite3_stmt* st, int colonna, Tipo tipo);

// A prepared statement that is finalised however the scope is left.
class Istruzione {
public:
    Istruzione(sqlite3* db, const QString& sql);
    ~Istruzione();
    Istruzione(const Istruzione&) = delete;
    Istruzione& operator=(const Istruzione&) = delete;

    sqlite3_stmt* get() const { return m_st; }
    sqlite3_stmt* rilascia();
    // Binds values to the "?" placeholders, as many as there are.
    void lega(const QVariantList& valori);
    bool passo();  // true while there is a row
    void eseguiTutto();

private:
    sqlite3* m_db;
    sqlite3_stmt* m_st = nullptr;
};

void eseguiScript(sqlite3* db, const QString& sql, const QString& contesto);

struct StatoRecordSet;

struct Connessione {
    sqlite3* db = nullptr;
    QString percorso;
    std::vector<StatoRecordSet*> aperti;

    sqlite3* handleAperto() const;
    void chiudi();
    ~Connessione();
};

struct Riga {
    QVariantList valori;
    QVariant chiave;
};

struct StatoRecordSet {
    std::shared_ptr<Connessione> conn;
    sqlite3_stmt* st = nullptr;  // still stepping; null once every row is read
    QString sql;

    // Column 0 of sql is a hidden rowid when the set is a table's rows.
    int primaColonna = 0;
    QStringList nomi;
    QVector<Tipo> tipi;
    QHash<QString, int> indice;  // case-folded name -> visible column

    enum class Bersaglio { Nessuno, Tabella, Vista };
    Bersaglio bersaglio = Bersaglio::Nessuno;
    QString nomeBersaglio;
    int colonnaChiave = -1;  // visible column holding the key of a view

    std::vector<Riga> righe;
    int pos = 0;

    enum class Modo { Nessuno, Nuovo, Modifica };
    Modo modo = Modo::Nessuno;
    QHash<int, QVariant> pendenti;
    QVector<int> ordinePendenti;  // fields written in the order they were set

    ~StatoRecordSet();
    void rilascia();  // finalises the statement and detaches from the handle
    sqlite3* db() const;
    bool leggiAltra();  // reads one more row into righe; false at the end
    void assestaAvanti(); // reads the row under the cursor if not yet read
    int colonna(const QString& nome) const;
    const Riga& corrente() const;
};

} // namespace sorvela::store::detail
