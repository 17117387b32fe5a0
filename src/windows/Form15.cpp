#include "windows/Form15.h"

#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "store/Database.h"
#include "windows/Elenco.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace sorvela {

namespace {

const QColor BluScuro(0, 0, 192);
const QColor GialloChiaro(255, 255, 192);

} // namespace

Form15::Form15(Contesto& ctx, QWidget* genitore)
    : QWidget(genitore)
    , m_ctx(ctx)
{
    setObjectName(QStringLiteral("Form15"));
    setWindowTitle(QStringLiteral("Ricerca codice"));

    auto* v = new QVBoxLayout(this);
    auto* utenti = new QGroupBox(QStringLiteral("Utenti"), this);
    auto* vu = new QVBoxLayout(utenti);
    m_modello = new ricerca::ModelloUtenti(this);
    m_griglia = new QTableView(utenti);
    m_griglia->setObjectName(QStringLiteral("DBGrid1"));
    m_griglia->setModel(m_modello);
    preparaElenco(m_griglia);
    m_griglia->horizontalHeader()->setSectionsClickable(true);
    m_griglia->horizontalHeader()->setSortIndicatorShown(true);
    m_griglia->horizontalHeader()->setHighlightSections(false);
    m_griglia->horizontalHeader()->setStretchLastSection(true);
    vu->addWidget(m_griglia);
    v->addWidget(utenti, 1);

    auto* tipo = new QGroupBox(QStringLiteral("Tipo di ordinamento"), this);
    auto* ht = new QHBoxLayout(tipo);
    m_didascalia = new QLabel(tipo);
    m_didascalia->setObjectName(QStringLiteral("SSPanel2"));
    m_didascalia->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ht->addWidget(m_didascalia);
    v->addWidget(tipo);

    auto* scelto = new QGroupBox(QStringLiteral("Utente Selezionato"), this);
    auto* g = new QGridLayout(scelto);
    const QString titoli[3] = {QStringLiteral("Codice"), QStringLiteral("Matricola"), QStringLiteral("   Nominativo")};
    for (int i = 0; i < 3; ++i) {
        m_etichette[i] = new QLabel(titoli[i], scelto);
        m_etichette[i]->setObjectName(QStringLiteral("SSPanel1(%1)").arg(i));
        m_etichette[i]->setFrameStyle(QFrame::Panel | QFrame::Raised);
        m_etichette[i]->setAutoFillBackground(true);
        m_etichette[i]->setMargin(2);
        m_campi[i] = new QLineEdit(scelto);
        m_campi[i]->setObjectName(QStringLiteral("Text1(%1)").arg(i));
        m_campi[i]->setReadOnly(true);
        g->addWidget(m_etichette[i], 0, i);
        g->addWidget(m_campi[i], 1, i);
    }
    const int larghezzaCodice = fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 24;
    m_campi[0]->setFixedWidth(larghezzaCodice);
    m_campi[1]->setFixedWidth(larghezzaCodice);
    g->setColumnStretch(2, 1);
    v->addWidget(scelto);

    auto* pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    auto* seleziona = new QPushButton(QStringLiteral("Seleziona"), this);
    seleziona->setObjectName(QStringLiteral("Command1"));
    seleziona->setDefault(true);
    auto* annulla = new QPushButton(QStringLiteral("Annulla"), this);
    annulla->setObjectName(QStringLiteral("Command2"));
    pulsanti->addWidget(seleziona);
    pulsanti->addWidget(annulla);
    v->addLayout(pulsanti);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(300);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_primoClic = false;
        m_timer->stop();
    });

    connect(seleziona, &QPushButton::clicked, this, &Form15::Seleziona);
    connect(annulla, &QPushButton::clicked, this, &Form15::chiudi);
    connect(m_griglia->horizontalHeader(), &QHeaderView::sectionClicked, this, &Form15::ordinaPer);
    connect(m_griglia->selectionModel(), &QItemSelectionModel::currentChanged, this, &Form15::rigaCorrente);
    connect(m_griglia, &QTableView::clicked, this, &Form15::clic);
    // The desktop's own double click chooses too, whatever its interval.
    connect(m_griglia, &QTableView::doubleClicked, this, &Form15::Seleziona);
    // Enter on the grid chooses as well: the keyboard's way to "Seleziona".
    auto* invio = new QAction(m_griglia);
    invio->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    invio->setShortcutContext(Qt::WidgetShortcut);
    connect(invio, &QAction::triggered, this, &Form15::Seleziona);
    m_griglia->addAction(invio);

    carica();
    // Room for a whole company name and a whole person's name beside the code.
    const int larghezza = fontMetrics().horizontalAdvance(QStringLiteral("Abcdefghijklmn")) * 2;
    m_griglia->setColumnWidth(0, larghezzaCodice);
    m_griglia->setColumnWidth(1, larghezza + larghezza / 2);
    m_dimensione = QSize(larghezzaCodice + 2 * larghezza + larghezza / 2 + 80, 520);
    resize(m_dimensione);
}

QSize Form15::sizeHint() const
{
    return m_dimensione;
}

void Form15::carica()
{
    try {
        m_modello->imposta(ricerca::LeggiUtenti(*m_ctx.db, m_ordine));
    } catch (const store::ErroreDatabase& e) {
        m_modello->imposta({});
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile leggere l'elenco degli utenti.\nErrore del database: %1")
                                   .arg(e.messaggio()),
                               QStringLiteral("Ricerca codice"));
    }
    m_didascalia->setText(ricerca::Didascalia(m_ordine));
    const int colonna = m_ordine.chiave == ricerca::Chiave::Codice           ? 0
                        : m_ordine.chiave == ricerca::Chiave::RagioneSociale ? 1
                                                                             : 2;
    m_griglia->horizontalHeader()->setSortIndicator(colonna, m_ordine.crescente ? Qt::AscendingOrder
                                                                                : Qt::DescendingOrder);
    evidenzia();
    for (QLineEdit* c : m_campi)
        c->clear();
    if (m_modello->rowCount() > 0)
        m_griglia->setCurrentIndex(m_modello->index(0, 0));
}

void Form15::evidenzia()
{
    const int scelta = ricerca::EtichettaEvidenziata(m_ordine);
    for (int i = 0; i < 3; ++i) {
        QPalette p = m_etichette[i]->palette();
        p.setColor(QPalette::Window, i == scelta ? BluScuro : GialloChiaro);
        p.setColor(QPalette::WindowText, i == scelta ? QColor(Qt::white) : palette().color(QPalette::ButtonText));
        m_etichette[i]->setPalette(p);
    }
}

void Form15::ordinaPer(int colonna)
{
    m_ordine = ricerca::DopoClic(m_ordine, colonna);
    carica();
}

void Form15::rigaCorrente()
{
    const QModelIndex i = m_griglia->currentIndex();
    if (!i.isValid()) {
        for (QLineEdit* c : m_campi)
            c->clear();
        return;
    }
    const ricerca::Utente& u = m_modello->utente(i.row());
    m_campi[0]->setText(u.codice);
    m_campi[2]->setText(u.nominativo());
    m_campi[2]->setCursorPosition(0);
    try {
        m_campi[1]->setText(ricerca::Matricola(*m_ctx.db, u.codice));
    } catch (const store::ErroreDatabase&) {
        // The serial number is only shown; the choice does not need it.
        m_campi[1]->clear();
    }
}

void Form15::clic()
{
    if (!m_primoClic) {
        m_primoClic = true;
        m_timer->start();
        return;
    }
    Seleziona();
}

void Form15::Seleziona()
{
    if (m_scelto)
        return; // the second click of a double click, after the first chose
    m_scelto = true;
    m_timer->stop();
    m_primoClic = false;
    const QString codice = m_campi[0]->text();
    const auto destinazione = ricerca::LeggiTag(m_ctx.tagPicker);
    if (destinazione && !codice.isEmpty())
        emit consegna(destinazione->finestra, destinazione->campo, codice);
    chiudi();
}

void Form15::chiudi()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

} // namespace sorvela
