#pragma once
// The record of what the operators do (table "RegistroOperazioni"): one row
// per action, with the time, the operator on duty, the machine, the action,
// what it touched and its details.
//
// A row is written inside the transaction of the action it records, so a
// refused action leaves no row and a row that cannot be written refuses the
// action. The console only adds rows here.

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace sorvela {

struct Contesto;
namespace store { class Database; }

// The actions recorded, by the names the record window filters on.
namespace azione {
inline const QString Archiviazione = QStringLiteral("Archiviazione eventi");
inline const QString Ripulisci = QStringLiteral("Ripulisci");
inline const QString Compattazione = QStringLiteral("Compattazione");
inline const QString UtenteCreato = QStringLiteral("Utente creato");
inline const QString UtenteModificato = QStringLiteral("Utente modificato");
inline const QString UtenteEliminato = QStringLiteral("Utente eliminato");
inline const QString CatalogoSalvato = QStringLiteral("Catalogo salvato");
inline const QString ContattiSalvati = QStringLiteral("Contatti salvati");
inline const QString PortaCambiata = QStringLiteral("Porta cambiata");
inline const QString Interrogazione = QStringLiteral("Interrogazione manuale");
inline const QString AllarmeTacitato = QStringLiteral("Allarme tacitato");
inline const QString CambioOperatore = QStringLiteral("Cambio operatore");
inline const QString OperatoreSalvato = QStringLiteral("Operatore salvato");
inline const QString MessaggioAssegnato = QStringLiteral("Messaggio assegnato");
inline const QString MessaggioEliminato = QStringLiteral("Messaggio eliminato");
} // namespace azione

// Adds one row: now by the context's clock, the operator on duty, this
// machine's name. Joins the caller's transaction when one is open (the usual
// case: the action's own), otherwise commits on its own. Throws
// store::ErroreDatabase; inside the caller's transaction that undoes the
// action as well.
void RegistraOperazione(Contesto& c, const QString& azione, const QString& oggetto = {},
                        const QString& dettagli = {});

// Reading the record, newest first, for the window "Registro operazioni".
struct FiltroRegistro {
    QDate dal;           // first day, included; invalid: from the beginning
    QDate al;            // last day, included; invalid: to the end
    QString operatore;   // empty: every operator
    QString azione;      // empty: every action
};

struct VoceRegistro {
    QDateTime dataOra;
    QString operatore;
    QString postazione;
    QString azione;
    QString oggetto;
    QString dettagli;
};

// At most `limite` rows; `troncato` tells whether more matched.
QList<VoceRegistro> LeggiRegistro(store::Database& db, const FiltroRegistro& f, int limite = 10000,
                                  bool* troncato = nullptr);
// The operators and the actions found in the record, for the filters' lists.
QStringList OperatoriRegistrati(store::Database& db);
QStringList AzioniRegistrate(store::Database& db);

// Event IDs written compactly for a record: "12-15, 18".
QString IntervalliId(QList<qint64> id);

} // namespace sorvela
