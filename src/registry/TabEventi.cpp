#include "registry/TabEventi.h"

#include "events/ModelloEventi.h"
#include "events/RiempiCoda.h"
#include "interrogation/Interrogazione.h"
#include "receiver/Sportello.h"
#include "interrogation/StampaStorico.h"
#include "interrogation/Storico.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "registry/AnagraficaUtenti.h"
#include "registry/Disposizione.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "windows/Elenco.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTableView>

namespace sorvela::registry {

using namespace disposizione;

TabEventi::TabEventi(Contesto& ctx, AnagraficaUtenti& finestra)
    : m_ctx(ctx)
    , m_finestra(finestra)
{
    setObjectName(QStringLiteral("tabEventi"));
    QGroupBox* storico = riquadro(this, QStringLiteral("Archivio storico"), 30, 30, 10950, 4455);
    storico->setObjectName(QStringLiteral("fraStorico"));

    const int y = 270;
    etichetta(storico, QStringLiteral("dal"), 120, y, 330);
    m_dal = campo(storico, "txtFromDate", 450, y, 1380);
    etichetta(storico, QStringLiteral("al"), 1950, y, 270);
    m_al = campo(storico, "txtToDate", 2220, y, 1380);
    for (QLineEdit* e : {m_dal, m_al}) {
        e->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
        e->installEventFilter(this);
    }
    auto* cerca = pulsante(storico, "cmdCerca", QStringLiteral("Cerca"), 3720, y - 30, 1050);
    auto* stampa = pulsante(storico, "cmdStampa", QStringLiteral("Stampa"), 4860, y - 30, 1050);
    auto* interroga = pulsante(storico, "cmdInterroga", QStringLiteral("Interroga adesso"), 8700, y - 30, 2100);

    m_griglia = metti(new QTableView(storico), 120, 690, 10710, 3645);
    m_griglia->setObjectName(QStringLiteral("gridStorico"));
    m_modello = new ModelloEventi(m_griglia);
    m_modello->imposta({ModelloEventi::Riga{}});   // one blank row until a code is read
    m_griglia->setModel(m_modello);
    // The header row carries no headings; the columns speak for themselves.
    m_griglia->horizontalHeader()->hide();
    m_griglia->horizontalHeader()->setStretchLastSection(true);
    // As many rows as the frame holds, none measured: a history of tens of
    // thousands of rows shows at once.
    preparaElenco(m_griglia, twips::inPixel(60));
    m_griglia->viewport()->installEventFilter(this);
    m_griglia->installEventFilter(this);

    // Over the right half of the grid, where the descriptions leave room, so
    // the dates stay readable beside it.
    m_messaggio = metti(new QPlainTextEdit(storico), 5100, 780, 5610, 3450);
    m_messaggio->setObjectName(QStringLiteral("txtMessaggio"));
    m_messaggio->setReadOnly(true);
    m_messaggio->hide();

    connect(cerca, &QPushButton::clicked, this, &TabEventi::cerca);
    connect(stampa, &QPushButton::clicked, this, &TabEventi::Stampa);
    connect(interroga, &QPushButton::clicked, this, &TabEventi::interroga);

    GanciScheda& g = m_finestra.ganci();
    g.ricaricaStorico = [this] { ricarica(); };
    g.Stampa = [this] { Stampa(); };
}

void TabEventi::cerca()
{
    // The search loads the record again, and a loaded record puts the focus
    // in its first field: the keys typed next belong where the operator
    // searched from, not in the subscriber's name.
    const QPointer<QWidget> fuoco = QApplication::focusWidget();
    m_finestra.Carica();
    if (fuoco && isAncestorOf(fuoco) && QApplication::focusWidget() != fuoco)
        fuoco->setFocus(Qt::OtherFocusReason);
}

void TabEventi::ricarica()
{
    const QString codice = m_finestra.codiceCaricato();
    m_codiceMostrato = codice;
    m_id.clear();
    try {
        store::RecordSet rs = ApriStorico(*m_ctx.db, codice, m_dal->text(), m_al->text());
        RiempiStorico(rs, *m_griglia, QFontMetrics(m_finestra.font()), &m_id);
    } catch (const store::ErroreDatabase& e) {
        m_id.clear();
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile leggere lo storico della periferica %1.\n"
                                              "Errore del database: %2")
                                   .arg(codice, e.messaggio()));
    }
    // The message shown stays only while its event is still listed (new
    // events arriving); the text of an event the list no longer has, or of
    // another unit, would pass for one of the rows.
    if (m_idMessaggio == 0 || !m_id.contains(m_idMessaggio)) {
        m_idMessaggio = 0;
        m_messaggio->clear();
        m_messaggio->hide();
    }
}

void TabEventi::mostraMessaggio()
{
    const int riga = m_griglia->currentIndex().row();
    QString testo;
    m_idMessaggio = 0;
    if (riga >= 0 && riga < m_id.size()) {
        try {
            testo = TestoEvento(*m_ctx.db, m_codiceMostrato, m_id.at(riga));
            m_idMessaggio = m_id.at(riga);
        } catch (const store::ErroreDatabase& e) {
            m_ctx.messaggi->avvisa(Icona::Errore,
                                   QStringLiteral("Impossibile leggere il messaggio.\nErrore del database: %1")
                                       .arg(e.messaggio()));
            return;
        }
    }
    m_messaggio->setPlainText(testo);
    m_messaggio->show();
    m_messaggio->raise();
}

void TabEventi::Stampa()
{
    IntestazioneStorico intestazione;
    intestazione.codice = m_finestra.codice();
    if (auto* n = m_finestra.findChild<QLineEdit*>(QStringLiteral("Nominativo")))
        intestazione.nominativo = n->text();
    if (auto* r = m_finestra.findChild<QLineEdit*>(QStringLiteral("RagSociale")))
        intestazione.ragioneSociale = r->text();
    QHash<qint64, QString> archiviazioni;
    try {
        archiviazioni = ArchiviazioniStorico(*m_ctx.db, m_codiceMostrato);
    } catch (const store::ErroreDatabase&) {
        // The history prints all the same, only without who archived what.
    }
    QList<QStringList> righe;
    for (int r = 0; r < m_modello->rowCount(); ++r) {
        QStringList celle;
        bool vuota = true;
        for (int c = 0; c < m_modello->columnCount(); ++c) {
            celle << m_modello->testo(r, c);
            vuota = vuota && celle.last().isEmpty();
        }
        // The blank row an empty history keeps is not an event.
        if (vuota)
            continue;
        if (r < m_id.size() && archiviazioni.contains(m_id.at(r)))
            celle << archiviazioni.value(m_id.at(r));
        righe << celle;
    }
    StampaStorico(m_ctx, intestazione, righe);
}

void TabEventi::interroga()
{
    // The receiver makes the call; its progress shows in the desk's window.
    ricevitore::ChiediInterrogazione(m_ctx, m_finestra.codiceCaricato());
    // The call's event is listed at the next reload; the tab is shown now,
    // whether the call went out or not.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        if (auto* schede = qobject_cast<QTabWidget*>(w)) {
            schede->setCurrentWidget(this);
            break;
        }
    }
}

bool TabEventi::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_griglia->viewport() && e->type() == QEvent::MouseButtonRelease) {
        mostraMessaggio();
    } else if (o == m_griglia && e->type() == QEvent::FocusIn) {
        m_messaggio->hide();
    } else if ((o == m_dal || o == m_al) && e->type() == QEvent::KeyPress) {
        const int tasto = static_cast<QKeyEvent*>(e)->key();
        if (tasto == Qt::Key_Return || tasto == Qt::Key_Enter) {
            cerca();
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

} // namespace sorvela::registry
