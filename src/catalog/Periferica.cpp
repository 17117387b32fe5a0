#include "catalog/Periferica.h"

#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/Twips.h"
#include "store/Database.h"
#include "windows/Cornice.h"
#include "windows/EditorCella.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <chrono>

namespace sorvela {

using catalog::Catalogo;
using catalog::Ingresso;

namespace {

const QString Titolo = QStringLiteral("Periferiche");
const QString SalvaModifiche = QStringLiteral("Sono state apportate delle modifiche, le si vuole salvare?");
constexpr auto IntervalloSegui = std::chrono::milliseconds(20);
constexpr int AltezzaRiga = 315;
constexpr int LunghezzaCodice = 3;
constexpr int LunghezzaDescrizioneIngresso = 40;
constexpr int LunghezzaDescrizione = 50;
constexpr int LarghezzaPulsantino = 270;

template <class W>
W* metti(W* w, int x, int y, int larghezza, int altezza = 315)
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

QPushButton* pulsante(QWidget* genitore, const char* nome, const QString& testo, int x, int y, int larghezza = 1200)
{
    auto* b = new QPushButton(testo, genitore);
    b->setObjectName(QLatin1String(nome));
    return metti(b, x, y, larghezza, 375);
}

bool invio(const QEvent* e)
{
    if (e->type() != QEvent::KeyPress)
        return false;
    const int k = static_cast<const QKeyEvent*>(e)->key();
    return k == Qt::Key_Return || k == Qt::Key_Enter;
}

} // namespace

Periferica::Periferica(Contesto& ctx, QWidget* parent)
    : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("Periferica"));
    setWindowTitle(Titolo);
    costruisci();
}

Periferica::~Periferica()
{
    // A window closed properly has cleared the flag already, and by the time
    // it is deleted a new one may have set it again.
    if (m_avviata && !m_chiusa)
        m_ctx.aperte.Periferica = false;
}

void Periferica::costruisci()
{
    auto* strato = new QVBoxLayout(this);
    strato->setContentsMargins(0, 0, 0, 0);
    m_cornice = new Cornice(cornici::Periferica, *m_ctx.preferenze, this);
    strato->addWidget(m_cornice);
    QWidget* in = m_cornice->interno();

    etichetta(in, QStringLiteral("Periferica"), 90, 90, 1080);
    m_tipi = metti(new QComboBox(in), 1245, 90, 2220);
    m_tipi->setObjectName(QStringLiteral("Periferiche"));
    etichetta(in, QStringLiteral("Protocollo"), 3570, 90, 990);
    m_protocollo = metti(new QComboBox(in), 4560, 90, 1470);
    m_protocollo->setObjectName(QStringLiteral("Protocollo"));
    m_predefinita = metti(new QCheckBox(QStringLiteral("Predefinita"), in), 6135, 90, 1560);
    m_predefinita->setObjectName(QStringLiteral("Predefinita"));
    etichetta(in, QStringLiteral("Descrizione"), 90, 495, 1140);
    m_descrizione = metti(new QLineEdit(in), 1245, 495, 6420);
    m_descrizione->setObjectName(QStringLiteral("Descrizione"));
    m_descrizione->setMaxLength(LunghezzaDescrizione);
    // A flag, never shown: the window was loaded, or a type was chosen in
    // it, rather than opened by another window on that window's type.
    m_caricamento = new QCheckBox(in);
    m_caricamento->setObjectName(QStringLiteral("Caricamento"));
    m_caricamento->hide();

    m_griglia = metti(new QTableWidget(0, 5, in), 90, 900, 7575, 1440);
    m_griglia->setObjectName(QStringLiteral("Ingressi"));
    m_griglia->setHorizontalHeaderLabels({QStringLiteral("Codice Evento"), QStringLiteral("  Zona"),
                                          QStringLiteral("Descrizione Ingresso"), QStringLiteral("Tipo Evento"),
                                          QStringLiteral("Trattamento")});
    cella::preparaGriglia(m_griglia, twips::inPixel(AltezzaRiga));
    dimensionaColonne();

    QWidget* vista = m_griglia->viewport();
    m_text1 = new QLineEdit(vista);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setAlignment(Qt::AlignCenter);
    m_text1->setMaxLength(LunghezzaCodice);
    m_ssCommand1 = new QPushButton(QStringLiteral("…"), vista);
    m_ssCommand1->setObjectName(QStringLiteral("SSCommand1"));
    // It would open the event codes' own window, which this console does not
    // have: the button is there, but stays disabled rather than doing nothing.
    m_ssCommand1->setEnabled(false);
    m_ssCommand1->setToolTip(QStringLiteral("Codici evento"));
    m_text2 = new QLineEdit(vista);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setMaxLength(LunghezzaDescrizioneIngresso);
    m_combo1 = new QComboBox(vista);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->addItems(catalog::TipiEvento);
    m_combo2 = new QComboBox(vista);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->addItems(catalog::Trattamenti);
    for (QWidget* e : {static_cast<QWidget*>(m_text1), static_cast<QWidget*>(m_ssCommand1),
                       static_cast<QWidget*>(m_text2), static_cast<QWidget*>(m_combo1),
                       static_cast<QWidget*>(m_combo2)}) {
        e->hide();
        e->installEventFilter(this);
    }

    auto* salva = pulsante(in, "Salva", QStringLiteral("Salva"), 3945, 2430);
    auto* annulla = pulsante(in, "Annulla", QStringLiteral("Annulla"), 5175, 2430);
    auto* esci = pulsante(in, "Esci", QStringLiteral("Esci"), 6405, 2430);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(IntervalloSegui);

    connect(m_timer1, &QTimer::timeout, this, &Periferica::segui);
    connect(m_tipi, &QComboBox::currentIndexChanged, this, &Periferica::sceltaTipo);
    connect(m_protocollo, &QComboBox::currentIndexChanged, this, &Periferica::sceltaProtocollo);
    connect(m_predefinita, &QCheckBox::clicked, this, [this] { m_modificato = true; });
    connect(m_griglia, &QTableWidget::cellClicked, this, &Periferica::apriCella);
    connect(m_text1, &QLineEdit::textEdited, this, &Periferica::scriviCella);
    connect(m_text2, &QLineEdit::textEdited, this, &Periferica::scriviCella);
    connect(m_combo1, &QComboBox::activated, this, [this](int i) { scegliVoce(m_combo1, i); });
    connect(m_combo2, &QComboBox::activated, this, [this](int i) { scegliVoce(m_combo2, i); });
    connect(salva, &QPushButton::clicked, this, [this] { Salva(); });
    connect(annulla, &QPushButton::clicked, this, &Periferica::Annulla);
    connect(esci, &QPushButton::clicked, this, [this] { m_cornice->finestra()->close(); });
}

void Periferica::dimensionaColonne()
{
    const QFontMetrics fm(font());
    const int margine = twips::inPixel(60);
    m_griglia->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("Codice Evento")) + margine);
    m_griglia->setColumnWidth(1, fm.horizontalAdvance(QStringLiteral("Zona 88")) + margine);
    m_griglia->setColumnWidth(3, fm.horizontalAdvance(QStringLiteral("Tipo Evento")) + twips::inPixel(300));
    m_griglia->setColumnWidth(4, fm.horizontalAdvance(QStringLiteral("Trattamento")) + margine);
    // The description is as wide as ten letters 4.4 times over, unless the
    // font is so wide that the five columns would not fit the grid: then it
    // takes what the others leave, so no column hides behind a scroll bar.
    const int altre = m_griglia->columnWidth(0) + m_griglia->columnWidth(1) + m_griglia->columnWidth(3) +
                      m_griglia->columnWidth(4);
    const int spazio = m_griglia->width() - 2 * m_griglia->frameWidth() -
                       m_griglia->verticalScrollBar()->sizeHint().width() - altre;
    const int progettata = qRound(fm.horizontalAdvance(QStringLiteral("abcdefghij")) * 4.4);
    m_griglia->setColumnWidth(2, std::max(fm.horizontalAdvance(QStringLiteral("Descrizione Ingresso")) + margine,
                                          std::min(progettata, spazio)));
}

void Periferica::avvia()
{
    m_ctx.aperte.Periferica = true;
    m_avviata = true;
    m_cornice->leggiGeometria();

    catalog::Elenco tipi{{QStringLiteral("Nessuna")}, {}};
    catalog::Elenco protocolli{{QStringLiteral("Nessuno")}, {}};
    std::optional<catalog::TipoPeriferica> predefinita;
    try {
        Catalogo c(*m_ctx.db);
        tipi = c.tipi(QStringLiteral("Nessuna"));
        protocolli = c.protocolli(QStringLiteral("Nessuno"));
        predefinita = c.predefinita();
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile leggere il catalogo delle periferiche."), e);
    }
    {
        const QSignalBlocker b1(m_tipi);
        const QSignalBlocker b2(m_protocollo);
        m_tipi->clear();
        m_tipi->addItems(tipi.voci);
        m_protocollo->clear();
        m_protocollo->addItems(protocolli.voci);
        m_tipi->setCurrentIndex(0);
        m_protocollo->setCurrentIndex(0);
    }
    // The default type by its place in the list: a marked row that the list
    // could not place is no default the operator can see.
    if (predefinita && predefinita->id < m_tipi->count() && m_tipi->itemText(predefinita->id) == predefinita->nome) {
        m_predefinitaNome = predefinita->nome;
        m_predefinitaId = predefinita->id;
    }
    chiudiEditor();
    m_timer1->stop();
    m_colonna = -1;
    m_caricamento->setChecked(true);
    m_cornice->finestra()->show();
    avvisaDanni(tipi.danni + protocolli.danni);
    if (m_predefinitaId > 0) {
        m_tipi->setCurrentIndex(m_predefinitaId);
    } else {
        abilita(false);
    }
    m_modificato = false;
}

void Periferica::mostraTipo(int posizioneProtocollo, int posizioneTipo)
{
    // Placing the window is not the operator's change: neither choosing the
    // type nor closing asks about it, only about what he edits from here on.
    if (posizioneProtocollo >= 0 && posizioneProtocollo < m_protocollo->count())
        m_protocollo->setCurrentIndex(posizioneProtocollo);
    m_modificato = false;
    if (posizioneTipo >= 0 && posizioneTipo < m_tipi->count())
        m_tipi->setCurrentIndex(posizioneTipo);
    m_caricamento->setChecked(false);
    m_modificato = false;
}

void Periferica::abilita(bool si)
{
    for (QWidget* w : {static_cast<QWidget*>(m_protocollo), static_cast<QWidget*>(m_descrizione),
                       static_cast<QWidget*>(m_predefinita), static_cast<QWidget*>(m_griglia)})
        w->setEnabled(si);
}

void Periferica::sceltaTipo(int posizione)
{
    if (m_inScelta)
        return;
    // The placeholder (or a position no type fills) is no choice: the list
    // goes back to the type on screen, which stays as it is, changes and all.
    if (posizione <= 0 || m_tipi->itemText(posizione).isEmpty()) {
        const QSignalBlocker b(m_tipi);
        m_tipi->setCurrentIndex(m_posTipo);
        return;
    }
    if (m_modificato && m_mostrato) {
        m_inScelta = true;
        const Risposta r = m_ctx.messaggi->chiedi(Icona::Domanda, SalvaModifiche, Pulsanti::SiNo, Titolo);
        m_inScelta = false;
        // The changes belong to the type still on screen. When they cannot be
        // stored, that type stays, with them, rather than losing them.
        if (r == Risposta::Si && !Salva()) {
            const QSignalBlocker b(m_tipi);
            m_tipi->setCurrentIndex(m_posTipo);
            return;
        }
    }
    m_posTipo = posizione;
    abilita(true);
    m_caricamento->setChecked(true);
    mostra(posizione);
}

void Periferica::sceltaProtocollo(int posizione)
{
    if (posizione <= 0 || m_protocollo->itemText(posizione).isEmpty()) {
        const QSignalBlocker b(m_protocollo);
        m_protocollo->setCurrentIndex(std::clamp(m_posProtocollo, 0, m_protocollo->count() - 1));
        return;
    }
    m_posProtocollo = posizione;
    m_modificato = true;
}

void Periferica::mostra(int posizione)
{
    chiudiEditor();
    m_timer1->stop();
    m_colonna = -1;
    std::optional<catalog::TipoPeriferica> t;
    catalog::ElencoIngressi ingressi;
    try {
        Catalogo c(*m_ctx.db);
        t = c.tipo(posizione);
        if (t)
            ingressi = c.ingressi(t->tabella);
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile leggere il tipo di periferica ") + m_tipi->itemText(posizione) +
                           QLatin1Char('.'),
                       e);
        t.reset();
        ingressi = {};
    }
    m_mostrato = t;
    m_righe = ingressi.righe;
    m_predefinita->setChecked(!m_predefinitaNome.isEmpty() && m_tipi->itemText(posizione) == m_predefinitaNome);

    const QString descrizione = t ? t->descrizione : QString();
    m_descrizione->setMaxLength(std::max(LunghezzaDescrizione, int(descrizione.size())));
    m_descrizione->setText(descrizione);
    m_descrizione->setCursorPosition(0);
    // The type's own protocol, "Nessuno" included: the list shows what is
    // stored. A protocol the list has no place for keeps its number, which
    // a save writes back unchanged unless the operator chooses another.
    m_posProtocollo = t ? t->protocollo : 0;
    {
        const QSignalBlocker b(m_protocollo);
        const bool inElenco = m_posProtocollo > 0 && m_posProtocollo < m_protocollo->count();
        m_protocollo->setCurrentIndex(inElenco ? m_posProtocollo : 0);
    }

    m_griglia->clearContents();
    m_griglia->setRowCount(int(m_righe.size()));
    for (int r = 0; r < m_righe.size(); ++r) {
        const Ingresso& i = m_righe[r];
        const QString celle[5] = {i.codiceEvento, i.zona, i.desEvento, i.tipoEvento, i.trattamento};
        for (int c = 0; c < 5; ++c) {
            auto* cella = new QTableWidgetItem(celle[c]);
            if (c != 2)
                cella->setTextAlignment(Qt::AlignCenter);
            m_griglia->setItem(r, c, cella);
        }
    }
    m_griglia->scrollToTop();
    m_modificato = false;
    if (!t)
        return;
    QStringList danni = ingressi.danni;
    if (m_posProtocollo != 0 && m_protocollo->currentIndex() != m_posProtocollo)
        danni << QStringLiteral("Il tipo \"%1\" indica il protocollo %2, che non è in elenco.")
                     .arg(t->nome)
                     .arg(m_posProtocollo);
    avvisaDanni(danni);
}

bool Periferica::Salva()
{
    if (!m_mostrato)
        return true;   // the placeholder: there is nothing to store
    catalog::TipoPeriferica t = *m_mostrato;
    t.descrizione = m_descrizione->text();
    t.protocollo = m_posProtocollo;
    t.predefinita = m_predefinita->isChecked();
    QList<Ingresso> righe = m_righe;
    for (int r = 0; r < righe.size() && r < m_griglia->rowCount(); ++r) {
        auto cella = [&](int c) {
            const QTableWidgetItem* i = m_griglia->item(r, c);
            return i ? i->text() : QString();
        };
        righe[r].codiceEvento = cella(0);
        righe[r].zona = cella(1);
        righe[r].desEvento = cella(2);
        righe[r].tipoEvento = cella(3);
        righe[r].trattamento = cella(4);
    }
    bool salvato = false;
    try {
        salvato = Catalogo(*m_ctx.db, &m_ctx).salva(t, righe);
    } catch (const store::ErroreDatabase& e) {
        erroreDatabase(QStringLiteral("Impossibile memorizzare il tipo di periferica ") + t.nome + QLatin1Char('.'), e);
        return false;
    }
    if (!salvato) {
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile memorizzare, il tipo di periferica ") + t.nome +
                                   QStringLiteral(" non esiste più."),
                               Titolo);
        return false;
    }
    if (t.predefinita) {
        m_predefinitaNome = t.nome;
        m_predefinitaId = t.id;
    } else if (m_predefinitaNome == t.nome) {
        // No longer the default: choosing it again must not tick the box.
        m_predefinitaNome.clear();
        m_predefinitaId = 0;
    }
    m_mostrato = t;
    m_righe = righe;
    m_modificato = false;
    return true;
}

void Periferica::Annulla()
{
    m_modificato = false;
    if (m_posTipo > 0)
        mostra(m_posTipo);
}

QWidget* Periferica::editor(int colonna) const
{
    switch (colonna) {
    case 0: return m_text1;
    case 2: return m_text2;
    case 3: return m_combo1;
    case 4: return m_combo2;
    default: return nullptr;
    }
}

void Periferica::chiudiEditor()
{
    if (QWidget* e = editor(m_colonna))
        e->hide();
    m_ssCommand1->hide();
}

void Periferica::apriCella(int riga, int colonna)
{
    chiudiEditor();
    m_riga = riga;
    m_colonna = colonna;
    QTableWidgetItem* cella = m_griglia->item(riga, colonna);
    const QString testo = cella ? cella->text() : QString();
    switch (colonna) {
    case 0:
    case 2: {
        QLineEdit* e = colonna == 0 ? m_text1 : m_text2;
        const int limite = colonna == 0 ? LunghezzaCodice : LunghezzaDescrizioneIngresso;
        // A stored text longer than the editor's limit is edited whole: the
        // editor writes back into the cell, and a cut would be saved.
        e->setMaxLength(std::max(limite, int(testo.size())));
        sorvela::cella::riempiEditor(e, testo);
        break;
    }
    case 3:
    case 4: {
        QComboBox* l = colonna == 3 ? m_combo1 : m_combo2;
        const int voce = colonna == 3 ? catalog::riconosciTipoEvento(testo) : catalog::riconosciTrattamento(testo);
        if (voce >= 0) {
            const QSignalBlocker b(l);
            l->setCurrentIndex(voce);
            scegliVoce(l, voce);
        }
        break;
    }
    default:
        break;   // the zone is shown, never edited
    }
    segui();
    if (QWidget* e = editor(colonna))
        e->setFocus(Qt::MouseFocusReason);
    m_timer1->start();
}

void Periferica::segui()
{
    if (QWidget* e = editor(m_colonna))
        cella::posaEditor(m_griglia, m_riga, m_colonna, e, m_colonna == 0 ? m_ssCommand1 : nullptr,
                          twips::inPixel(LarghezzaPulsantino));
}

void Periferica::scriviCella(const QString& testo)
{
    // Only the description is left-aligned.
    if (cella::scriviCella(m_griglia, m_riga, m_colonna, testo, m_colonna != 2))
        m_modificato = true;
}

void Periferica::scegliVoce(QComboBox* lista, int voce)
{
    if (voce >= 0)
        scriviCella(lista->itemText(voce));
}

bool Periferica::eventFilter(QObject* o, QEvent* e)
{
    if (invio(e) && (o == m_text1 || o == m_text2 || o == m_combo1 || o == m_combo2)) {
        // Enter walks along the input's own row, skipping the zone.
        static constexpr int Prossima[5] = {2, 2, 3, 4, 0};
        apriCella(m_riga, Prossima[std::clamp(m_colonna, 0, 4)]);
        return true;
    }
    if (o == m_text2 && e->type() == QEvent::KeyPress) {
        // The description starts with a capital.
        const auto* k = static_cast<QKeyEvent*>(e);
        const QString t = k->text();
        const bool inizio = m_text2->text().isEmpty() || m_text2->selectedText() == m_text2->text();
        if (inizio && !t.isEmpty() && t[0].isPrint() && t.toUpper() != t) {
            m_text2->insert(t.toUpper());
            scriviCella(m_text2->text());
            return true;
        }
    }
    return QWidget::eventFilter(o, e);
}

void Periferica::avvisaDanni(const QStringList& danni)
{
    if (danni.isEmpty())
        return;
    m_ctx.messaggi->avvisa(Icona::Avviso,
                           QStringLiteral("Il catalogo delle periferiche è danneggiato:\n") +
                               danni.join(QLatin1Char('\n')) +
                               QStringLiteral("\nLe righe in regola si possono consultare e modificare."),
                           Titolo);
}

void Periferica::erroreDatabase(const QString& testo, const std::exception& e)
{
    m_ctx.messaggi->avvisa(Icona::Errore, testo + QStringLiteral("\nErrore del database: ") + QString::fromUtf8(e.what()),
                           Titolo);
}

void Periferica::closeEvent(QCloseEvent* e)
{
    // Changes are asked about however the window was opened: an edit made in
    // a window opened from the subscriber's type is as much the operator's.
    if (m_modificato) {
        const Risposta r = m_ctx.messaggi->chiedi(Icona::Domanda, SalvaModifiche, Pulsanti::SiNoAnnulla, Titolo);
        if (r == Risposta::Annulla || (r == Risposta::Si && !Salva())) {
            e->ignore();
            return;
        }
    }
    m_timer1->stop();
    m_chiusa = true;
    if (m_avviata)
        m_cornice->salvaGeometria();
    m_ctx.aperte.Periferica = false;
    e->accept();
}

} // namespace sorvela
