#include "registry/AnagraficaUtenti.h"

#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "registry/Disposizione.h"
#include "registry/PannelloUtente.h"
#include "registry/RegoleTasti.h"
#include "registry/TabEventi.h"
#include "registry/TabellaIngressi.h"
#include "registry/TabImpianto.h"
#include "store/Database.h"
#include "windows/Cornice.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace sorvela {

using registry::RegoleTasti;
using registry::SchedaUtente;
using registry::TitoloAnagrafica;
using registry::Utenti;
namespace codici = registry::codici;
using namespace registry::disposizione;

AnagraficaUtenti::AnagraficaUtenti(Contesto& ctx, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_appunti(*ctx.messaggi)
{
    setObjectName(QStringLiteral("AnagraficaUtenti"));
    setWindowTitle(QStringLiteral("Anagrafica Utenti"));
    costruisci();
    collega();
    impostaTabEventi(new registry::TabEventi(m_ctx, *this));
    new registry::TabellaIngressi(m_ctx, *this);
}

AnagraficaUtenti::~AnagraficaUtenti()
{
    // A window closed properly has cleared the flag already, and by the time
    // it is deleted a new one may have set it again.
    if (m_avviata && !m_chiusa)
        m_ctx.aperte.AnagraficaUtenti = false;
}

void AnagraficaUtenti::costruisci()
{
    auto* strato = new QVBoxLayout(this);
    strato->setContentsMargins(0, 0, 0, 0);
    m_cornice = new Cornice(cornici::AnagraficaUtenti, *m_ctx.preferenze, this);
    strato->addWidget(m_cornice);
    QWidget* in = m_cornice->interno();

    m_utente = metti(new registry::PannelloUtente(in), 0, 0, 8580, 2580);
    m_codice = m_utente->codice();

    const int xb = 9240, lb = 1860;
    pulsante(in, "Salva", QStringLiteral("Salva"), xb, 75, lb);
    pulsante(in, "Annulla", QStringLiteral("Annulla"), xb, 495, lb);
    pulsante(in, "Cancella", QStringLiteral("Cancella"), xb, 915, lb);
    pulsante(in, "Duplica", QStringLiteral("Duplica"), xb, 1335, lb);
    pulsante(in, "Incolla", QStringLiteral("Incolla"), xb, 1755, lb);
    pulsante(in, "Esci", QStringLiteral("Esci"), xb, 2175, lb);

    // The unit and its history, on two tabs, tall enough for six inputs.
    m_tab = metti(new QTabWidget(in), 30, 2610, 11100, 5010);
    m_tab->setObjectName(QStringLiteral("SSTab1"));
    m_impianto = new registry::TabImpianto;
    m_tab->addTab(m_impianto, QStringLiteral("Impianto"));
    m_tab->addTab(new QWidget, QStringLiteral("Eventi"));
    m_matricola = m_impianto->matricola();

    m_regole = new RegoleTasti(this);
    for (QLineEdit* e : {m_codice, m_matricola, findChild<QLineEdit*>(QStringLiteral("Cap"))})
        m_regole->applica(e, RegoleTasti::Regola::Cifre);
    for (QLineEdit* e : m_utente->indirizzo()) {
        if (e->objectName() == QLatin1String("Provincia"))
            m_regole->applica(e, RegoleTasti::Regola::Maiuscole);
        else if (e->objectName() != QLatin1String("Cap"))
            m_regole->applica(e, RegoleTasti::Regola::Iniziale);
    }
    m_regole->catena(m_utente->indirizzo());
    // Leaving `Codice` or `Matricola`, and Enter in them, are the window's.
    m_codice->installEventFilter(this);
    m_matricola->installEventFilter(this);

    m_tab->setEnabled(false);
}

void AnagraficaUtenti::collega()
{
    connect(m_codice, &QLineEdit::textEdited, this, &AnagraficaUtenti::codiceModificato);
    connect(m_utente, &registry::PannelloUtente::modificato, this, &AnagraficaUtenti::segnaModificato);
    connect(m_impianto, &registry::TabImpianto::modificato, this, &AnagraficaUtenti::segnaModificato);
    connect(m_impianto, &registry::TabImpianto::scadenzaModificata, this, &AnagraficaUtenti::segnaScadenza);

    auto clic = [this](const char* nome, auto f) {
        connect(findChild<QPushButton*>(QLatin1String(nome)), &QPushButton::clicked, this, f);
    };
    clic("Salva", [this] { Salva(); });
    clic("Annulla", [this] { Annulla(); });
    clic("Cancella", [this] { Cancella(); });
    clic("Duplica", [this] { Duplica(); });
    clic("Incolla", [this] { Incolla(); });
    clic("Esci", [this] { esci(); });
    clic("SSCommand1", [this] {
        if (!m_codice->text().isEmpty())
            emit apriContatti(m_codice->text());
    });
    clic("SSCommand2", [this] { Cerca(); });
    clic("SSCommand3",
         [this] { emit apriCatalogo(m_impianto->posizioneProtocollo(), m_impianto->posizioneTipo()); });
}

void AnagraficaUtenti::avvia()
{
    m_ctx.aperte.AnagraficaUtenti = true;
    // The picker and the catalog are other windows: a button stays disabled
    // while no window answers it, rather than doing nothing when clicked.
    if (!isSignalConnected(QMetaMethod::fromSignal(&AnagraficaUtenti::apriRicerca)))
        findChild<QWidget*>(QStringLiteral("SSCommand2"))->setEnabled(false);
    if (!isSignalConnected(QMetaMethod::fromSignal(&AnagraficaUtenti::apriCatalogo)))
        findChild<QWidget*>(QStringLiteral("SSCommand3"))->setEnabled(false);
    m_cornice->leggiGeometria();
    riempiTipi();
    if (m_ganci.fermaTracciamento)
        m_ganci.fermaTracciamento();
    if (m_ganci.nonInModifica)
        m_ganci.nonInModifica();
    m_appunti.svuota();
    m_tab->setCurrentIndex(0);
    azzeraFlag();
    m_avviata = true;
    m_cornice->finestra()->show();
    m_codice->setFocus();
}

void AnagraficaUtenti::riempiTipi()
{
    QStringList tipi;
    try {
        tipi = Utenti(*m_ctx.db).tipiPeriferica();
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile leggere i tipi di periferica."), e);
        tipi = QStringList{QString()};
    }
    m_impianto->impostaTipi(tipi);
}

QWidget* AnagraficaUtenti::contenitoreIngressi() const
{
    return m_impianto->contenitoreIngressi();
}

void AnagraficaUtenti::impostaTabEventi(QWidget* tab)
{
    QWidget* vecchia = m_tab->widget(1);
    const bool corrente = m_tab->currentIndex() == 1;
    m_tab->removeTab(1);
    delete vecchia;
    m_tab->insertTab(1, tab, QStringLiteral("Eventi"));
    if (corrente)
        m_tab->setCurrentIndex(1);
}

QWidget* AnagraficaUtenti::tabEventi() const
{
    return m_tab->widget(1);
}

QString AnagraficaUtenti::codice() const
{
    return m_codice->text();
}

QString AnagraficaUtenti::tipoPeriferica() const
{
    return m_impianto->tipoPeriferica();
}

int AnagraficaUtenti::posizioneTipo() const
{
    return m_impianto->posizioneTipo();
}

void AnagraficaUtenti::segnaModificato()
{
    m_modificato = true;
}

void AnagraficaUtenti::segnaScadenza()
{
    m_modificato = true;
    m_scadenzaCambiata = true;
}

void AnagraficaUtenti::azzeraFlag()
{
    m_modificato = false;
    m_scadenzaCambiata = false;
}

// --- record <-> controls ---------------------------------------------------

SchedaUtente AnagraficaUtenti::scheda() const
{
    SchedaUtente s;
    m_utente->leggi(s);
    m_impianto->leggi(s);
    return s;
}

void AnagraficaUtenti::mostra(const SchedaUtente& s)
{
    m_utente->mostra(s);
    m_impianto->mostra(s);
    mostraInizi();
}

void AnagraficaUtenti::mostraInizi()
{
    // A text longer than its field is read from its start, not its end.
    for (QLineEdit* e : findChildren<QLineEdit*>())
        if (!e->hasFocus())
            e->setCursorPosition(0);
}

// --- loading ----------------------------------------------------------------

bool AnagraficaUtenti::setCodice(const QString& codice)
{
    if (m_modificato && !m_codice->text().isEmpty() && codice != m_codiceCaricato) {
        const Risposta r = domandaSalvataggio(Pulsanti::SiNoAnnulla);
        if (r == Risposta::Annulla)
            return false;
        if (r == Risposta::Si && !Salva())
            return false;
        azzeraFlag();
    }
    m_codice->setText(codice);
    return true;
}

void AnagraficaUtenti::Carica()
{
    const QString c = m_codice->text();
    // An empty code (a queue row without one) shows nobody, rather than
    // leaving the previous subscriber on screen under no code.
    if (c.isEmpty()) {
        svuota();
        return;
    }
    if (!codici::completo(c))
        return;
    m_tab->setEnabled(true);
    if (m_modificato && c == m_codiceCaricato) {
        if (m_ganci.ricaricaStorico)
            m_ganci.ricaricaStorico();
        return;
    }
    caricaCodice();
}

void AnagraficaUtenti::nuoviEventi()
{
    if (!m_codiceCaricato.isEmpty() && m_ganci.ricaricaStorico)
        m_ganci.ricaricaStorico();
}

void AnagraficaUtenti::caricaCodice()
{
    const QString c = m_codice->text();
    std::optional<SchedaUtente> s;
    try {
        s = Utenti(*m_ctx.db).leggi(c);
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile leggere l'utente ") + c + QLatin1Char('.'), e);
        // The fields still hold the record of the loaded code: the code must
        // say so, or a save would file them under the other one.
        m_codice->setText(m_codiceCaricato);
        return;
    }
    m_codiceCaricato = c;
    if (!s) {
        mostra(Utenti::nuova(c, m_ctx.orologio->oggi()));
        m_matricola->setText(c);
        if (m_ganci.VisualTutto)
            m_ganci.VisualTutto(true);
        if (m_ganci.azzeraIngressi)
            m_ganci.azzeraIngressi();
        // A subscriber not yet stored is a change of its own: closing asks.
        segnaModificato();
    } else {
        mostra(*s);
        if (m_ganci.caricaIngressi)
            m_ganci.caricaIngressi(c);
        if (m_ganci.VisualTutto)
            m_ganci.VisualTutto(false);
        azzeraFlag();
    }
    m_utente->primoCampo()->setFocus();
    if (m_ganci.ricaricaStorico)
        m_ganci.ricaricaStorico();
}

void AnagraficaUtenti::codiceModificato()
{
    if (!m_modificato || m_inDomanda)
        return;
    // Before any code was loaded there is no record the typing belongs to
    // and nothing a Yes could save: asking would put the empty code back at
    // every key, and the operator could never type one.
    if (m_codiceCaricato.isEmpty())
        return;
    m_inDomanda = true;
    const Risposta r = m_ctx.messaggi->chiedi(
        Icona::Domanda, QStringLiteral("Sono state apportate delle modifiche, le si vuole salvare?"),
        Pulsanti::SiNoAnnulla, TitoloAnagrafica);
    // Whatever the answer, the code goes back to the record on screen: the
    // changes belong to it, not to the code being typed.
    m_codice->setText(m_codiceCaricato);
    if (r == Risposta::Si)
        Salva();
    else if (r == Risposta::No)
        azzeraFlag();
    m_inDomanda = false;
}

void AnagraficaUtenti::lasciaCodice()
{
    const QString c = codici::normalizza(m_codice->text());
    if (c != m_codice->text())
        m_codice->setText(c);
    if (!codici::completo(c)) {
        m_tab->setEnabled(false);
        return;
    }
    m_tab->setEnabled(true);
    // Passing through the field must not throw away what was typed in the
    // record it already shows.
    if (c == m_codiceCaricato && m_modificato)
        return;
    caricaCodice();
}

void AnagraficaUtenti::lasciaMatricola()
{
    const QString m = codici::normalizza(m_matricola->text());
    if (m != m_matricola->text())
        m_matricola->setText(m);
    if (m.isEmpty())
        return;
    QString avviso;
    try {
        avviso = Utenti(*m_ctx.db).controllaMatricola(m, m_codice->text());
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile controllare la matricola."), e);
        return;
    }
    if (!avviso.isEmpty())
        m_ctx.messaggi->avvisa(Icona::Avviso, avviso, TitoloAnagrafica);
}

// --- buttons ----------------------------------------------------------------

bool AnagraficaUtenti::Salva()
{
    if (m_ganci.fermaTracciamento)
        m_ganci.fermaTracciamento();
    if (m_ganci.chiudiEditor)
        m_ganci.chiudiEditor();
    const QString c = m_codice->text();
    if (!codici::completo(c))
        return false;
    Utenti utenti(*m_ctx.db, &m_ctx);
    const SchedaUtente s = scheda();
    Utenti::Esito esito;
    const auto ingressi = m_ganci.righeIngressi ? m_ganci.righeIngressi() : std::nullopt;
    try {
        esito = utenti.salva(s, m_scadenzaCambiata, m_ctx.orologio->adesso(), ingressi ? &*ingressi : nullptr);
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile memorizzare l'utente ") + c + QLatin1Char('.'), e);
        return false;
    }
    if (esito == Utenti::Esito::NessunaPeriferica) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile memorizzare, nessuna periferica impostata"),
                               TitoloAnagrafica);
        return false;
    }
    // A new type took its position in the table, which is the next free one
    // there; the list may be behind the table (the catalog adds types too),
    // so it is read again rather than appended to.
    const QString modello = m_impianto->tipoInElenco(s.modello) ? s.modello : s.modello.trimmed();
    if (!m_impianto->tipoInElenco(modello)) {
        riempiTipi();
        m_impianto->impostaModello(modello);
    }
    m_codiceCaricato = c;
    mostraDateMemorizzate();
    azzeraFlag();
    return true;
}

void AnagraficaUtenti::mostraDateMemorizzate()
{
    // A date that was not a date is stored as Null (expiry) or not written
    // (installation): the fields show what the record now holds, not the
    // text that was refused.
    std::optional<SchedaUtente> memorizzata;
    try {
        memorizzata = Utenti(*m_ctx.db).leggi(m_codiceCaricato);
    } catch (const store::ErroreDatabase&) {
        return;   // the save itself went through; the typed text stays
    }
    if (memorizzata)
        m_impianto->mostraDate(*memorizzata);
}

void AnagraficaUtenti::Cancella()
{
    const QString c = m_codice->text();
    if (c.isEmpty())
        return;
    if (m_ctx.messaggi->chiedi(Icona::Domanda, QStringLiteral("Cancellare l'utente ") + c,
                               Pulsanti::SiNoPredefinitoNo, TitoloAnagrafica) != Risposta::Si)
        return;
    try {
        Utenti(*m_ctx.db, &m_ctx).elimina(c);
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile cancellare l'utente ") + c + QLatin1Char('.'), e);
        return;
    }
    svuota();
}

void AnagraficaUtenti::svuota()
{
    m_codice->clear();
    m_codiceCaricato.clear();
    mostra(Utenti::nuova(QString(), m_ctx.orologio->oggi()));
    m_matricola->clear();
    if (m_ganci.VisualTutto)
        m_ganci.VisualTutto(true);
    if (m_ganci.azzeraIngressi)
        m_ganci.azzeraIngressi();
    if (m_ganci.ricaricaStorico)
        m_ganci.ricaricaStorico();
    m_tab->setEnabled(false);
    azzeraFlag();
}

void AnagraficaUtenti::Annulla()
{
    if (m_codice->text().isEmpty())
        return;
    if (m_ganci.fermaTracciamento)
        m_ganci.fermaTracciamento();
    if (codici::completo(m_codice->text()))
        caricaCodice();
}

void AnagraficaUtenti::Duplica()
{
    m_appunti.Duplica(m_codice->text());
}

void AnagraficaUtenti::Incolla()
{
    std::optional<registry::Configurazione> c;
    try {
        c = m_appunti.Incolla(m_codice->text(), *m_ctx.db);
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile leggere l'utente ") + m_appunti.copiato() + QLatin1Char('.'), e);
        return;
    }
    if (!c)
        return;
    m_impianto->mostraConfigurazione(*c);
    mostraInizi();
    if (m_ganci.VisualTutto)
        m_ganci.VisualTutto(false);
}

void AnagraficaUtenti::Cerca()
{
    if (!m_codice->text().isEmpty() && m_modificato) {
        const Risposta r = domandaSalvataggio(Pulsanti::SiNoAnnulla);
        if (r == Risposta::Annulla)
            return;
        if (r == Risposta::Si && !Salva())
            return;
        azzeraFlag();
    }
    m_ctx.tagPicker = QStringLiteral("AnagraficaUtente_Codice");
    emit apriRicerca();
}

void AnagraficaUtenti::Stampa()
{
    if (m_ganci.Stampa)
        m_ganci.Stampa();
}

void AnagraficaUtenti::esci()
{
    m_cornice->finestra()->close();
}

Risposta AnagraficaUtenti::domandaSalvataggio(Pulsanti pulsanti)
{
    m_inDomanda = true;
    const Risposta r = m_ctx.messaggi->chiedi(
        Icona::Domanda, QStringLiteral("Sono state apportate delle modifiche, le si vuole salvare?"), pulsanti,
        TitoloAnagrafica);
    m_inDomanda = false;
    return r;
}

void AnagraficaUtenti::erroreDatabase(const QString& testo, const std::exception& e)
{
    m_ctx.messaggi->avvisa(Icona::Errore, testo + QStringLiteral("\nErrore del database: ") + QString::fromUtf8(e.what()),
                           TitoloAnagrafica);
}

void AnagraficaUtenti::closeEvent(QCloseEvent* e)
{
    if (!m_codice->text().isEmpty() && m_modificato) {
        const Risposta r = domandaSalvataggio(Pulsanti::SiNoAnnulla);
        // A save that did not happen (no type, a database error) keeps the
        // window open with the operator's typing rather than losing it.
        if (r == Risposta::Annulla || (r == Risposta::Si && !Salva())) {
            e->ignore();
            return;
        }
    }
    m_chiusa = true;
    if (m_avviata)
        m_cornice->salvaGeometria();
    m_ctx.aperte.AnagraficaUtenti = false;
    e->accept();
}

// --- keys and focus ----------------------------------------------------------

bool AnagraficaUtenti::eventFilter(QObject* o, QEvent* e)
{
    auto* le = qobject_cast<QLineEdit*>(o);
    if (le != m_codice && le != m_matricola)
        return QWidget::eventFilter(o, e);

    if (e->type() == QEvent::FocusOut) {
        const auto motivo = static_cast<QFocusEvent*>(e)->reason();
        // A message box or a menu taking the focus is not the operator
        // leaving the field.
        if (m_chiusa || m_inDomanda || motivo == Qt::PopupFocusReason || motivo == Qt::ActiveWindowFocusReason)
            return false;
        if (le == m_codice)
            lasciaCodice();
        else
            lasciaMatricola();
        return false;
    }
    if (e->type() != QEvent::KeyPress)
        return false;
    const int tasto = static_cast<QKeyEvent*>(e)->key();
    if (tasto != Qt::Key_Return && tasto != Qt::Key_Enter)
        return false;
    if (le == m_codice) {
        if (!m_codice->text().isEmpty()) {
            m_codice->setText(codici::completaInvio(m_codice->text()));
            m_utente->primoCampo()->setFocus(Qt::TabFocusReason);
        }
    } else {
        m_matricola->setText(codici::completaInvio(m_matricola->text()));
    }
    return true;
}

} // namespace sorvela
