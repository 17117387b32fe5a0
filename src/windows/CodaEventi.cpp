#include "windows/CodaEventi.h"

#include "events/RiempiCoda.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/RegistroOperazioni.h"
#include "platform/Twips.h"
#include "store/Database.h"
#include "store/RecordSet.h"
#include "windows/Cornice.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace sorvela {

namespace {

// Designed places on the inner container, twips: the grid on the left, the
// two buttons in a column to its right.
constexpr int Margine = 60;
constexpr int LarghezzaPulsante = 1095;
constexpr int AltezzaPulsante = 375;

} // namespace

CodaEventi::CodaEventi(Contesto& ctx, QWidget* genitore)
    : QWidget(genitore)
    , m_ctx(ctx)
{
    setObjectName(QStringLiteral("CodaEventi"));
    setWindowTitle(QStringLiteral("Eventi nuovi"));

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    m_cornice = new Cornice(cornici::CodaEventi, *ctx.preferenze, this);
    v->addWidget(m_cornice);
    QWidget* interno = m_cornice->interno();

    m_coda = new QTableWidget(0, 4, interno);
    m_coda->setObjectName(QStringLiteral("Coda"));
    m_coda->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_coda->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_coda->setSelectionMode(QAbstractItemView::SingleSelection);
    m_coda->verticalHeader()->hide();
    m_coda->verticalHeader()->setDefaultSectionSize(m_coda->fontMetrics().height() + 4);
    m_coda->horizontalHeader()->setHighlightSections(false);
    m_coda->setWordWrap(false);

    m_archivia = new QPushButton(QStringLiteral("Archivia"), interno);
    m_archivia->setObjectName(QStringLiteral("Command1"));
    m_esci = new QPushButton(QStringLiteral("Esci"), interno);
    m_esci->setObjectName(QStringLiteral("Esci"));
    m_tacita = new QPushButton(QStringLiteral("Tacita"), interno);
    m_tacita->setObjectName(QStringLiteral("cmdTacita"));
    m_tacita->setToolTip(QStringLiteral("Ferma l'allarme fino al prossimo evento nuovo; gli eventi restano in coda"));

    connect(m_archivia, &QPushButton::clicked, this, &CodaEventi::archivia);
    connect(m_esci, &QPushButton::clicked, this, &CodaEventi::esci);
    connect(m_tacita, &QPushButton::clicked, this, &CodaEventi::tacita);
    connect(m_coda, &QTableWidget::cellDoubleClicked, this, [this](int riga, int) {
        const QTableWidgetItem* it = m_coda->item(riga, 0);
        emit apriUtente(it ? it->text() : QString());
    });

    impostaColonne();
    riempiDaQuery();
    m_ctx.aperte.CodaEventi = true;
}

CodaEventi::~CodaEventi()
{
    // A window destroyed without being closed (the main window going away)
    // is no longer open either; one that was closed may already have been
    // replaced by a new queue window, whose flag is not ours to clear.
    if (!m_chiusa)
        m_ctx.aperte.CodaEventi = false;
}

void CodaEventi::impostaColonne()
{
    m_coda->setHorizontalHeaderLabels(
        {QStringLiteral("Codice"), QStringLiteral("Nome"), QStringLiteral("Descrizione evento"),
         QStringLiteral("Data e ora")});
    m_coda->horizontalHeaderItem(0)->setTextAlignment(Qt::AlignCenter);
    // The last column takes whatever room is left, so the grid never shows a
    // grey strip beside it.
    m_coda->horizontalHeader()->setStretchLastSection(true);
    disponi(QSize(twips::inPixel(cornici::CodaEventi.larghezza - 45), twips::inPixel(cornici::CodaEventi.altezza - 345)));
}

void CodaEventi::disponi(const QSize& interno)
{
    const int margine = twips::inPixel(Margine);
    const QSize pulsante(twips::inPixel(LarghezzaPulsante), twips::inPixel(AltezzaPulsante));
    m_cornice->setDimensioneInterna(twips::daPixel(interno.width()), twips::daPixel(interno.height()));
    const int larghezzaGriglia = interno.width() - pulsante.width() - 3 * margine;
    m_coda->setGeometry(margine, margine, larghezzaGriglia, interno.height() - 2 * margine);
    const int x = 2 * margine + larghezzaGriglia;
    m_archivia->setGeometry(QRect(QPoint(x, margine), pulsante));
    m_tacita->setGeometry(QRect(QPoint(x, 2 * margine + pulsante.height()), pulsante));
    m_esci->setGeometry(QRect(QPoint(x, 3 * margine + 2 * pulsante.height()), pulsante));

    // The cell's own text margins on both sides, which the designed widths
    // do not know about.
    const int margineCella = 2 * (m_coda->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_coda) + 1);
    // Room for the vertical scroll bar is kept aside: when the rows outgrow
    // the grid, the time column must not slide out of view.
    const int barra = m_coda->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_coda);
    const QList<int> larghezze = larghezzeColonne(
        QFontMetrics(font()), larghezzaGriglia - 2 * m_coda->frameWidth() - barra, margineCella);
    for (int c = 0; c < larghezze.size(); ++c)
        m_coda->setColumnWidth(c, larghezze[c]);
}

QList<int> larghezzeColonne(const QFontMetrics& fm, int disponibile, int margineCella)
{
    const int extra = twips::inPixel(120) + margineCella;
    // A six-digit code can be wider than its heading in a proportional font.
    const int codice = std::max(fm.horizontalAdvance(QStringLiteral("Codice")),
                                fm.horizontalAdvance(QStringLiteral("000000")));
    QList<int> l{codice + extra,
                 4 * fm.horizontalAdvance(QStringLiteral("Abcdefghij")),
                 4 * fm.horizontalAdvance(QStringLiteral("Abcdefghijklmn")),
                 fm.horizontalAdvance(QStringLiteral("00/00/0000 00.00.00")) + extra};
    // Code and time must always be read whole. When the font makes the row
    // wider than the grid, the name and the description give up the excess
    // in proportion, so all four columns stay in view at the designed size
    // (their cells end in an ellipsis and show the whole text as a tip).
    const int eccesso = l[0] + l[1] + l[2] + l[3] - disponibile;
    if (eccesso > 0) {
        const int liberi = l[1] + l[2];
        const int togliNome = eccesso * l[1] / liberi;
        l[1] = std::max(l[1] - togliNome, fm.horizontalAdvance(QStringLiteral("Abcdefghij")));
        l[2] = std::max(l[2] - (eccesso - togliNome), fm.horizontalAdvance(QStringLiteral("Abcdefghijklmn")));
    }
    return l;
}

void CodaEventi::riempiDaQuery()
{
    try {
        store::RecordSet rs = m_ctx.db->apriRecordSet(QStringLiteral("Coda Query"));
        riempi(rs);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, e.messaggio());
    }
}

void CodaEventi::riempi(store::RecordSet& rs)
{
    m_ultimoIdMostrato = std::max(m_ultimoIdMostrato, RiempiCoda(rs, *m_coda, m_ctx));
}

void CodaEventi::portaInPrimoPiano()
{
    QWidget* f = m_cornice->finestra();
    if (f->isMinimized())
        f->showNormal();
    f->raise();
}

void CodaEventi::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    if (m_geometriaApplicata)
        return;
    m_geometriaApplicata = true;
    // Inside its sub-window only now: the remembered place applies to it.
    // The centring of a window with no remembered place takes the window's
    // size at this moment, which is its designed size.
    m_cornice->ridimensionaTwips(cornici::CodaEventi.larghezza, cornici::CodaEventi.altezza);
    m_cornice->leggiGeometria();
    // The queue always opens at its designed size, wherever it was left.
    m_cornice->ripristinaDimensione();
    m_cornice->tieniInVista();
    // The designed content fills the window at that size. The sub-window's
    // frame and title differ between window styles, so the room they leave
    // is measured here rather than assumed.
    const QSize vista = m_cornice->size();
    if (vista.isValid() && !m_cornice->scorrimento())
        disponi(vista);
}

void CodaEventi::archivia()
{
    int archiviati;
    try {
        archiviati = ArchiviaCoda(m_ctx, m_ultimoIdMostrato);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, e.messaggio());
        return;
    }
    // An empty queue leaves the window where it is; otherwise it closes, and
    // the tick reopens it with whatever is still waiting.
    if (archiviati < 0)
        return;
    chiudiFinestra();
}

void CodaEventi::tacita()
{
    // Recorded first: an alert silenced without its record would be a
    // silence nobody answers for.
    try {
        RegistraOperazione(m_ctx, azione::AllarmeTacitato,
                           QStringLiteral("%1 eventi in coda").arg(m_coda->rowCount()),
                           m_ultimoIdMostrato > 0 ? QStringLiteral("ultimo evento ID %1").arg(m_ultimoIdMostrato)
                                                  : QString());
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Impossibile tacitare l'allarme: %1").arg(e.messaggio()));
        return;
    }
    emit tacitato();
}

void CodaEventi::esci()
{
    chiudiFinestra();
}

void CodaEventi::chiudiFinestra()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void CodaEventi::closeEvent(QCloseEvent* e)
{
    m_cornice->salvaGeometria();
    m_ctx.aperte.CodaEventi = false;
    m_chiusa = true;
    e->accept();
}

} // namespace sorvela
