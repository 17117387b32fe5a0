#pragma once
// The subscriber registry without its window: reading, writing and deleting
// a subscriber's `DatiUtente` row, the serial-number check against
// `Matricole`, the list of peripheral types by position and the configuration
// that copy and paste carry from one subscriber to another.
//
// Everything here works on one open store::Database and throws
// store::ErroreDatabase on failure; every routine that writes more than one
// row does it in one transaction, so a failure leaves the stored record as it
// was. Nothing here talks to the operator except AppuntiConfigurazione, whose
// messages are part of what it does.

#include "registry/IngressiUtente.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace sorvela {
class Messaggi;
namespace store { class Database; }
struct Contesto;
} // namespace sorvela

namespace sorvela::registry {

inline const QString TitoloAnagrafica = QStringLiteral("Anagrafica Utente");

// A subscriber as the window shows it: the texts of its fields and its two
// option pairs. Dates are in the operator's form ("dd/mm/yyyy"), and a date
// text that is not a date is kept as typed: saving decides what it means.
struct SchedaUtente {
    QString codice;
    bool monitoraggio = true;   // "Attivo"
    bool azienda = true;        // "Azienda" (else "Privato")
    QString ragioneSociale;     // kept only for a company
    QString nome;
    QString indirizzo;
    QString citta;
    QString provincia;
    QString cap;
    QString note;
    QString modello;            // the peripheral type's name
    QString periodo;            // hours between automatic tests, as typed
    QString pstn;
    QString gsmFonia;
    QString gsmDati;
    QString installazione;
    QString installatore;
    QString telInstallatore;
    QString scadenza;           // SIM card expiry

    bool operator==(const SchedaUtente&) const = default;
};

// What copy and paste carry: the unit's type, its test period and the
// installer's details.
struct Configurazione {
    QString modello;
    QString periodo;
    QString installatore;
    QString telInstallatore;
};

// How many characters each text column of `DatiUtente` holds, and so how
// many its field takes: 50 for names, address, notes and type (the width of
// a text column where none is given), 2 for the province, 5 for the postcode,
// 20 for a telephone number, 10 for a date.
namespace lunghezze {
inline constexpr int Testo = 50;
inline constexpr int Provincia = 2;
inline constexpr int Cap = 5;
inline constexpr int Telefono = 20;
inline constexpr int Data = 10;
} // namespace lunghezze

namespace codici {
// Digits only: the rule of codes and serial numbers.
bool soloCifre(const QString& testo);
// Enter in a code field: 1 to 6 characters are padded with "0" on the left.
QString completaInvio(const QString& testo);
// Leaving a code field: 1 to 5 characters are padded to six; a text that is
// not a code (anything but digits, or more than six of them) becomes empty.
QString normalizza(const QString& testo);
// Six digits.
bool completo(const QString& testo);
} // namespace codici

class Utenti {
public:
    enum class Esito { Salvato, NessunCodice, NessunaPeriferica };

    // With `registro`, a save and a deletion are recorded in the record of
    // actions under its operator, in their own transaction: a new subscriber,
    // or the fields changed with their old and new values.
    explicit Utenti(store::Database& db, Contesto* registro = nullptr) : m_db(db), m_registro(registro) {}

    // The stored record of the code, or nothing for a subscriber not yet
    // stored.
    std::optional<SchedaUtente> leggi(const QString& codice) const;

    // The form of a subscriber not yet stored: monitored company, serial
    // number equal to the code (set by the window), period "0", installed
    // today, no type and no expiry.
    static SchedaUtente nuova(const QString& codice, const QDate& oggi);

    // Writes the record, adding or replacing the row of its code, and in the
    // same transaction adds a type name not yet in `TipoPeriferica` as a new
    // type ("*" for description and input table). `Scadenza segnalata` is
    // cleared only when the expiry was changed since loading; `Ultima
    // interrogazione` becomes `adesso`, which restarts the automatic test
    // period. A missing code or type writes nothing.
    // With `ingressi`, the subscriber's kept inputs become those of its rows
    // marked "Si", in the same transaction.
    Esito salva(const SchedaUtente& s, bool scadenzaCambiata, const QDateTime& adesso,
                const QList<RigaIngresso>* ingressi = nullptr);

    // True when the last successful salva() added a new peripheral type.
    bool tipoAggiunto() const { return m_tipoAggiunto; }

    // Removes the subscriber, its contacts and its kept inputs, in one
    // transaction. Events and pending interrogations filed under the code
    // stay.
    void elimina(const QString& codice);

    // The warning owed for a serial number, or an empty text: another code
    // holds it, or the same serial was given twice.
    QString controllaMatricola(const QString& matricola, const QString& codice) const;

    // Type names by position: entry k is the type whose `IDPeriferica` is k;
    // entry 0 (and any position without a type) is empty.
    QStringList tipiPeriferica() const;

    std::optional<Configurazione> configurazione(const QString& codice) const;

private:
    store::Database& m_db;
    Contesto* m_registro;
    bool m_tipoAggiunto = false;
};

// The copy and paste buttons: copying remembers a code, pasting reads that
// subscriber's configuration as it is stored at that moment. Nothing goes
// through the system clipboard.
class AppuntiConfigurazione {
public:
    explicit AppuntiConfigurazione(Messaggi& messaggi) : m_msg(messaggi) {}

    void Duplica(const QString& codice);
    // Asks, then reads the copied subscriber's configuration. Nothing when
    // there is nothing to paste, the operator says no, or the copied
    // subscriber is gone (which is told). The copied code survives, so one
    // configuration can be pasted into several subscribers in turn.
    std::optional<Configurazione> Incolla(const QString& codice, store::Database& db);

    const QString& copiato() const { return m_copiato; }
    void svuota() { m_copiato.clear(); }

private:
    Messaggi& m_msg;
    QString m_copiato;
};

} // namespace sorvela::registry
