#include "ciclo_aiuto.h"

#include "modem/pdu/DecodificaPdu.h"

namespace sorvela::prova {

void ProgressoRegistrato::mostra(const QString& etichetta)
{
    etichette << etichetta;
    aperto = true;
    if (allApertura)
        std::exchange(allApertura, nullptr)();
}

BancoCiclo::BancoCiclo()
    : ciclo([this](const QString& codice, const QString& mittente, const QString& testo) {
        mostrati << Mostrato{codice, mittente, pdu::TogliNul(testo)};
        if (dopoMostrato)
            dopoMostrato(int(mostrati.size()));
    })
{
    const QString percorso = cartella.filePath(QStringLiteral("Sorvela.db"));
    store::Database::crea(percorso, false);
    db = store::Database::apri(percorso);
    c.db = db.get();
    c.InCorso = &progresso;
    c.cartellaDati = cartella.path();
}

void BancoCiclo::collega(Simulatore& sim)
{
    mappa(1, sim.percorso());
    c.NumeroPorta = 1;
}

void BancoCiclo::aggiungiUtente(const QString& codice, const QString& gsm)
{
    db->esegui(QStringLiteral("INSERT INTO DatiUtente ([Codice periferica], [Telefono GSM fonia]) VALUES (?, ?)"),
               {codice, gsm});
}

int BancoCiclo::conta(const QString& sql, const QVariantList& parametri)
{
    return db->valore(sql, parametri).toInt();
}

QStringList BancoCiclo::testiEventi()
{
    QStringList r;
    store::RecordSet rs = db->apriRecordSet(
        QStringLiteral("SELECT [Codice periferica], [Testo messaggio] FROM ArchivioEventi ORDER BY [ID]"));
    for (; !rs.eof(); rs.moveNext())
        r << rs.campo(0).toString() + u' ' + rs.campo(1).toString();
    return r;
}

QStringList Comandi(Simulatore& sim)
{
    QStringList r = sim.storia();
    r.removeAll(QString());
    return r;
}

QStringList Memoria(Simulatore& sim)
{
    QStringList r = sim.comando(QStringLiteral("list"));
    r.removeLast();
    return r;
}

} // namespace sorvela::prova
