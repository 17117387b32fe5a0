#include "platform/Operatori.h"

#include "platform/Contesto.h"
#include "platform/RegistroOperazioni.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStringList>

namespace sorvela {

QByteArray Pbkdf2Sha256(const QByteArray& password, const QByteArray& sale, int iterazioni, int lunghezza)
{
    QMessageAuthenticationCode mac(QCryptographicHash::Sha256, password);
    QByteArray chiave;
    for (quint32 blocco = 1; chiave.size() < lunghezza; ++blocco) {
        const char indice[4] = {char(blocco >> 24), char(blocco >> 16), char(blocco >> 8), char(blocco)};
        mac.reset();
        mac.addData(sale);
        mac.addData(indice, 4);
        QByteArray u = mac.result();
        QByteArray t = u;
        for (int i = 1; i < iterazioni; ++i) {
            mac.reset();
            mac.addData(u);
            u = mac.result();
            for (qsizetype k = 0; k < t.size(); ++k)
                t[k] = char(t[k] ^ u[k]);
        }
        chiave += t;
    }
    return chiave.left(lunghezza);
}

QString CifraPassword(const QString& password, int iterazioni)
{
    QByteArray sale(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(sale.data()), sale.size() / 4);
    const QByteArray chiave = Pbkdf2Sha256(password.toUtf8(), sale, iterazioni, 32);
    return QStringLiteral("pbkdf2-sha256$%1$%2$%3")
        .arg(iterazioni)
        .arg(QString::fromLatin1(sale.toBase64()), QString::fromLatin1(chiave.toBase64()));
}

bool VerificaPassword(const QString& password, const QString& hash)
{
    const QStringList parti = hash.split(u'$');
    if (parti.size() != 4 || parti[0] != u"pbkdf2-sha256")
        return false;
    bool ok = false;
    const int iterazioni = parti[1].toInt(&ok);
    const QByteArray sale = QByteArray::fromBase64(parti[2].toLatin1());
    const QByteArray attesa = QByteArray::fromBase64(parti[3].toLatin1());
    // A damaged hash must not turn into hours of hashing or an empty key
    // that anything matches.
    if (!ok || iterazioni < 1 || iterazioni > 10'000'000 || sale.isEmpty() || attesa.isEmpty())
        return false;
    const QByteArray chiave = Pbkdf2Sha256(password.toUtf8(), sale, iterazioni, int(attesa.size()));
    // Compared in full, whatever differs first.
    char diverso = 0;
    for (qsizetype k = 0; k < chiave.size(); ++k)
        diverso = char(diverso | (chiave[k] ^ attesa[k]));
    return diverso == 0;
}

QList<Operatore> ElencoOperatori(store::Database& db, bool soloAttivi)
{
    QList<Operatore> l;
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT \"Nome\", \"Password\", \"Attivo\" FROM \"Operatori\" "
                       "WHERE \"Attivo\" = TRUE OR ? = 0 ORDER BY \"Nome\""),
        {soloAttivi ? 1 : 0});
    for (; !rs.eof(); rs.moveNext())
        l << Operatore{rs.campo(QStringLiteral("Nome")).toString(), !rs.campo(QStringLiteral("Password")).isNull(),
                       rs.campo(QStringLiteral("Attivo")).toBool()};
    return l;
}

bool ServeOperatore(store::Database& db)
{
    return !db.valore(QStringLiteral("SELECT 1 FROM \"Operatori\" WHERE \"Attivo\" = TRUE")).isNull();
}

bool AccessoConsentito(store::Database& db, const QString& nome, const QString& password)
{
    store::RecordSet rs = db.apriRecordSet(
        QStringLiteral("SELECT \"Password\" FROM \"Operatori\" WHERE \"Nome\" = ? AND \"Attivo\" = TRUE"), {nome});
    if (rs.eof())
        return false;
    const QVariant hash = rs.campo(QStringLiteral("Password"));
    return hash.isNull() || VerificaPassword(password, hash.toString());
}

void CambiaOperatore(Contesto& c, const QString& nome)
{
    const QString prima = c.operatore;
    c.operatore = nome;
    try {
        RegistraOperazione(c, azione::CambioOperatore, nome, QStringLiteral("prima: %1").arg(prima));
    } catch (...) {
        c.operatore = prima;
        throw;
    }
}

bool SalvaOperatore(Contesto& c, const QString& nomeScritto, const std::optional<QString>& password, bool attivo)
{
    const QString nome = nomeScritto.trimmed();
    if (nome.isEmpty())
        return false;
    store::Database& db = *c.db;
    // Hashed before the transaction: the key takes a moment to make.
    const QVariant hash = !password ? QVariant() : password->isEmpty() ? QVariant() : QVariant(CifraPassword(*password));
    store::Transazione t(db);
    const bool esiste = !db.valore(QStringLiteral("SELECT 1 FROM \"Operatori\" WHERE \"Nome\" = ?"), {nome}).isNull();
    if (!esiste)
        db.esegui(QStringLiteral("INSERT INTO \"Operatori\" (\"Nome\", \"Password\", \"Attivo\") VALUES (?, ?, ?)"),
                  {nome, hash, attivo});
    else if (password)
        db.esegui(QStringLiteral("UPDATE \"Operatori\" SET \"Password\" = ?, \"Attivo\" = ? WHERE \"Nome\" = ?"),
                  {hash, attivo, nome});
    else
        db.esegui(QStringLiteral("UPDATE \"Operatori\" SET \"Attivo\" = ? WHERE \"Nome\" = ?"), {attivo, nome});
    QStringList dettagli;
    dettagli << (esiste ? QStringLiteral("modificato") : QStringLiteral("nuovo"));
    dettagli << (attivo ? QStringLiteral("attivo") : QStringLiteral("non attivo"));
    if (password)
        dettagli << (password->isEmpty() ? QStringLiteral("senza password") : QStringLiteral("password cambiata"));
    RegistraOperazione(c, azione::OperatoreSalvato, nome, dettagli.join(QStringLiteral(", ")));
    t.conferma();
    return true;
}

} // namespace sorvela
