#include "events/frmStato.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QGuiApplication>
#include <QMoveEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace sorvela {

namespace {

constexpr QSize kCella(156, 44);
const QColor kFondo(192, 192, 192);
const QColor kSpento(150, 150, 150);

QPixmap fondo()
{
    QPixmap p(kCella);
    p.fill(kFondo);
    return p;
}

bool cellaDisegnata(int cella) { return cella >= 0 && cella < kCellaNonRiportata; }

} // namespace

QPixmap CellaPclipBattery(int cella)
{
    QPixmap p = fondo();
    if (!cellaDisegnata(cella))
        return p;
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);

    // Body on the left, the label on the right so it never covers the fill.
    const QRectF corpo(6.5, 10.5, 62, 24);
    const QRectF polo(corpo.right(), corpo.center().y() - 5, 5, 10);
    const QColor colore = cella <= 1 ? QColor(220, 0, 0) : cella <= 3 ? QColor(235, 200, 0) : QColor(0, 170, 0);
    const QRectF interno = corpo.adjusted(3, 3, -3, -3);
    const double quota = cella == 0 ? 0.06 : cella / 5.0; // an empty battery still shows a sliver
    g.fillRect(QRectF(interno.topLeft(), QSizeF(interno.width() * quota, interno.height())), colore);
    g.setPen(QPen(Qt::black, 2));
    g.setBrush(Qt::NoBrush);
    g.drawRoundedRect(corpo, 3, 3);
    g.setBrush(Qt::black);
    g.drawRect(polo);

    QFont f = g.font();
    f.setPixelSize(12);
    f.setBold(true);
    g.setFont(f);
    g.setPen(cella == 0 ? QColor(200, 0, 0) : Qt::black);
    static const char* const etichette[] = {"SCARICA", "20%", "40%", "60%", "80%", "100%"};
    g.drawText(QRectF(polo.right() + 4, 0, kCella.width() - polo.right() - 6, kCella.height()), Qt::AlignCenter,
               QString::fromLatin1(etichette[cella]));
    return p;
}

QPixmap CellaPclipAntenna(int cella)
{
    QPixmap p = fondo();
    if (!cellaDisegnata(cella))
        return p;
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);

    // The mast with its radiating V, then the bar graph growing to the right.
    g.setPen(QPen(Qt::black, 2.5, Qt::SolidLine, Qt::RoundCap));
    g.drawLine(QPointF(24, 8), QPointF(24, 38));
    g.drawLine(QPointF(24, 22), QPointF(12, 8));
    g.drawLine(QPointF(24, 22), QPointF(36, 8));
    g.drawLine(QPointF(12, 8), QPointF(36, 8));

    const double base = 38, larghezza = 14, passo = 20, primo = 50;
    for (int barra = 0; barra < 5; ++barra) {
        const double altezza = 6 + barra * 6;
        const QRectF r(primo + barra * passo, base - altezza, larghezza, altezza);
        g.setPen(Qt::NoPen);
        g.setBrush(barra < cella ? QColor(Qt::black) : kSpento);
        g.drawRect(r);
    }
    return p;
}

frmStato::frmStato(QWidget* genitore)
    : QWidget(genitore, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmStato"));
    setWindowTitle(QStringLiteral("Messaggio ricevuto"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Reports arrive while the operator types elsewhere: the window shows
    // on top but leaves the keyboard where it is.
    setAttribute(Qt::WA_ShowWithoutActivating);

    auto etichetta = [this](const char* nome) {
        auto* l = new QLabel(this);
        l->setObjectName(QString::fromLatin1(nome));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse); // numbers get copied into other windows
        return l;
    };
    m_labelCodice = etichetta("labelCodice");
    m_imgBattery = etichetta("imgBattery");
    m_imgAntenna = etichetta("imgAntenna");
    m_labelCredito = etichetta("labelCredito");
    m_labelRete = etichetta("labelRete");
    m_labelSIM = etichetta("labelSIM");
    m_labelSW = etichetta("labelSW");
    for (QLabel* img : {m_imgBattery, m_imgAntenna}) {
        img->setTextInteractionFlags(Qt::NoTextInteraction);
        img->setFrameShape(QFrame::Panel);
        img->setFrameShadow(QFrame::Sunken);
        img->setFixedSize(kCella + QSize(2 * img->frameWidth(), 2 * img->frameWidth()));
    }
    m_cmdChiudi = new QPushButton(QStringLiteral("Chiudi"), this);
    m_cmdChiudi->setObjectName(QStringLiteral("cmdChiudi"));
    connect(m_cmdChiudi, &QPushButton::clicked, this, &QWidget::close);

    auto* v = new QVBoxLayout(this);
    v->addWidget(m_labelCodice);
    auto* immagini = new QHBoxLayout;
    immagini->addWidget(m_imgBattery);
    immagini->addSpacing(12);
    immagini->addWidget(m_imgAntenna);
    immagini->addStretch();
    v->addSpacing(6);
    v->addLayout(immagini);
    v->addSpacing(6);
    for (QLabel* l : {m_labelCredito, m_labelRete, m_labelSIM, m_labelSW})
        v->addWidget(l);
    v->addStretch();
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    pulsanti->addWidget(m_cmdChiudi);
    v->addLayout(pulsanti);
    v->setSizeConstraint(QLayout::SetMinimumSize); // a long name widens the window instead of being cut
    setMinimumWidth(360);
}

void frmStato::mostra(const ContenutoStato& s)
{
    m_labelCodice->setText(s.intestazione);
    m_cellaBatteria = s.cellaBatteria;
    m_cellaAntenna = s.cellaAntenna;
    m_imgBattery->setPixmap(CellaPclipBattery(s.cellaBatteria));
    m_imgAntenna->setPixmap(CellaPclipAntenna(s.cellaAntenna));

    m_labelCredito->setText(s.credito);
    QFont f = m_labelCredito->font();
    f.setBold(s.creditoScarso);
    m_labelCredito->setFont(f);
    QPalette pal = m_labelCredito->palette();
    pal.setColor(QPalette::WindowText, s.creditoScarso ? QColor(255, 0, 0) : QColor(0, 0, 0));
    m_labelCredito->setPalette(pal);

    m_labelRete->setText(s.rete);
    m_labelSIM->setText(s.sim);
    m_labelSW->setText(s.versione);
    adjustSize();
}

namespace {
QPointer<frmStato> g_finestra;
// Where the operator last left the window, for the next one; at first the
// top right corner of the screen, out of the way of the operator windows.
std::optional<QPoint> g_posizione;
}

void frmStato::moveEvent(QMoveEvent* e)
{
    QWidget::moveEvent(e);
    if (isVisible())
        g_posizione = pos();
}

frmStato* FinestraStato()
{
    return g_finestra.data();
}

void MostraStato(Contesto& c, const QString& codice, const QString& mittente, const QString& testo)
{
    const std::optional<ContenutoStato> s = ComponiStato(c, codice, mittente, testo);
    if (!s)
        return;
    const bool nuova = !g_finestra;
    if (nuova)
        g_finestra = new frmStato;
    g_finestra->mostra(*s);
    if (nuova) {
        QPoint dove;
        if (g_posizione) {
            dove = *g_posizione;
        } else if (const QScreen* schermo = QGuiApplication::primaryScreen()) {
            const QRect area = schermo->availableGeometry();
            dove = QPoint(area.right() - g_finestra->frameGeometry().width() - 20, area.top() + 60);
        }
        g_finestra->move(dove);
    }
    g_finestra->show();
    g_finestra->raise();
}

} // namespace sorvela
