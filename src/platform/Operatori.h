#pragma once
// The operators who may be on duty (table "Operatori") and their passwords.
//
// A password is never stored: only a salted PBKDF2-HMAC-SHA256 key, written
// as "pbkdf2-sha256$<iterations>$<salt>$<key>" (salt and key in base 64), so
// the iteration count can grow later without invalidating older hashes.
// Everything here throws store::ErroreDatabase on a database failure and
// shows nothing.

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace sorvela {

struct Contesto;
namespace store { class Database; }

// The name actions are recorded under when no operator is defined.
inline const QString OperatoreGenerico = QStringLiteral("Operatore");

// PBKDF2 (RFC 8018) with HMAC-SHA256 as its pseudo-random function.
QByteArray Pbkdf2Sha256(const QByteArray& password, const QByteArray& sale, int iterazioni, int lunghezza);

// A new hash of `password` with a fresh random salt.
QString CifraPassword(const QString& password, int iterazioni = 120000);
// Whether `password` matches a hash made by CifraPassword; a hash in any
// other form matches nothing.
bool VerificaPassword(const QString& password, const QString& hash);

struct Operatore {
    QString nome;
    bool conPassword = false;
    bool attivo = true;
};

// Every operator by name; only the active ones when `soloAttivi`.
QList<Operatore> ElencoOperatori(store::Database& db, bool soloAttivi);

// Whether the desk must ask who is on duty: some active operator exists.
bool ServeOperatore(store::Database& db);

// Whether `password` lets `nome` on duty: an active operator whose password
// matches, or who has none.
bool AccessoConsentito(store::Database& db, const QString& nome, const QString& password);

// Puts `nome` on duty, with the change recorded under the new name in the
// same transaction (details: who was on duty before). Throws; the operator
// on duty stays as he was when the record cannot be written.
void CambiaOperatore(Contesto& c, const QString& nome);

// Adds or changes an operator and records it. `password`: nullopt keeps the
// one stored, an empty text removes it, any other text replaces it. An empty
// or blank name is refused with false (nothing written).
bool SalvaOperatore(Contesto& c, const QString& nome, const std::optional<QString>& password, bool attivo);

} // namespace sorvela
