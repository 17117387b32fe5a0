#pragma once
// The catalog of peripheral types without its window: the type and protocol
// lists by position, one type's row, its inputs, and saving a type.
//
// Position equals identifier: entry k of a list is the row whose
// `IDPeriferica` (or `IDProtocollo`) is k; entry 0 is the placeholder. A type's
// inputs live in the table named by its `Tabella`; that name comes from the
// database, so it reaches SQL only through store::tabellaVerificata, and a
// name that is no table ("*" for a type added from the subscriber window)
// simply means "no inputs".
//
// Everything here works on one open store::Database and throws
// store::ErroreDatabase on failure; saving writes all of its rows in one
// transaction or none of them. Nothing here talks to the operator: damage in
// the catalog is returned as texts for the window to show.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

namespace sorvela { struct Contesto; }
namespace sorvela::store { class Database; class RecordSet; }

namespace sorvela::catalog {

// The event kinds an input raises and the treatments, by list position. The
// catalog stores the first kind with its trailing blank, as the units' tables
// always held it; the subscriber's table shows it without.
inline const QStringList TipiEvento{QStringLiteral("Allarme "),  QStringLiteral("Ripristino"),
                                    QStringLiteral("Acceso"),    QStringLiteral("Spento"),
                                    QStringLiteral("Test"),      QStringLiteral("No Test"),
                                    QStringLiteral("No Acceso"), QStringLiteral("No Spento")};
inline const QStringList Trattamenti{QStringLiteral("Tratta"), QStringLiteral("Archivia")};

// The position of the item that a cell's text names by its first `caratteri`
// characters, or -1 when none does.
int riconosci(const QStringList& voci, const QString& cella, int caratteri);
inline int riconosciTipoEvento(const QString& cella) { return riconosci(TipiEvento, cella, 4); }
inline int riconosciTrattamento(const QString& cella) { return riconosci(Trattamenti, cella, 2); }

// One row of a type's input table, numbered by `contatore`. `riga` is the
// row's own identity (Database::colonnaRiga), which saving writes back to: in
// a damaged table two rows may share a counter, and each must keep its own values.
struct Ingresso {
    QVariant riga;
    int contatore = 0;
    QString codiceEvento;
    QString zona;
    QString desEvento;
    QString tipoEvento;
    QString trattamento;

    bool operator==(const Ingresso&) const = default;
};

struct TipoPeriferica {
    int id = 0;
    QString nome;          // `PerifericaTipo`
    QString descrizione;   // `DesPeriferica`
    int protocollo = 0;    // position in the protocol list; 0 none
    bool predefinita = false;
    QString tabella;       // `Tabella`, as stored
};

// A list by position: entry 0 is the placeholder, an identifier without a row
// is an empty entry. `danni` describes identifiers that do not run 1..n.
struct Elenco {
    QStringList voci;
    QStringList danni;
};

// A type's inputs in ascending `Contatore`; `danni` says when the counters
// do not run 1..N (the rows are still all there, each with its own key).
struct ElencoIngressi {
    QList<Ingresso> righe;
    QStringList danni;
};

class Catalogo {
public:
    // The highest identifier a list gives a place to: a damaged row with an
    // absurd identifier must not make the list millions of entries long.
    static constexpr int PosizioneMassima = 9999;

    // With `registro`, each save is recorded under its operator, in the
    // save's transaction.
    explicit Catalogo(store::Database& db, Contesto* registro = nullptr) : m_db(db), m_registro(registro) {}

    Elenco tipi(const QString& segnaposto) const;
    Elenco protocolli(const QString& segnaposto) const;
    // The name of the default type (the last row marked, in table order), or
    // nothing.
    std::optional<TipoPeriferica> predefinita() const;

    std::optional<TipoPeriferica> tipo(int id) const;
    std::optional<TipoPeriferica> tipo(const QString& nome) const;

    // The rows of the input table named `tabella`; none when it names no
    // table.
    ElencoIngressi ingressi(const QString& tabella) const;
    // The inputs of the type called `nome`; none when no type has that name.
    ElencoIngressi ingressiDelTipo(const QString& nome) const;

    // Writes the type's description, protocol and default mark, clears the
    // default mark of every other type when this one is the default, and
    // writes each input back into the row of its own `Contatore` (rows that
    // are no longer there are skipped; none is added). One transaction.
    // False when the type's row is gone (nothing is written).
    bool salva(const TipoPeriferica& t, const QList<Ingresso>& righe);

private:
    Elenco elenco(const QString& sql, const QString& segnaposto, const QString& cosa) const;
    std::optional<TipoPeriferica> primo(store::RecordSet rs) const;

    store::Database& m_db;
    Contesto* m_registro = nullptr;
};

} // namespace sorvela::catalog
