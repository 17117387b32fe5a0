// The main window's menu commands and its handling of the serial line.

#include "shell/MDIForm1.h"

#include "platform/Messaggi.h"
#include "receiver/Sportello.h"
#include "shell/Impostazioni.h"
#include "store/Database.h"

namespace sorvela {

namespace {
const QString kNotificaLettura = QStringLiteral("telefono");
} // namespace

// "Carica messaggi": the receiver is asked to read now. Its answer comes with
// the receiver's state (aggiornaRicevitore): the operator is told why nothing
// was read, the handset lost included.
void MDIForm1::mnuCaricaMessaggi()
{
    if (!m_ctx.db)
        return;
    try {
        // Every living receiver reads its own handset.
        const QDateTime adesso = QDateTime::currentDateTimeUtc();
        QStringList vivi;
        for (const ricevitore::Stato& s : ricevitore::LeggiStati(*m_ctx.db)) {
            if (s.attivo(adesso))
                vivi << s.nome;
        }
        if (vivi.isEmpty() && m_ricevitoreFermo) {
            mostraEsitoLettura(ricevitore::TestoNonAttivo + QStringLiteral(": i messaggi non sono stati letti."));
            return;
        }
        // This desk's own receiver, still starting, is asked by no name.
        if (vivi.isEmpty())
            vivi << QString();
        for (const QString& nome : std::as_const(vivi))
            m_letture.append(
                ricevitore::Richiedi(*m_ctx.db, ricevitore::RichiestaLettura, {}, m_ctx.operatore, nome));
    } catch (const store::ErroreDatabase& e) {
        mostraEsitoLettura(QStringLiteral("Impossibile chiedere la lettura dei messaggi: %1").arg(e.messaggio()));
    }
}

void MDIForm1::mostraEsitoLettura(const QString& esito)
{
    m_ctx.messaggi->notifica(kNotificaLettura, Icona::Avviso, esito);
}

} // namespace sorvela

#include "shell/Compatta.h"
#include "store/Database.h"

namespace sorvela {

void MDIForm1::adottaDatabase(std::unique_ptr<store::Database> db)
{
    m_db = std::move(db);
    m_ctx.db = m_db.get();
}

// The compaction runs on its own thread while the desk goes on; its window
// tells the operator how it ended. One run at a time.
void MDIForm1::mnuCompatta()
{
    if (portaDavanti(QStringLiteral("Compattazione")))
        return;
    (new Compatta(m_ctx, this))->avvia();
}

} // namespace sorvela

#include "shell/Ripulisci.h"

namespace sorvela {

void MDIForm1::mnuCancEventi()
{
    if (portaDavanti(QStringLiteral("Ripulisci")))
        return;
    auto* r = new Ripulisci(m_ctx, this);
    r->adjustSize();
    r->move(geometry().center() - r->rect().center());
    r->show();
    r->raise();
}

} // namespace sorvela

namespace sorvela {

void MDIForm1::mnuComPort()
{
    if (portaDavanti(QStringLiteral("Impostazioni")))
        return;
    auto* f = new Impostazioni(m_ctx, this);
    f->setAttribute(Qt::WA_DeleteOnClose);
    f->show();
    f->raise();
}

} // namespace sorvela

#include "catalog/ContattiUtente.h"
#include "catalog/Periferica.h"
#include "shell/Allarme.h"
#include "registry/AnagraficaUtenti.h"
#include "windows/CodaEventi.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace sorvela {

CodaEventi* MDIForm1::codaEventi() const
{
    return qobject_cast<CodaEventi*>(finestra(QStringLiteral("CodaEventi")));
}

AnagraficaUtenti* MDIForm1::anagraficaUtenti() const
{
    return qobject_cast<AnagraficaUtenti*>(finestra(QStringLiteral("AnagraficaUtenti")));
}

void MDIForm1::mnuVisualCoda()
{
    apriCoda(true);
}

void MDIForm1::apriCoda(bool attiva)
{
    riapri(
        QStringLiteral("CodaEventi"),
        [this] {
            auto* coda = new CodaEventi(m_ctx);
            connect(coda, &CodaEventi::apriUtente, this, &MDIForm1::mostraUtente);
            connect(coda, &CodaEventi::tacitato, m_allarme, &Allarme::tacita);
            // Archived or closed by the operator: seen.
            connect(coda, &QObject::destroyed, m_allarme, &Allarme::visto);
            return coda;
        },
        attiva);
}

void MDIForm1::mnuAnagraficaUtenti()
{
    apriAnagrafica();
}

AnagraficaUtenti* MDIForm1::apriAnagrafica()
{
    AnagraficaUtenti* nuova = nullptr;
    riapri(QStringLiteral("AnagraficaUtenti"), [this, &nuova] {
        nuova = new AnagraficaUtenti(m_ctx);
        connect(nuova, &AnagraficaUtenti::apriContatti, this, &MDIForm1::apriContatti);
        connect(nuova, &AnagraficaUtenti::apriRicerca, this, &MDIForm1::apriRicercaCodice);
        connect(nuova, &AnagraficaUtenti::apriCatalogo, this, &MDIForm1::apriCatalogo);
        return nuova;
    });
    if (nuova)
        nuova->avvia();
    return anagraficaUtenti();
}

// A double-click in the queue: the subscriber window shows that unit,
// opening it when it is closed.
void MDIForm1::mostraUtente(const QString& codice)
{
    AnagraficaUtenti* a = anagraficaUtenti();
    if (!a)
        a = apriAnagrafica();
    if (!a)
        return;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(a->parentWidget()))
        m_area->setActiveSubWindow(sub);
    if (a->setCodice(codice))
        a->Carica();
}

void MDIForm1::apriContatti(const QString& codice)
{
    ContattiUtente* nuova = nullptr;
    riapri(QStringLiteral("ContattiUtente"), [this, &nuova, codice] {
        nuova = new ContattiUtente(m_ctx, codice);
        return nuova;
    });
    if (nuova)
        nuova->avvia();
}

void MDIForm1::mnuPeriferiche()
{
    apriCatalogo();
}

void MDIForm1::apriCatalogo(int posizioneProtocollo, int posizioneTipo)
{
    Periferica* nuova = nullptr;
    riapri(QStringLiteral("Periferica"), [this, &nuova] {
        nuova = new Periferica(m_ctx);
        return nuova;
    });
    if (!nuova)
        return;   // the open one refused to close and stays as it was
    nuova->avvia();
    if (posizioneTipo >= 0)
        nuova->mostraTipo(posizioneProtocollo, posizioneTipo);
}

} // namespace sorvela
