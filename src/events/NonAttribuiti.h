#pragma once
// The messages kept because their sender matched no subscriber (table
// "MessaggiNonAttribuiti"), and what the operator does with them: files one
// as an event of the subscriber he chooses ("Assegna…"), or deletes it
// ("Elimina"). Each action and its record in the record of actions are one
// transaction. No widgets; database failures throw store::ErroreDatabase
// with nothing written.

#include <QDateTime>
#include <QList>
#include <QString>

namespace sorvela {

struct Contesto;
namespace store { class Database; }

struct MessaggioNonAttribuito {
    qint64 id = 0;
    QDateTime dataOra;   // when the console read it
    QString mittente;
    QString testo;
    QString tipo;
    QString descrizione;
};

// Every kept message, oldest first.
QList<MessaggioNonAttribuito> ElencoNonAttribuiti(store::Database& db);
int ContaNonAttribuiti(store::Database& db);

// Whether subscriber `codice` exists and has no GSM voice number on file:
// then the sender may become it.
bool GsmMancante(store::Database& db, const QString& codice);

enum class EsitoAssegnazione {
    Assegnato,
    MessaggioSparito,   // deleted or assigned meanwhile (another desk)
    UtenteInesistente,  // no subscriber has this code
};

// Files message `id` as an event of `codice` with the time it was read, its
// text, type, description and identity (so the same SMS read again is still
// known), and removes it from the kept messages. With `salvaNumero`, and the
// subscriber's GSM number empty, the sender becomes that number.
EsitoAssegnazione AssegnaMessaggio(Contesto& c, qint64 id, const QString& codice, bool salvaNumero);

// Deletes message `id`; false when it was already gone.
bool EliminaNonAttribuito(Contesto& c, qint64 id);

} // namespace sorvela
