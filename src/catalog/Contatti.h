#pragma once
// A subscriber's contacts (`Telefoni_Utenti`) without their window: the list
// as stored, and saving by replacing the whole list in one transaction, so a
// failure leaves the stored list as it was. Throws store::ErroreDatabase.

#include <QList>
#include <QString>

namespace sorvela { struct Contesto; }
namespace sorvela::store { class Database; }

namespace sorvela::catalog {

// Longest texts the editor accepts, per column.
inline constexpr int LunghezzaContatto = 30;
inline constexpr int LunghezzaNumero = 16;
inline constexpr int LunghezzaNota = 50;

struct Contatto {
    QString nome;     // `Contatto`
    QString numero;   // `Num_Tel`
    QString nota;     // `Des_Telefoni`

    bool vuoto() const { return nome.isEmpty() && numero.isEmpty() && nota.isEmpty(); }
    bool operator==(const Contatto&) const = default;
};

class Contatti {
public:
    // With `registro`, each save is recorded under its operator, in the
    // save's transaction.
    explicit Contatti(store::Database& db, Contesto* registro = nullptr) : m_db(db), m_registro(registro) {}

    // In the order they were stored; a Null field reads as an empty text.
    QList<Contatto> leggi(const QString& codice) const;

    // The subscriber's list becomes exactly `elenco`, less the rows whose
    // three fields are all empty. Empty fields are stored as empty texts.
    void sostituisci(const QString& codice, const QList<Contatto>& elenco);

private:
    store::Database& m_db;
    Contesto* m_registro;
};

} // namespace sorvela::catalog
