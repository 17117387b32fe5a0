#include "shell/Compatta.h"

#include "platform/Messaggi.h"
#include "receiver/Sportello.h"
#include "platform/RegistroOperazioni.h"
#include "store/Database.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QTimer>
#include <QLabel>
#include <QPushButton>

namespace sorvela {

Compatta::Compatta(Contesto& ctx, QWidget* principale)
    : FinestraAttesa(principale, QStringLiteral("Compattazione"), 360, true)
    , m_ctx(ctx)
    , m_run(new store::Compattazione(ctx.cartellaDati, ctx.db, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Compatta database"));
    m_titolo->setText(QStringLiteral("Compattazione in corso…"));

    connect(m_annulla, &QPushButton::clicked, this, [this] {
        m_annulla->setEnabled(false);
        m_passo->setText(QStringLiteral("Annullamento…"));
        if (m_sonda && m_sonda->isActive())
            concludi(store::EsitoCompattazione{store::EsitoCompattazione::Stato::Annullata, {}, {}, {}}, true);
        else
            m_run->annulla();
    });
    connect(m_run, &store::Compattazione::passo, this, &Compatta::mostraPasso);
    connect(m_run, &store::Compattazione::finita, this,
            [this](const store::EsitoCompattazione& e) { concludi(e, true); });
    if (principale)
        principale->installEventFilter(this);
}

QString Compatta::testoPasso(store::Compattazione::Passo p)
{
    using P = store::Compattazione::Passo;
    switch (p) {
    case P::Copia:
        return QStringLiteral("Copia compattata del database");
    case P::CopiaBloccata:
        return QStringLiteral("Nuova copia: le registrazioni attendono la fine");
    case P::Verifica:
        return QStringLiteral("Controllo della copia");
    case P::Scambio:
        return QStringLiteral("Sostituzione del file del database");
    case P::Riordino:
        return QStringLiteral("VACUUM (ANALYZE) delle tabelle sul server");
    }
    return {};
}

void Compatta::avvia()
{
    m_passo->setText(testoPasso(store::Compattazione::Passo::Copia));
    if (parentWidget())
        centra();
    show();
    raise();
    // A server's tables are put in order where they are: no file is swapped,
    // and the receiver goes on receiving meanwhile.
    if (m_ctx.suServer()) {
        m_passo->setText(testoPasso(store::Compattazione::Passo::Riordino));
        m_run->avvia();
        return;
    }
    // The receiver's connection must be closed while the file is swapped:
    // it is asked to stand aside, and the run starts once it has (or at
    // once when no receiver is running).
    QFile segno(ricevitore::FileCompattazione(m_ctx.cartellaDati));
    if (!segno.open(QIODevice::WriteOnly)) {
        store::EsitoCompattazione e;
        e.dettaglio = QStringLiteral("Impossibile avvisare il ricevitore (%1): %2").arg(segno.fileName(), segno.errorString());
        concludi(e, true);
        return;
    }
    segno.write(m_ctx.operatore.toUtf8());
    segno.close();
    m_passo->setText(QStringLiteral("Attesa del ricevitore"));
    m_attesaRicevitore.start();
    m_sonda = new QTimer(this);
    m_sonda->setInterval(200);
    connect(m_sonda, &QTimer::timeout, this, &Compatta::attendiRicevitore);
    m_sonda->start();
    attendiRicevitore();
}

void Compatta::attendiRicevitore()
{
    bool pronto = false;
    try {
        const ricevitore::Stato s = ricevitore::LeggiStato(*m_ctx.db);
        pronto = !s.attivo(QDateTime::currentDateTimeUtc()) || s.attivita == ricevitore::TestoSospeso;
    } catch (const store::ErroreDatabase&) {
        // A busy file: asked again at the next look.
    }
    if (!pronto && m_attesaRicevitore.elapsed() < AttesaRicevitoreMs)
        return;
    m_sonda->stop();
    if (!pronto) {
        store::EsitoCompattazione e;
        e.dettaglio = QStringLiteral("Il ricevitore non ha sospeso la ricezione: il database non è stato toccato.");
        concludi(e, true);
        return;
    }
    m_passo->setText(testoPasso(store::Compattazione::Passo::Copia));
    m_run->avvia();
}

void Compatta::mostraPasso(store::Compattazione::Passo p)
{
    m_passo->setText(testoPasso(p));
    if (p == store::Compattazione::Passo::Scambio) {
        // The file is being replaced: too late to cancel. The desk's
        // connection is closed for these few milliseconds and the tick,
        // which would only find it closed, waits.
        m_annulla->hide();
        m_tickFermo.emplace(m_ctx);
    }
}

// The main window is closing: the run ends before it goes on.
bool Compatta::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::Close && o == parentWidget() && m_run->inCorso())
        concludi(m_run->concludi(), false);
    else if (e->type() == QEvent::Close && o == parentWidget() && m_sonda && m_sonda->isActive())
        concludi(store::EsitoCompattazione{store::EsitoCompattazione::Stato::Annullata, {}, {}, {}}, false);
    return QWidget::eventFilter(o, e);
}

void Compatta::concludi(const store::EsitoCompattazione& esito, bool avvisa)
{
    if (m_sonda)
        m_sonda->stop();
    // The receiver takes its connection back.
    QFile::remove(ricevitore::FileCompattazione(m_ctx.cartellaDati));
    m_tickFermo.reset();
    hide();
    emit finita(esito);
    if (!esito.erroreRiapertura.isEmpty()) {
        const QString come = esito.riuscita() ? QStringLiteral("Database compattato.")
                                              : QStringLiteral("Compattazione fallita.\n%1").arg(esito.dettaglio);
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("%1\nImpossibile riaprire il database %2: %3\nLa console verrà chiusa.")
                                   .arg(come, m_ctx.percorsoDatabase(), esito.erroreRiapertura));
        m_ctx.db = nullptr;
        QApplication::exit(2);
        close();
        return;
    }
    using S = store::EsitoCompattazione::Stato;
    // The files are already swapped, so the compaction cannot share a
    // transaction with its record: the row goes into the database as it is
    // now, and says how it went.
    if (esito.stato != S::Annullata) {
        try {
            RegistraOperazione(m_ctx, azione::Compattazione,
                               m_ctx.suServer() ? m_ctx.db->descrizione() : QStringLiteral("Sorvela.db"),
                               esito.riuscita() ? QStringLiteral("riuscita")
                                                : QStringLiteral("fallita: ") + esito.dettaglio);
        } catch (const store::ErroreDatabase& e) {
            m_ctx.messaggi->avvisa(Icona::Avviso,
                                   QStringLiteral("Impossibile registrare la compattazione: %1").arg(e.messaggio()));
        }
    }
    if (avvisa) {
        if (esito.riuscita() && !esito.riepilogo.isEmpty())
            m_ctx.messaggi->avvisa(Icona::Informazione, QStringLiteral("Database compattato: %1.").arg(esito.riepilogo));
        else if (esito.riuscita())
            m_ctx.messaggi->avvisa(Icona::Informazione, QStringLiteral("Database compattato"));
        else if (esito.stato == S::Annullata)
            m_ctx.messaggi->avvisa(Icona::Informazione, QStringLiteral("Compattazione annullata."));
        else
            m_ctx.messaggi->avvisa(Icona::Avviso,
                                   QStringLiteral("Compattazione fallita.\n%1\nIl database è stato riaperto senza "
                                                  "modifiche.")
                                       .arg(esito.dettaglio));
    }
    close();
}

} // namespace sorvela
