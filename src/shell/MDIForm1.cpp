#include "shell/MDIForm1.h"

#include "interrogation/Interrogazione.h"
#include "interrogation/Sorveglianza.h"
#include "events/frmStato.h"
#include "receiver/Ricevitore.h"
#include "receiver/Sportello.h"

#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "platform/Twips.h"
#include "shell/Allarme.h"
#include "shell/Immagini.h"
#include "shell/Impostazioni.h"
#include "shell/InCorso.h"
#include "shell/StrisciaStato.h"
#include "shell/Tick.h"
#include "shell/frmInfo.h"
#include "store/Annunci.h"
#include "store/Database.h"
#include "windows/PrimoPiano.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace sorvela {

namespace {
const QString kNotificaRicevitore = QStringLiteral("ricevitore");
constexpr qint64 kSilenzioMs = std::chrono::milliseconds(ricevitore::SilenzioMassimo).count();
} // namespace

MDIForm1::MDIForm1(Contesto& ctx, QWidget* genitore)
    : QMainWindow(genitore)
    , m_ctx(ctx)
{
    setObjectName(QStringLiteral("MDIForm1"));
    setWindowTitle(QStringLiteral("Sorvela"));
    setWindowIcon(immagini::icona(64));

    auto* centro = new QWidget(this);
    auto* v = new QVBoxLayout(centro);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_area = new QMdiArea(centro);
    m_area->setObjectName(QStringLiteral("AreaMDI"));
    m_area->setBackground(QColor(0x80, 0x80, 0x80));
    v->addWidget(m_area, 1);
    new PrimoPiano(m_area);
    m_striscia = new StrisciaStato(centro);
    v->addWidget(m_striscia);
    setCentralWidget(centro);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer3 = new QTimer(this);
    m_timer3->setObjectName(QStringLiteral("Timer3"));
    m_timer3->setInterval(10000);
    connect(m_timer3, &QTimer::timeout, this, &QWidget::close);
    m_ctx.Timer1 = m_timer1;

    m_allarme = new Allarme(this);
    // Without sound the count panel flashes until the operator brings the
    // queue forward; the queue the tick opens by itself is not seen yet.
    m_allarme->setSegnale(m_striscia->pannello(1));
    connect(m_area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* s) {
        if (s && s->widget() && s->widget()->objectName() == QLatin1String("CodaEventi") && !m_apreDaSola)
            m_allarme->visto();
    });
    m_inCorso = new InCorso(m_ctx, this);
    m_ctx.InCorso = m_inCorso;

    creaMenu();

    // The tick: the desk's one-second step. The receiver's state is read
    // with it, and at once when the receiver in this program says so.
    m_tick = new Tick(m_ctx, collegamentiFinestraPrincipale(*this), this);
    connect(m_timer1, &QTimer::timeout, m_tick, &Tick::passo);
    connect(m_timer1, &QTimer::timeout, this, &MDIForm1::mostraSconosciuti);
    connect(m_timer1, &QTimer::timeout, this, &MDIForm1::aggiornaRicevitore);
    connect(m_inCorso, &InCorso::annullato, this, [this] {
        // The wait in progress is the receiver's: it is asked to stop it.
        try {
            if (m_ctx.db)
                ricevitore::Richiedi(*m_ctx.db, ricevitore::RichiestaAnnulla, {}, m_ctx.operatore, m_attivitaDi);
        } catch (const store::ErroreDatabase& e) {
            m_ctx.messaggi->notifica(kNotificaRicevitore, Icona::Errore,
                                     QStringLiteral("Impossibile annullare l'attesa: %1").arg(e.messaggio()));
        }
    });

    resize(twips::inPixel(12000), twips::inPixel(8400));
}

MDIForm1::~MDIForm1()
{
    if (m_filo) {
        // Not closed through "Esci" (a test, a crash of the start-up): the
        // receiver is cut where it stands; what it committed is kept.
        m_filo->quit();
        m_filo->wait();
        delete m_filo;
    }
    if (m_ctx.InCorso == m_inCorso)
        m_ctx.InCorso = nullptr;
    if (m_ctx.Timer1 == m_timer1)
        m_ctx.Timer1 = nullptr;
}

void MDIForm1::creaMenu()
{
    auto azione = [this](QMenu* menu, const char* nome, const QString& testo, bool visibile = true,
                         bool abilitata = true) {
        QAction* a = menu->addAction(testo);
        a->setObjectName(QString::fromLatin1(nome));
        a->setVisible(visibile);
        a->setEnabled(abilitata);
        return a;
    };
    auto separatore = [](QMenu* menu, const char* nome, bool visibile = true) {
        QAction* a = menu->addSeparator();
        a->setObjectName(QString::fromLatin1(nome));
        a->setVisible(visibile);
        return a;
    };

    QMenuBar* barra = menuBar();

    QMenu* eventi = barra->addMenu(QStringLiteral("Gestione &Eventi"));
    eventi->setObjectName(QStringLiteral("mnuCodaEventi"));
    connect(azione(eventi, "mnuVisualCoda", QStringLiteral("Visualizza eventi nuovi")), &QAction::triggered,
            this, &MDIForm1::mnuVisualCoda);
    connect(azione(eventi, "mnuCaricaMessaggi", QStringLiteral("Carica messaggi")), &QAction::triggered, this,
            &MDIForm1::mnuCaricaMessaggi);
    connect(azione(eventi, "mnuNonAttribuiti", QStringLiteral("Messaggi non attribuiti")), &QAction::triggered,
            this, &MDIForm1::mnuNonAttribuiti);
    connect(azione(eventi, "mnuRegistro", QStringLiteral("Registro operazioni")), &QAction::triggered, this,
            &MDIForm1::mnuRegistro);
    separatore(eventi, "LineTurno");
    connect(azione(eventi, "mnuCambiaOperatore", QStringLiteral("Cambia operatore")), &QAction::triggered, this,
            &MDIForm1::mnuCambiaOperatore);
    separatore(eventi, "Line3");
    connect(azione(eventi, "mnuFine", QStringLiteral("Esci")), &QAction::triggered, this, &QWidget::close);

    QMenu* utenti = barra->addMenu(QStringLiteral("Gestione &Utenti"));
    utenti->setObjectName(QStringLiteral("mnuGestioneCentrale"));
    connect(azione(utenti, "mnuAnagraficaUtenti", QStringLiteral("Informazioni Utenti")), &QAction::triggered,
            this, &MDIForm1::mnuAnagraficaUtenti);
    connect(azione(utenti, "mnuStorico", QStringLiteral("Archivio Storico")), &QAction::triggered, this,
            &MDIForm1::mnuStorico);
    // The items below exist but are never shown to the operator.
    separatore(utenti, "Line1", false);
    connect(azione(utenti, "mnuPeriferiche", QStringLiteral("Periferiche"), false, false), &QAction::triggered,
            this, &MDIForm1::mnuPeriferiche);
    connect(azione(utenti, "mnuAnagraficaOperatori", QStringLiteral("Anagrafica Operatori")), &QAction::triggered,
            this, &MDIForm1::mnuAnagraficaOperatori);
    azione(utenti, "mnuContatti", QStringLiteral("Contatti Generali"), false);
    azione(utenti, "mnuProcedure", QStringLiteral("Modelli Procedure"), false);
    separatore(utenti, "Line2", false);
    azione(utenti, "mnuUtilizzo", QStringLiteral("Funzionamento"), false);
    azione(utenti, "mnuCambioTurno", QStringLiteral("&Inizio Turno"), false);

    QMenu* fase = barra->addMenu(QStringLiteral("PopProcedure"));
    fase->setObjectName(QStringLiteral("mnuFase"));
    fase->menuAction()->setObjectName(QStringLiteral("mnuFase"));
    fase->menuAction()->setVisible(false);
    azione(fase, "mnuInserisci", QStringLiteral("Inserisci Fase"));
    separatore(fase, "Line4");
    azione(fase, "mnucancella", QStringLiteral("Cancella Fase"));

    QMenu* database = barra->addMenu(QStringLiteral("&Database"));
    database->setObjectName(QStringLiteral("mnuDatabase"));
    connect(azione(database, "mnuCompatta", QStringLiteral("Compatta database")), &QAction::triggered, this,
            &MDIForm1::mnuCompatta);
    connect(azione(database, "mnuCancEventi", QStringLiteral("Ripulisci")), &QAction::triggered, this,
            &MDIForm1::mnuCancEventi);

    QMenu* impostazioni = barra->addMenu(QStringLiteral("&Impostazioni"));
    impostazioni->setObjectName(QStringLiteral("mnuImpostazioni"));
    connect(azione(impostazioni, "mnuComPort", QStringLiteral("Configurazione")), &QAction::triggered, this,
            &MDIForm1::mnuComPort);

    QAction* info = barra->addAction(QStringLiteral("Informazioni"));
    info->setObjectName(QStringLiteral("mnuInformazioni"));
    connect(info, &QAction::triggered, this, &MDIForm1::mnuInformazioni);
}

void MDIForm1::Monitor()
{
    m_striscia->Monitor(twips::larghezzaSchermo());
}

void MDIForm1::avvia()
{
    Monitor();
    m_timer1->setInterval(1000);
    m_allarme->prepara(m_ctx.cartellaDati);
    LeggiImpostazioni(m_ctx);
    m_striscia->mostraTelefono(m_ctx.NumeroPorta, QString(), false);
    m_dallAvvio.start();
    // What the receiver tells from now on is this desk's to show.
    try {
        if (m_ctx.db)
            m_ultimoAvviso = ricevitore::UltimoAvviso(*m_ctx.db);
    } catch (const store::ErroreDatabase&) {
        // The first look takes the mark instead.
    }
    avviaRicevitore();
    ascoltaServer();
    m_timer1->start();
    mostraOperatore();
    mostraSconosciuti();
    // Once the window is up: the question waits for the operator, the tick
    // and the handset do not.
    QTimer::singleShot(0, this, &MDIForm1::chiediOperatore);
}

QWidget* MDIForm1::finestra(const QString& nome) const
{
    for (QMdiSubWindow* s : m_area->subWindowList()) {
        if (s->widget() && s->widget()->objectName() == nome)
            return s->widget();
    }
    return nullptr;
}

QMdiSubWindow* MDIForm1::riapri(const QString& nome, const std::function<QWidget*()>& crea, bool attiva)
{
    // The window the operator opens this one from, before a window replaced
    // below lets the area activate another.
    QMdiSubWindow* apritrice = attiva ? m_area->activeSubWindow() : nullptr;
    if (QWidget* aperta = finestra(nome)) {
        QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(aperta->parentWidget());
        if (sub && !sub->close())
            return sub;
        // Replaced: the keyboard goes to its successor, not back.
        PrimoPiano::dimenticaApritrice(sub);
        // Deleted later: it must not be found again in the meantime.
        aperta->setObjectName(QString());
    }
    QWidget* w = crea();
    w->setAttribute(Qt::WA_DeleteOnClose);
    QMdiSubWindow* sub = m_area->addSubWindow(w);
    sub->setWindowIcon(windowIcon());
    if (!attiva) {
        // The area activates a sub-window it shows, and activation moves the
        // focus into it: the operator's window gets both back at once, before
        // any key can land in the wrong place.
        QPointer<QMdiSubWindow> primaAttiva = m_area->activeSubWindow();
        QPointer<QWidget> fuoco = QApplication::focusWidget();
        // A text field loses its selection with the focus: it goes back too,
        // or the next key would add to a text the operator meant to replace.
        QPointer<QLineEdit> campo = qobject_cast<QLineEdit*>(fuoco.data());
        const int inizio = campo ? campo->selectionStart() : -1;
        const int lunghezza = campo ? int(campo->selectedText().size()) : 0;
        const int cursore = campo ? campo->cursorPosition() : 0;
        m_apreDaSola = true;
        w->show();
        sub->show();
        m_apreDaSola = false;
        if (primaAttiva && primaAttiva != sub) {
            m_area->setActiveSubWindow(primaAttiva);
            if (fuoco)
                fuoco->setFocus(Qt::OtherFocusReason);
            if (campo && inizio >= 0)
                campo->setSelection(cursore == inizio ? inizio + lunghezza : inizio,
                                    cursore == inizio ? -lunghezza : lunghezza);
            else if (campo)
                campo->setCursorPosition(cursore);
        }
        return sub;
    }
    w->show();
    sub->show();
    PrimoPiano::ricordaApritrice(sub, apritrice);
    return sub;
}

bool MDIForm1::portaDavanti(const QString& nome)
{
    for (QWidget* w : findChildren<QWidget*>(nome, Qt::FindDirectChildrenOnly)) {
        if (w->isVisible() && w->isWindow()) {
            w->raise();
            w->activateWindow();
            return true;
        }
    }
    return false;
}

void MDIForm1::mnuInformazioni()
{
    if (portaDavanti(QStringLiteral("frmInfo")))
        return;
    auto* f = new frmInfo(this);
    f->show();
    f->raise();
}

void MDIForm1::closeEvent(QCloseEvent* e)
{
    // The main window never refuses by itself: it shows the hourglass and
    // arms the retry, then lets each child window decide.
    setCursor(Qt::WaitCursor);
    if (!m_chiusuraInAttesa) {
        m_timer3->start();
        m_area->closeAllSubWindows();
        if (!m_area->subWindowList().isEmpty()) {
            e->ignore();
            return;
        }
        m_timer3->stop();
    }
    // Whatever way out was taken, the receiver in this program stops first,
    // once the exchange in progress has ended (at most its own wait): closed
    // under it, the handset would keep messages already committed.
    if (!m_ricevitoreFermo || m_tick->inCorso()) {
        m_chiusuraInAttesa = true;
        m_timer1->stop();
        if (m_ricevitore && !m_arrestoChiesto) {
            m_arrestoChiesto = true;
            QMetaObject::invokeMethod(m_ricevitore, &ricevitore::Ricevitore::ferma, Qt::QueuedConnection);
        }
        e->ignore();
        QTimer::singleShot(100, this, &QWidget::close);
        return;
    }
    m_timer1->stop();
    if (m_filo) {
        m_filo->quit();
        m_filo->wait();
        delete m_filo;
        m_filo = nullptr;
        m_ricevitore = nullptr;
    }
    if (m_ctx.db)
        m_ctx.db->chiudi();
    e->accept();
    emit terminata();
}

void MDIForm1::ascoltaServer()
{
    if (!m_ctx.suServer() || m_annunci)
        return;
    m_annunci = new store::Annunci(m_ctx.urlDatabase, this);
    connect(m_annunci, &store::Annunci::annuncio, this, &MDIForm1::annunciato);
    connect(m_annunci, &store::Annunci::ascolto, this, [this](bool inAscolto) {
        m_striscia->mostraScollegato(inAscolto ? QString() : m_annunci->motivo());
        if (!inAscolto)
            return;
        // Back (or listening for the first time): what was announced while
        // nobody listened is read now, not at the next second.
        m_tick->aggiornaCoda();
        mostraSconosciuti();
        aggiornaRicevitore();
    });
}

void MDIForm1::annunciato(const QString& tabella)
{
    if (tabella == QLatin1String("ArchivioEventi")) {
        m_tick->aggiornaCoda();
    } else if (tabella == QLatin1String("MessaggiNonAttribuiti")) {
        mostraSconosciuti();
    } else if (tabella == QLatin1String("AvvisiRicevitore")) {
        aggiornaRicevitore();
    }
}

void MDIForm1::avviaRicevitore()
{
    const QString modo = m_ctx.preferenze ? m_ctx.preferenze->leggi(QStringLiteral("Ricevitore"), QStringLiteral("Modo"))
                                          : QString();
    if (modo.trimmed().compare(QStringLiteral("esterno"), Qt::CaseInsensitive) == 0)
        return;
    ricevitore::Configurazione conf;
    conf.cartellaDati = m_ctx.cartellaDati;
    conf.urlDatabase = m_ctx.urlDatabase;
    conf.fileImpostazioni = m_ctx.preferenze ? m_ctx.preferenze->percorso() : QString();
    conf.orologio = m_ctx.orologio;
    conf.programma = QStringLiteral("sorvela");
    m_filo = new QThread;
    m_filo->setObjectName(QStringLiteral("Ricevitore"));
    m_ricevitore = new ricevitore::Ricevitore(conf);
    m_ricevitore->moveToThread(m_filo);
    connect(m_filo, &QThread::finished, m_ricevitore, &QObject::deleteLater);
    connect(m_ricevitore, &ricevitore::Ricevitore::cambiato, this, &MDIForm1::aggiornaRicevitore,
            Qt::QueuedConnection);
    connect(m_ricevitore, &ricevitore::Ricevitore::fermato, this, [this] { m_ricevitoreFermo = true; },
            Qt::QueuedConnection);
    m_ricevitoreFermo = false;
    m_filo->start();
    QPointer<MDIForm1> io(this);
    ricevitore::Ricevitore* r = m_ricevitore;
    QMetaObject::invokeMethod(
        r,
        [r, io] {
            const QString motivo = r->avvia();
            if (!motivo.isEmpty() && io)
                QMetaObject::invokeMethod(io, [io, motivo] { if (io) io->ricevitoreRifiutato(motivo); },
                                          Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void MDIForm1::ricevitoreRifiutato(const QString& motivo)
{
    // This desk still works as a desk: the receiver that holds the database
    // receives, and its state is what the strip shows.
    m_ricevitoreFermo = true;
    m_ricevitore = nullptr;
    if (m_filo) {
        m_filo->quit();
        m_filo->wait();
        delete m_filo;
        m_filo = nullptr;
    }
    m_ctx.messaggi->notifica(kNotificaRicevitore + QStringLiteral(" avvio"), Icona::Avviso,
                             motivo + QStringLiteral("\nQuesta postazione mostra gli allarmi ricevuti dall'altro."));
}

void MDIForm1::aggiornaRicevitore()
{
    if (!m_ctx.db || !m_ctx.db->aperto())
        return;
    QList<ricevitore::Stato> stati;
    QList<ricevitore::Avviso> avvisi;
    QList<std::pair<qint64, ricevitore::Esito>> esiti;
    try {
        stati = ricevitore::LeggiStati(*m_ctx.db);
        // What was told before this desk started is not told again.
        if (m_ultimoAvviso < 0)
            m_ultimoAvviso = ricevitore::UltimoAvviso(*m_ctx.db);
        avvisi = ricevitore::AvvisiDopo(*m_ctx.db, m_ultimoAvviso);
        for (const qint64 id : std::as_const(m_letture))
            esiti.append({id, ricevitore::EsitoRichiesta(*m_ctx.db, id)});
    } catch (const store::ErroreDatabase&) {
        return; // the tick tells the database's failure; the next second tries again
    }

    const QDateTime adesso = QDateTime::currentDateTimeUtc();
    // The one heard from last speaks for a centre of one receiver; of
    // several, the first busy one shows its activity.
    ricevitore::Stato stato = ricevitore::PiuRecente(stati);
    for (const ricevitore::Stato& s : std::as_const(stati)) {
        if (s.attivo(adesso) && !s.attivita.isEmpty()) {
            stato = s;
            break;
        }
    }
    const ricevitore::Quadro quadro = ricevitore::DescriviRicevitori(stati, adesso);
    const bool attivo = quadro.attivi > 0;
    // A receiver that stopped beating is silent now; one never heard of may
    // still be starting (the thread of this desk), and is given the same time.
    const bool daDire = !attivo && (stato.presente || (m_dallAvvio.isValid() && m_dallAvvio.elapsed() > kSilenzioMs));
    const int porta = stato.porta > 0 ? stato.porta : m_ctx.NumeroPorta;
    if (stati.size() > 1)
        m_striscia->mostraRicevitori(quadro.conteggio, quadro.guida, quadro.dettaglio, quadro.guasto);
    else if (attivo)
        m_striscia->mostraTelefono(porta, stato.telefono, stato.telefono != QLatin1String("connesso"));
    else if (daDire)
        m_striscia->mostraTelefono(porta, ricevitore::TestoNonAttivo, true);
    if (daDire && !m_ricevitoreMuto) {
        // A deaf centre is itself an alarm: told once, with the sound.
        m_ricevitoreMuto = true;
        m_ctx.messaggi->notifica(kNotificaRicevitore, Icona::Errore,
                                 ricevitore::TestoNonAttivo
                                     + QStringLiteral(": nessuno riceve gli allarmi del telefono.\n"
                                                      "Avviare il ricevitore (sorvela-ricevitore) o questa console "
                                                      "senza [Ricevitore] Modo=esterno."));
        m_allarme->suona();
    } else if (attivo && m_ricevitoreMuto) {
        m_ricevitoreMuto = false;
        m_ctx.messaggi->ritiraNotifica(kNotificaRicevitore);
    }

    const QString attivita = stato.attivo(adesso) ? stato.attivita : QString();
    m_attivitaDi = attivita.isEmpty() ? QString() : stato.nome;
    if (attivita != m_attivitaMostrata) {
        m_attivitaMostrata = attivita;
        if (attivita.isEmpty())
            m_inCorso->chiudi();
        else
            m_inCorso->mostra(attivita);
    }

    for (const ricevitore::Avviso& a : std::as_const(avvisi)) {
        m_ultimoAvviso = a.id;
        if (a.tipo == ricevitore::TipoRapporto)
            MostraStato(m_ctx, a.codice, a.mittente, a.testo);
        else if (a.testo.isEmpty())
            m_ctx.messaggi->ritiraNotifica(a.tipo);
        else
            m_ctx.messaggi->notifica(a.tipo, static_cast<Icona>(a.icona), a.testo);
        if (a.allarme)
            m_allarme->suona();
    }
    for (const auto& [id, esito] : std::as_const(esiti)) {
        if (!esito.servita)
            continue;
        m_letture.removeAll(id);
        if (!esito.testo.isEmpty())
            mostraEsitoLettura(esito.testo);
    }
}

} // namespace sorvela
