#include "registry/AnagraficaUtenti.h"

#include <QMetaMethod>

#include "core/DateItaliane.h"
#include "core/Numeri.h"
#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Twips.h"
#include "store/Database.h"
#include "windows/Cornice.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace sorvela {

using registry::SchedaUtente;
using registry::TitoloAnagrafica;
using registry::Utenti;
namespace codici = registry::codici;

namespace {

// Designed places are in twips; one row of fields is 21 pixels at 96 DPI,
// rows are 24 apart.
constexpr int Riga = 315;
constexpr int Passo = 360;

template <class W>
W* metti(W* w, int x, int y, int larghezza, int altezza = Riga)
{
    w->setGeometry(twips::inPixel(x), twips::inPixel(y), twips::inPixel(larghezza), twips::inPixel(altezza));
    return w;
}

QLabel* etichetta(QWidget* genitore, const QString& testo, int x, int y, int larghezza)
{
    auto* l = new QLabel(testo, genitore);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return metti(l, x, y, larghezza);
}

QLineEdit* campo(QWidget* genitore, const char* nome, int x, int y, int larghezza)
{
    auto* e = new QLineEdit(genitore);
    e->setObjectName(QString::fromUtf8(nome));
    return metti(e, x, y, larghezza);
}

QGroupBox* riquadro(QWidget* genitore, const QString& titolo, int x, int y, int larghezza, int altezza)
{
    auto* g = new QGroupBox(titolo, genitore);
    return metti(g, x, y, larghezza, altezza);
}

QPushButton* pulsante(QWidget* genitore, const char* nome, const QString& testo, int x, int y, int larghezza)
{
    auto* b = new QPushButton(testo, genitore);
    b->setObjectName(QLatin1String(nome));
    return metti(b, x, y, larghezza, 375);
}

void grassetto(QWidget* w, bool si)
{
    QFont f = w->font();
    f.setBold(si);
    w->setFont(f);
}

void colore(QWidget* w, const QColor& c)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    w->setPalette(p);
}

bool tastoInvio(const QKeyEvent* k)
{
    return k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
}

} // namespace

AnagraficaUtenti::AnagraficaUtenti(Contesto& ctx, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_appunti(*ctx.messaggi)
{
    setObjectName(QStringLiteral("AnagraficaUtenti"));
    setWindowTitle(QStringLiteral("Anagrafica Utenti"));
    costruisci();
    collega();
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

    // Subscriber data, above the tabs.
    QGroupBox* dati = riquadro(in, QStringLiteral("Dati Utente"), 30, 30, 6840, 2520);
    const int xl = 120, lc = 1200, xc = 1350, lungo = 5370;
    int y = 300;
    etichetta(dati, QStringLiteral("Codice"), xl, y, lc);
    m_codice = campo(dati, "Codice", xc, y, 990);
    m_codice->setMaxLength(6);
    auto* cerca = pulsante(dati, "SSCommand2", QStringLiteral("…"), 2400, y - 30, 420);
    cerca->setToolTip(QStringLiteral("Ricerca utente"));
    pulsante(dati, "SSCommand1", QStringLiteral("Contatti"), 5490, y - 30, 1230);
    y += Passo;
    m_lblRagSociale = etichetta(dati, QStringLiteral("Rag. sociale"), xl, y, lc);
    m_lblRagSociale->setObjectName(QStringLiteral("lblRagSociale"));
    m_ragSociale = campo(dati, "RagSociale", xc, y, lungo);
    y += Passo;
    etichetta(dati, QStringLiteral("Nominativo"), xl, y, lc);
    m_nominativo = campo(dati, "Nominativo", xc, y, lungo);
    y += Passo;
    etichetta(dati, QStringLiteral("Indirizzo"), xl, y, lc);
    m_indirizzo = campo(dati, "Indirizzo", xc, y, lungo);
    y += Passo;
    etichetta(dati, QStringLiteral("Città"), xl, y, lc);
    m_citta = campo(dati, "Città", xc, y, 2580);
    etichetta(dati, QStringLiteral("Provincia"), 4020, y, 900);
    m_provincia = campo(dati, "Provincia", 4920, y, 480);
    etichetta(dati, QStringLiteral("CAP"), 5475, y, 450);
    m_cap = campo(dati, "Cap", 5925, y, 795);
    y += Passo;
    etichetta(dati, QStringLiteral("Note"), xl, y, lc);
    m_note = campo(dati, "Note", xc, y, lungo);

    QGroupBox* mon = riquadro(in, QStringLiteral("Monitoraggio"), 6930, 30, 1620, 1230);
    m_attivo = metti(new QRadioButton(QStringLiteral("Attivo"), mon), 150, 300, 1500, 330);
    m_attivo->setObjectName(QStringLiteral("Monitoraggio_0"));
    m_nonAttivo = metti(new QRadioButton(QStringLiteral("Non Attivo"), mon), 150, 690, 1500, 330);
    m_nonAttivo->setObjectName(QStringLiteral("Monitoraggio_1"));
    m_monitoraggio = new QButtonGroup(this);
    m_monitoraggio->setObjectName(QStringLiteral("Monitoraggio"));
    m_monitoraggio->addButton(m_attivo, 0);
    m_monitoraggio->addButton(m_nonAttivo, 1);

    QGroupBox* ute = riquadro(in, QStringLiteral("Tipo Utenza"), 6930, 1320, 1620, 1230);
    m_azienda = metti(new QRadioButton(QStringLiteral("Azienda"), ute), 150, 300, 1500, 330);
    m_azienda->setObjectName(QStringLiteral("Utenza1_0"));
    m_privato = metti(new QRadioButton(QStringLiteral("Privato"), ute), 150, 690, 1500, 330);
    m_privato->setObjectName(QStringLiteral("Utenza1_1"));
    m_utenza = new QButtonGroup(this);
    m_utenza->setObjectName(QStringLiteral("Utenza1"));
    m_utenza->addButton(m_azienda, 0);
    m_utenza->addButton(m_privato, 1);

    const int xb = 8640, lb = 1860;
    pulsante(in, "Salva", QStringLiteral("Salva"), xb, 75, lb);
    pulsante(in, "Annulla", QStringLiteral("Annulla"), xb, 495, lb);
    pulsante(in, "Cancella", QStringLiteral("Cancella"), xb, 915, lb);
    pulsante(in, "Duplica", QStringLiteral("Duplica"), xb, 1335, lb);
    pulsante(in, "Incolla", QStringLiteral("Incolla"), xb, 1755, lb);
    pulsante(in, "Esci", QStringLiteral("Esci"), xb, 2175, lb);

    // The unit and its history, on two tabs.
    m_tab = metti(new QTabWidget(in), 30, 2610, 10500, 3570);
    m_tab->setObjectName(QStringLiteral("SSTab1"));
    auto* impianto = new QWidget;
    m_tab->addTab(impianto, QStringLiteral("Impianto"));
    auto* eventi = new QWidget;
    m_tab->addTab(eventi, QStringLiteral("Eventi"));

    QGroupBox* linee = riquadro(impianto, QStringLiteral("Linee telefoniche"), 30, 30, 3570, 1845);
    y = 300;
    etichetta(linee, QStringLiteral("Telefono GSM fonia"), 90, y, 1800);
    m_gsmFonia = campo(linee, "GSMFonia", 1890, y, 1605);
    y += Passo;
    etichetta(linee, QStringLiteral("Telefono GSM dati"), 90, y, 1800);
    m_gsmDati = campo(linee, "GSMDati", 1890, y, 1605);
    y += Passo;
    etichetta(linee, QStringLiteral("Linea PSTN"), 90, y, 1800);
    m_pstn = campo(linee, "PSTN", 1890, y, 1605);
    y += Passo;
    etichetta(linee, QStringLiteral("Scadenza carta"), 90, y, 1800);
    m_scadenza = campo(linee, "Scadenza", 1890, y, 1200);

    QGroupBox* per = riquadro(impianto, QStringLiteral("Dati periferica"), 3645, 30, 3465, 1845);
    y = 300;
    etichetta(per, QStringLiteral("Periferica"), 90, y, 1290);
    m_periferiche = metti(new QComboBox(per), 1380, y, 1650);
    m_periferiche->setObjectName(QStringLiteral("Periferiche"));
    m_periferiche->setEditable(true);
    // A typed name stays a typed name until it is saved as a new type.
    m_periferiche->setInsertPolicy(QComboBox::NoInsert);
    auto* tipo = pulsante(per, "SSCommand3", QStringLiteral("…"), 3045, y - 30, 345);
    tipo->setToolTip(QStringLiteral("Tipi di periferica"));
    y += Passo;
    etichetta(per, QStringLiteral("Protocollo"), 90, y, 1290);
    m_protocollo = metti(new QComboBox(per), 1380, y, 1650);
    m_protocollo->setObjectName(QStringLiteral("Protocollo"));
    m_protocollo->addItem(QStringLiteral(" "));
    y += Passo;
    etichetta(per, QStringLiteral("Test Periodico"), 90, y, 1290);
    m_sopravvivenza = campo(per, "Sopravvivenza", 1380, y, 720);
    m_passoPeriodo = metti(new QScrollBar(Qt::Vertical, per), 2115, y, 240);
    m_passoPeriodo->setObjectName(QStringLiteral("VScroll2"));
    m_passoPeriodo->setRange(-1, 1);
    m_passoPeriodo->setValue(0);
    etichetta(per, QStringLiteral("Ore "), 2415, y, 600);
    y += Passo;
    etichetta(per, QStringLiteral("Matricola"), 90, y, 1290);
    m_matricola = campo(per, "Matricola", 1380, y, 990);
    m_matricola->setMaxLength(6);

    QGroupBox* ins = riquadro(impianto, QStringLiteral("Dati di installazione"), 7155, 30, 3225, 1845);
    y = 300;
    etichetta(ins, QStringLiteral("Data installazione"), 90, y, 1710);
    m_installata = campo(ins, "Installata", 1800, y, 1365);
    y += Passo;
    etichetta(ins, QStringLiteral("Installatore"), 90, y, 1710);
    m_installatore = campo(ins, "Installatore", 1800, y, 1365);
    y += Passo;
    etichetta(ins, QStringLiteral("Telefono"), 90, y, 1710);
    m_telInstallatore = campo(ins, "TelInstallatore", 1800, y, 1365);

    // Places of the inputs table and of the history.
    m_ingressi = riquadro(impianto, QStringLiteral("Dati Periferica"), 30, 1905, 10350, 1140);
    m_ingressi->setObjectName(QStringLiteral("fraIngressi"));
    m_storico = riquadro(eventi, QStringLiteral("Archivio storico"), 30, 30, 10350, 3015);
    m_storico->setObjectName(QStringLiteral("fraStorico"));

    // The operator moves along the address with Enter, and the tabs follow
    // the same order.
    const QList<QWidget*> ordine{m_codice, m_ragSociale, m_nominativo, m_indirizzo, m_citta, m_provincia,
                                 m_cap, m_note};
    for (int i = 1; i < ordine.size(); ++i)
        setTabOrder(ordine[i - 1], ordine[i]);

    for (QLineEdit* e : findChildren<QLineEdit*>())
        e->installEventFilter(this);

    m_tab->setEnabled(false);
    scegliUtenza(true);
    scegliMonitoraggio(true);
}

void AnagraficaUtenti::collega()
{
    connect(m_codice, &QLineEdit::textEdited, this, &AnagraficaUtenti::codiceModificato);
    for (QLineEdit* e : findChildren<QLineEdit*>()) {
        if (e == m_codice || e->parent() == m_periferiche)
            continue;
        if (e == m_scadenza)
            connect(e, &QLineEdit::textChanged, this, &AnagraficaUtenti::segnaScadenza);
        else
            connect(e, &QLineEdit::textChanged, this, &AnagraficaUtenti::segnaModificato);
    }
    connect(m_utenza, &QButtonGroup::idToggled, this, [this](int id, bool acceso) {
        if (acceso) {
            scegliUtenza(id == 0);
            segnaModificato();
        }
    });
    connect(m_monitoraggio, &QButtonGroup::idToggled, this, [this](int id, bool acceso) {
        if (acceso) {
            scegliMonitoraggio(id == 0);
            segnaModificato();
        }
    });
    // The blank entry means "no type": choosing it is not a change.
    connect(m_periferiche, &QComboBox::editTextChanged, this, [this](const QString& t) {
        if (!t.trimmed().isEmpty())
            segnaModificato();
    });
    connect(m_protocollo, &QComboBox::activated, this, [this](int) {
        m_protocollo->setCurrentIndex(0);
        segnaModificato();
    });
    connect(m_passoPeriodo, &QScrollBar::valueChanged, this, &AnagraficaUtenti::passoPeriodo);

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
    clic("SSCommand3", [this] { emit apriCatalogo(m_protocollo->currentIndex(), posizioneTipo()); });
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
    const QString attuale = m_periferiche->currentText();
    const QSignalBlocker blocco(m_periferiche);
    m_periferiche->clear();
    m_periferiche->addItems(tipi);
    m_periferiche->setEditText(attuale);
}

QWidget* AnagraficaUtenti::contenitoreIngressi() const
{
    return m_ingressi;
}

QWidget* AnagraficaUtenti::contenitoreStorico() const
{
    return m_storico;
}

QString AnagraficaUtenti::codice() const
{
    return m_codice->text();
}

QString AnagraficaUtenti::tipoPeriferica() const
{
    return m_periferiche->currentText();
}

int AnagraficaUtenti::posizioneTipo() const
{
    const int i = m_periferiche->findText(m_periferiche->currentText(), Qt::MatchExactly);
    return i < 0 ? 0 : i;
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
    s.codice = m_codice->text();
    s.monitoraggio = m_attivo->isChecked();
    s.azienda = m_azienda->isChecked();
    s.ragioneSociale = m_ragSociale->text();
    s.nome = m_nominativo->text();
    s.indirizzo = m_indirizzo->text();
    s.citta = m_citta->text();
    s.provincia = m_provincia->text();
    s.cap = m_cap->text();
    s.note = m_note->text();
    s.modello = m_periferiche->currentText();
    s.periodo = m_sopravvivenza->text();
    s.pstn = m_pstn->text();
    s.gsmFonia = m_gsmFonia->text();
    s.gsmDati = m_gsmDati->text();
    s.installazione = m_installata->text();
    s.installatore = m_installatore->text();
    s.telInstallatore = m_telInstallatore->text();
    s.scadenza = m_scadenza->text();
    return s;
}

void AnagraficaUtenti::mostra(const SchedaUtente& s)
{
    (s.azienda ? m_azienda : m_privato)->setChecked(true);
    scegliUtenza(s.azienda);
    (s.monitoraggio ? m_attivo : m_nonAttivo)->setChecked(true);
    scegliMonitoraggio(s.monitoraggio);
    m_ragSociale->setText(s.ragioneSociale);
    m_nominativo->setText(s.nome);
    m_indirizzo->setText(s.indirizzo);
    m_citta->setText(s.citta);
    m_provincia->setText(s.provincia);
    m_cap->setText(s.cap);
    m_note->setText(s.note);
    impostaModello(s.modello);
    m_sopravvivenza->setText(s.periodo);
    m_protocollo->setCurrentIndex(0);
    m_pstn->setText(s.pstn);
    m_gsmFonia->setText(s.gsmFonia);
    m_gsmDati->setText(s.gsmDati);
    m_scadenza->setText(s.scadenza);
    m_installata->setText(s.installazione);
    m_installatore->setText(s.installatore);
    m_telInstallatore->setText(s.telInstallatore);
    mostraInizi();
}

void AnagraficaUtenti::mostraInizi()
{
    // A text longer than its field is read from its start, not its end.
    for (QLineEdit* e : findChildren<QLineEdit*>())
        if (!e->hasFocus())
            e->setCursorPosition(0);
}

void AnagraficaUtenti::impostaModello(const QString& modello)
{
    const int i = m_periferiche->findText(modello, Qt::MatchExactly);
    if (i >= 0)
        m_periferiche->setCurrentIndex(i);
    m_periferiche->setEditText(modello);
}

void AnagraficaUtenti::scegliUtenza(bool azienda)
{
    grassetto(m_azienda, azienda);
    grassetto(m_privato, !azienda);
    m_lblRagSociale->setEnabled(azienda);
    m_ragSociale->setEnabled(azienda);
    if (!azienda)
        m_ragSociale->clear();
}

void AnagraficaUtenti::scegliMonitoraggio(bool attivo)
{
    const QColor testo = palette().color(QPalette::ButtonText);
    grassetto(m_attivo, attivo);
    grassetto(m_nonAttivo, !attivo);
    colore(m_attivo, attivo ? QColor(0, 128, 0) : testo);
    colore(m_nonAttivo, attivo ? testo : QColor(255, 0, 0));
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
        if (m_ganci.VisualTutto)
            m_ganci.VisualTutto(false);
        azzeraFlag();
    }
    (m_ragSociale->isEnabled() ? m_ragSociale : m_nominativo)->setFocus();
    if (m_ganci.ricaricaStorico)
        m_ganci.ricaricaStorico();
}

void AnagraficaUtenti::codiceModificato()
{
    if (!m_modificato || m_inDomanda)
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

void AnagraficaUtenti::passoPeriodo(int valore)
{
    if (valore == 0)
        return;
    // The bar's upper arrow lowers its value: up means one hour more.
    const double somma = ValoreNumerico(m_sopravvivenza->text()) - valore;
    if (somma >= 0)
        m_sopravvivenza->setText(QString::number(somma));
    const QSignalBlocker blocco(m_passoPeriodo);
    m_passoPeriodo->setValue(0);
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
    Utenti utenti(*m_ctx.db);
    const SchedaUtente s = scheda();
    Utenti::Esito esito;
    try {
        esito = utenti.salva(s, m_scadenzaCambiata, m_ctx.orologio->adesso());
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
    const QString modello = s.modello.trimmed();
    if (m_periferiche->findText(modello, Qt::MatchExactly) < 0) {
        riempiTipi();
        impostaModello(modello);
    }
    m_codiceCaricato = c;
    azzeraFlag();
    return true;
}

void AnagraficaUtenti::Cancella()
{
    const QString c = m_codice->text();
    if (c.isEmpty())
        return;
    if (m_ctx.messaggi->chiedi(Icona::Domanda, QStringLiteral("Cancellare l'utente ") + c, Pulsanti::SiNo,
                               TitoloAnagrafica) != Risposta::Si)
        return;
    try {
        Utenti(*m_ctx.db).elimina(c);
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile cancellare l'utente ") + c + QLatin1Char('.'), e);
        return;
    }
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
    impostaModello(c->modello);
    m_sopravvivenza->setText(c->periodo);
    m_installatore->setText(c->installatore);
    m_telInstallatore->setText(c->telInstallatore);
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
    if (!le)
        return QWidget::eventFilter(o, e);

    if (e->type() == QEvent::FocusOut) {
        const auto motivo = static_cast<QFocusEvent*>(e)->reason();
        // A message box or a menu taking the focus is not the operator
        // leaving the field.
        if (m_chiusa || m_inDomanda || motivo == Qt::PopupFocusReason || motivo == Qt::ActiveWindowFocusReason)
            return false;
        if (le == m_codice)
            lasciaCodice();
        else if (le == m_matricola)
            lasciaMatricola();
        return false;
    }
    if (e->type() != QEvent::KeyPress)
        return false;

    auto* k = static_cast<QKeyEvent*>(e);
    if (tastoInvio(k)) {
        if (le == m_codice) {
            if (!m_codice->text().isEmpty()) {
                m_codice->setText(codici::completaInvio(m_codice->text()));
                (m_ragSociale->isEnabled() ? m_ragSociale : m_nominativo)->setFocus(Qt::TabFocusReason);
            }
            return true;
        }
        if (le == m_matricola) {
            m_matricola->setText(codici::completaInvio(m_matricola->text()));
            return true;
        }
        const QList<QLineEdit*> via{m_ragSociale, m_nominativo, m_indirizzo, m_citta, m_provincia, m_cap, m_note};
        const qsizetype i = via.indexOf(le);
        if (i >= 0 && i + 1 < via.size()) {
            via[i + 1]->setFocus(Qt::TabFocusReason);
            return true;
        }
        return false;
    }

    const QString t = k->text();
    if (t.isEmpty() || !t[0].isPrint())
        return false;   // control keys and shortcuts pass
    if (le == m_codice || le == m_matricola || le == m_cap)
        return !codici::soloCifre(t);
    // Typing over the whole text starts the field afresh, as into an empty one.
    const bool inizio = le->text().isEmpty() || le->selectedText() == le->text();
    if (le == m_provincia || (inizio && (le == m_ragSociale || le == m_nominativo || le == m_indirizzo ||
                                         le == m_citta || le == m_note))) {
        const QString maiuscolo = t.toUpper();
        if (maiuscolo != t) {
            le->insert(maiuscolo);
            return true;
        }
    }
    return false;
}

} // namespace sorvela
