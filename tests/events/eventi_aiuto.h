#pragma once
// A console without serial line for the registration and report tests: a
// real database file in a temporary folder, a virtual clock and a scripted
// operator.

#include "core/Orologio.h"
#include "events/Registrazione.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "store/Database.h"

#include <QTemporaryDir>

#include <memory>

namespace sorvela::prova {

class Console {
public:
    Console();
    Contesto ctx;
    OrologioVirtuale orologio;
    MessaggiRegistrati messaggi;
    std::unique_ptr<store::Database> db;

    void aggiungiUtente(const QString& codice, const QVariant& gsm, const QString& ragioneSociale = {},
                        const QString& nome = {});
    void aggiungiPendente(const QString& codice);
    int conta(const QString& sql, const QVariantList& parametri = {});

private:
    QTemporaryDir m_cartella;
};

// The whole reply to AT+CMGR for a message `testo` from `mittente`.
QString RispostaSms(const QString& mittente, const QString& testo, int stat = 0);

} // namespace sorvela::prova
