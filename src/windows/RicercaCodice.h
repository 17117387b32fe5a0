#pragma once
// The subscriber picker's logic, without widgets: its six orders (one saved
// query each), the caption of each, the heading click that switches between
// them, the list of subscribers in one order, and the caller tag that says
// where the chosen code goes.

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <optional>

namespace sorvela::store { class Database; }

namespace sorvela::ricerca {

enum class Chiave { Codice, RagioneSociale, Nome };

struct Ordine {
    Chiave chiave = Chiave::Codice;
    bool crescente = true;
    bool operator==(const Ordine&) const = default;
};

// The saved query of an order: "F_CodiceC", "F_Rag_SocD", …
QString Vista(Ordine o);
// "Ordinamento per Codice in senso Crescente", …
QString Didascalia(Ordine o);
// The order after a click on heading `colonna` (0 code, 1 company name,
// 2 name): the descending order of that column when the grid is in its
// ascending order, its ascending order otherwise.
Ordine DopoClic(Ordine attuale, int colonna);
// Which of the labels "Codice" (0), "Matricola" (1), "Nominativo" (2) is
// highlighted for an order; "Matricola" never is.
int EtichettaEvidenziata(Ordine o);

// The caller tag "<window>_<field>", cut at its first underscore; empty when
// it holds no underscore.
struct Destinazione {
    QString finestra;
    QString campo;
};
std::optional<Destinazione> LeggiTag(const QString& tag);

struct Utente {
    QString codice;
    QString ragioneSociale;
    QString nome;
    // What the picker shows as the subscriber's name: the company name, or
    // the person's name for a private subscriber.
    QString nominativo() const { return ragioneSociale.isEmpty() ? nome : ragioneSociale; }
};

// Every subscriber in the order's saved query. Throws store::ErroreDatabase.
QList<Utente> LeggiUtenti(store::Database& db, Ordine o);
// The serial number given to a subscriber's unit; empty when there is none.
QString Matricola(store::Database& db, const QString& codice);

// The subscribers for the picker's grid: code, company name, name.
class ModelloUtenti : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void imposta(QList<Utente> utenti);
    const Utente& utente(int riga) const { return m_utenti.at(riga); }

    int rowCount(const QModelIndex& p = {}) const override;
    int columnCount(const QModelIndex& p = {}) const override;
    QVariant data(const QModelIndex& i, int ruolo) const override;
    QVariant headerData(int sezione, Qt::Orientation o, int ruolo) const override;

private:
    QList<Utente> m_utenti;
};

} // namespace sorvela::ricerca
