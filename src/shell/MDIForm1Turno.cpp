// The main window's part in who does what: the operator on duty, the
// operators' register, the record of actions and the messages of unknown
// senders.

#include "shell/MDIForm1.h"

#include "events/NonAttribuiti.h"
#include "platform/Messaggi.h"
#include "platform/Operatori.h"
#include "shell/AnagraficaOperatori.h"
#include "shell/SceltaOperatore.h"
#include "shell/StrisciaStato.h"
#include "store/Database.h"
#include "windows/FinestraNonAttribuiti.h"
#include "windows/FinestraRegistro.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace sorvela {

void MDIForm1::chiediOperatore()
{
    bool serve = false;
    try {
        serve = m_ctx.db && ServeOperatore(*m_ctx.db);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->notifica(QStringLiteral("operatore"), Icona::Errore,
                                 QStringLiteral("Impossibile leggere gli operatori: %1").arg(e.messaggio()));
    }
    if (!serve || portaDavanti(QStringLiteral("SceltaOperatore")))
        return;
    auto* s = new SceltaOperatore(m_ctx, false, this);
    s->setAttribute(Qt::WA_DeleteOnClose);
    connect(s, &SceltaOperatore::operatoreCambiato, this, &MDIForm1::mostraOperatore);
    s->open();
}

void MDIForm1::mnuCambiaOperatore()
{
    if (portaDavanti(QStringLiteral("SceltaOperatore")))
        return;
    bool serve = false;
    try {
        serve = ServeOperatore(*m_ctx.db);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile leggere gli operatori: %1").arg(e.messaggio()));
        return;
    }
    if (!serve) {
        m_ctx.messaggi->avvisa(Icona::Informazione,
                               QStringLiteral("Nessun operatore attivo. Gli operatori si aggiungono da Gestione Utenti, "
                                              "Anagrafica Operatori."));
        return;
    }
    auto* s = new SceltaOperatore(m_ctx, true, this);
    s->setAttribute(Qt::WA_DeleteOnClose);
    connect(s, &SceltaOperatore::operatoreCambiato, this, &MDIForm1::mostraOperatore);
    s->open();
}

void MDIForm1::mnuAnagraficaOperatori()
{
    if (portaDavanti(QStringLiteral("AnagraficaOperatori")))
        return;
    auto* f = new AnagraficaOperatori(m_ctx, this);
    f->show();
    f->raise();
}

// Opened at their designed size, within the working area.
static void dimensiona(QMdiSubWindow* sub, const QString& nome, const QSize& area)
{
    if (sub && sub->widget() && sub->widget()->objectName() == nome)
        sub->resize(sub->sizeHint().boundedTo(area));
}

void MDIForm1::mnuRegistro()
{
    dimensiona(riapri(QStringLiteral("RegistroOperazioni"), [this] { return new FinestraRegistro(m_ctx); }),
               QStringLiteral("RegistroOperazioni"), m_area->size());
}

void MDIForm1::mnuNonAttribuiti()
{
    QMdiSubWindow* sub = riapri(QStringLiteral("MessaggiNonAttribuiti"), [this] {
        auto* f = new FinestraNonAttribuiti(m_ctx);
        connect(f, &FinestraNonAttribuiti::apriRicerca, this, &MDIForm1::apriRicercaCodice);
        connect(f, &FinestraNonAttribuiti::cambiati, this, &MDIForm1::mostraSconosciuti);
        return f;
    });
    dimensiona(sub, QStringLiteral("MessaggiNonAttribuiti"), m_area->size());
}

void MDIForm1::mostraOperatore()
{
    m_striscia->mostraOperatore(m_ctx.operatore);
}

void MDIForm1::mostraSconosciuti()
{
    if (!m_ctx.db || !m_ctx.db->aperto())
        return;
    int quanti = 0;
    try {
        quanti = ContaNonAttribuiti(*m_ctx.db);
    } catch (const store::ErroreDatabase&) {
        // The tick tells a database that cannot be read; the strip keeps
        // the last count meanwhile.
        return;
    }
    // A list that is open follows what the handset brings in.
    if (quanti != m_sconosciuti) {
        if (auto* f = qobject_cast<FinestraNonAttribuiti*>(finestra(QStringLiteral("MessaggiNonAttribuiti"))))
            f->aggiorna();
    }
    m_sconosciuti = quanti;
    m_striscia->mostraSconosciuti(quanti);
}

} // namespace sorvela
