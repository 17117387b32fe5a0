#include "eventi_aiuto.h"

#include "modem/pdu/CodificaPdu.h"

#include <QTest>

namespace sorvela::prova {

Console::Console()
{
    const QString percorso = m_cartella.filePath(QStringLiteral("Sorvela.db"));
    store::Database::crea(percorso, false);
    db = store::Database::apri(percorso);
    ctx.db = db.get();
    ctx.orologio = &orologio;
    ctx.messaggi = &messaggi;
    ctx.cartellaDati = m_cartella.path();
}

void Console::aggiungiUtente(const QString& codice, const QVariant& gsm, const QString& ragioneSociale,
                             const QString& nome)
{
    db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia], "
                              "[Ragione sociale], [Nome]) VALUES (?, ?, ?, ?)"),
               {codice, gsm, ragioneSociale, nome});
}

void Console::aggiungiPendente(const QString& codice)
{
    db->esegui(QStringLiteral("INSERT INTO InterrogazioniPendenti VALUES (?, ?, 1)"), {codice, orologio.adesso()});
}

int Console::conta(const QString& sql, const QVariantList& parametri)
{
    return db->valore(sql, parametri).toInt();
}

QString RispostaSms(const QString& mittente, const QString& testo, int stat)
{
    return pdu::RispostaCmgr(stat, pdu::CodificaDeliver(mittente, testo, QDateTime(QDate(2026, 3, 2), QTime(9, 59, 0))));
}

} // namespace sorvela::prova
