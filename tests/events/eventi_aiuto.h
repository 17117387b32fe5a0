#pragma once
// A console without serial line: a real database file in a temporary folder,
// a virtual clock and a scripted operator.

#include "comune/ServerDatabase.h"
#include "core/Orologio.h"
#include "events/Registrazione.h"
#include "modem/pdu/AlfabetoGsm.h"
#include "modem/pdu/CodificaPdu.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "store/Database.h"

#include <QTemporaryDir>

#include <memory>

namespace sorvela::prova {

class Console {
    QTemporaryDir m_cartella;

public:
    Contesto ctx;
    OrologioVirtuale orologio;
    MessaggiRegistrati messaggi;
    std::unique_ptr<comune::DatabaseDiProva> base;
    std::unique_ptr<store::Database> db;

    Console()
    {
        base = comune::databaseDelBanco(m_cartella.path(), ctx);
        db = std::move(base->db);
        ctx.orologio = &orologio;
        ctx.messaggi = &messaggi;
    }
    void aggiungiUtente(const QString& codice, const QVariant& gsm, const QVariant& ragioneSociale = QString(),
                        const QString& nome = {}, bool azienda = false)
    {
        db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia], [Ragione sociale], "
                                  "[Nome], [Tipo utente]) VALUES (?, ?, ?, ?, ?)"),
                   {codice, gsm, ragioneSociale, nome, azienda});
    }
    void aggiungiPendente(const QString& codice)
    {
        db->esegui(QStringLiteral("INSERT INTO InterrogazioniPendenti VALUES (?, ?, 1)"), {codice, orologio.adesso()});
    }
    int conta(const QString& sql, const QVariantList& parametri = {}) { return db->valore(sql, parametri).toInt(); }
};

// The whole reply to AT+CMGR for a message `testo` from `mittente`.
inline QString RispostaSms(const QString& mittente, const QString& testo, int stat = 0)
{
    return pdu::RispostaCmgr(stat, pdu::CodificaDeliver(mittente, testo, QDateTime(QDate(2026, 3, 2), QTime(9, 59))));
}

} // namespace sorvela::prova
