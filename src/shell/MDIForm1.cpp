#include "shell/MDIForm1.h"

#include "interrogation/Interrogazione.h"
#include "interrogation/Sorveglianza.h"
#include "modem/Lettura.h"
#include "modem/LineaTelefono.h"

#include "platform/Messaggi.h"
#include "platform/Preferenze.h"
#include "platform/Twips.h"
#include "shell/Allarme.h"
#include "shell/Immagini.h"
#include "shell/InCorso.h"
#include "shell/StrisciaStato.h"
#include "shell/Tick.h"
#include "shell/frmInfo.h"
#include "store/Database.h"
#include "windows/PrimoPiano.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTimer>
#include <QVBoxLayout>

namespace sorvela {

namespace {
const QString kNotificaTelefono = QStringLiteral("telefono");
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

    // The tick: the console's only scheduler.
    m_tick = new Tick(m_ctx, collegamentiFinestraPrincipale(*this), this);
    m_tick->collegamenti().LetturaMessaggi = [this] { letturaMessaggi(); };
    m_tick->collegamenti().ControllaInterrogazioni = [this] { ControllaInterrogazioni(m_ctx); };
    m_tick->collegamenti().InterrogaPeriferiche = [this] { InterrogaPeriferiche(m_ctx); };
    m_tick->collegamenti().ControllaScadenzeSim = [this] { ControllaScadenzeSim(m_ctx); };
    connect(m_timer1, &QTimer::timeout, m_tick, &Tick::passo);
    connect(m_timer1, &QTimer::timeout, this, &MDIForm1::mostraSconosciuti);

    // The handset's state on the strip from the first moment; its loss is an
    // alarm of its own, told once, and its return (or the console's start)
    // may find messages waiting in it, which the next tick fetches.
    m_linea = new modem::LineaTelefono(
        [this](int porta) {
            return m_ctx.preferenze ? m_ctx.preferenze->dispositivoPorta(porta)
                                    : QStringLiteral("/dev/ttyS%1").arg(porta - 1);
        },
        this);
    m_ctx.linea = m_linea;
    connect(m_linea, &modem::LineaTelefono::statoCambiato, this, [this](modem::StatoTelefono stato) {
        m_striscia->mostraTelefono(m_linea->porta(), modem::LineaTelefono::testoStato(stato),
                                   stato != modem::StatoTelefono::Connesso);
    });
    connect(m_linea, &modem::LineaTelefono::persa, this, [this](const QString& motivo) {
        if (m_ctx.messaggi)
            m_ctx.messaggi->notifica(kNotificaTelefono, Icona::Avviso,
                                     motivo + QStringLiteral("\nLa console non può ricevere gli allarmi: "
                                                             "ritenta da sola ogni 10 secondi."));
        m_allarme->suona();
    });
    connect(m_linea, &modem::LineaTelefono::tornata, this, [this] {
        if (m_ctx.messaggi)
            m_ctx.messaggi->ritiraNotifica(kNotificaTelefono);
        m_linea->segnalaMessaggi();
    });

    resize(twips::inPixel(12000), twips::inPixel(8400));
}

MDIForm1::~MDIForm1()
{
    if (m_ctx.linea == m_linea)
        m_ctx.linea = nullptr;
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
    avviaLinea();
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

bool MDIForm1::lavoroInCorso() const
{
    return m_inLettura || m_tick->inCorso() || !m_linea->occupataDa().isEmpty();
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
    // Whatever way out was taken, a cycle or a call that holds the line ends
    // first (at most its own wait): closed under it, the database would turn
    // its last registrations into false failures. Nothing new starts meanwhile.
    if (lavoroInCorso()) {
        m_chiusuraInAttesa = true;
        m_timer1->stop();
        disconnect(m_timer1, nullptr, m_tick, nullptr);
        m_linea->fermaSorveglianza();
        e->ignore();
        QTimer::singleShot(100, this, &QWidget::close);
        return;
    }
    m_timer1->stop();
    chiudiLinea();
    if (m_ctx.db)
        m_ctx.db->chiudi();
    e->accept();
    emit terminata();
}

} // namespace sorvela
