#pragma once
// A subscriber's inputs table without its window: the rows as the grid
// `Ingressi` shows them, the two views that `VisualTutto` switches between,
// and the rows kept for the subscriber.
//
// The grid is kept in ascending `Contatore` (the row of the type's input
// table each grid row came from). "Showing all" merges the type's inputs
// into it: an input not yet listed comes in marked "No" with the type's
// values, an input already listed keeps the operator's marks and edits.
// "Showing those in use" drops the rows marked "No".
//
// What is kept: the rows marked "Si", with every cell as the operator left
// it, in table `IngressiUtente` under the subscriber's code; they are
// written with the subscriber's record (in its transaction) and deleted
// with it. Throws store::ErroreDatabase on failure.

#include "catalog/Periferiche.h"

#include <QList>
#include <QString>

#include <optional>

namespace sorvela::store { class Database; }

namespace sorvela::registry {

inline const QString InUso = QStringLiteral("Si");
inline const QString NonInUso = QStringLiteral("No");

// The subscriber's table shows the first event kind without the catalog's
// trailing blank.
inline const QStringList TipiEventoUtente{QStringLiteral("Allarme"),   QStringLiteral("Ripristino"),
                                          QStringLiteral("Acceso"),    QStringLiteral("Spento"),
                                          QStringLiteral("Test"),      QStringLiteral("No Test"),
                                          QStringLiteral("No Acceso"), QStringLiteral("No Spento")};

struct RigaIngresso {
    QString uso;                  // column 0: "Si", "No" or empty
    QString codiceEvento;
    QString zona;
    QString desEvento;
    QString tipoEvento;
    QString trattamento;
    QString numero;               // column 6, for a treated input
    std::optional<int> contatore; // empty for a row that came from no input table

    bool vuota() const;
    bool operator==(const RigaIngresso&) const = default;
};

namespace vista {
// One empty data row: the table of a new subscriber.
QList<RigaIngresso> vuota();
// All the type's inputs, merged into the rows already listed.
QList<RigaIngresso> tutti(QList<RigaIngresso> righe, const QList<catalog::Ingresso>& tipo);
// Only the rows in use; one empty row when none is.
QList<RigaIngresso> inUso(QList<RigaIngresso> righe);
} // namespace vista

class IngressiUtente {
public:
    explicit IngressiUtente(store::Database& db) : m_db(db) {}

    // The kept rows in the order they were shown; one empty row when there
    // are none.
    QList<RigaIngresso> leggi(const QString& codice) const;
    // The subscriber's kept rows become the rows of `righe` marked "Si". In
    // the caller's transaction when one is open, otherwise in one of its own.
    void scrivi(const QString& codice, const QList<RigaIngresso>& righe);
    void elimina(const QString& codice);

private:
    store::Database& m_db;
};

} // namespace sorvela::registry
