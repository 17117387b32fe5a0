#include "shell/StrisciaStato.h"

#include "platform/Twips.h"
#include "shell/Immagini.h"

#include <QLabel>
#include <QPainter>

namespace sorvela {

PannelloTesto::PannelloTesto(QWidget* genitore)
    : QFrame(genitore)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
}

void PannelloTesto::stampa(const QString& testo, int xTwips, const QString& campione)
{
    m_testo = testo;
    m_x = xTwips;
    m_campione = campione.isEmpty() ? testo : campione;
    update();
}

void PannelloTesto::pulisci()
{
    m_testo.clear();
    update();
}

void PannelloTesto::setSfondo(const QColor& colore)
{
    m_sfondo = colore;
    update();
}

void PannelloTesto::paintEvent(QPaintEvent* e)
{
    if (m_sfondo.isValid()) {
        QPainter fondo(this);
        fondo.fillRect(contentsRect(), m_sfondo);
    }
    QFrame::paintEvent(e);
    if (m_testo.isEmpty())
        return;
    QPainter p(this);
    if (m_sfondo.isValid())
        p.setPen(Qt::white);
    const QFontMetrics fm(font());
    const QRect interno = contentsRect();
    // Vertical position: half the inner height less half the sample's height.
    const int y = interno.top() + interno.height() / 2 - fm.boundingRect(m_campione).height() / 2;
    p.drawText(QPoint(interno.left() + twips::inPixel(m_x), y + fm.ascent()), m_testo);
}

StrisciaStato::StrisciaStato(QWidget* genitore)
    : QFrame(genitore)
{
    setObjectName(QStringLiteral("Picture2(0)"));
    setFrameShape(QFrame::NoFrame);
    // Left, top, width, height in twips, as designed.
    m_geo[1] = QRect(0, 0, 3015, 555);
    m_geo[2] = QRect(3000, 0, 2115, 285);
    m_geo[5] = QRect(3000, 285, 2115, 270);
    m_geo[3] = QRect(5100, 0, 1095, 285);
    m_geo[6] = QRect(5100, 285, 1095, 270);
    m_geo[7] = QRect(6720, 0, 1710, 555);
    m_geo[4] = QRect(9480, 0, 1095, 555);
    for (int i = 1; i <= 6; ++i) {
        m_pannelli[i] = new PannelloTesto(this);
        m_pannelli[i]->setObjectName(QStringLiteral("Picture2(%1)").arg(i));
    }
    m_immagine = new QLabel(this);
    m_immagine->setObjectName(QStringLiteral("Image1"));
    m_immagine->setAlignment(Qt::AlignCenter);
    m_immagine->setPixmap(immagini::marchio(twips::inPixel(1710), twips::inPixel(555)));
    setFixedHeight(twips::inPixel(Altezza));
    applica();
}

void StrisciaStato::mostraTelefono(int porta, const QString& stato, bool guasto)
{
    const QColor rosso(0xC0, 0x00, 0x00);
    m_pannelli[2]->stampa(QStringLiteral("Telefono COM%1").arg(porta), 60);
    m_pannelli[5]->stampa(stato, 60);
    m_pannelli[2]->setSfondo(guasto ? rosso : QColor());
    m_pannelli[5]->setSfondo(guasto ? rosso : QColor());
    m_pannelli[2]->setToolTip(QStringLiteral("Telefono sulla porta COM%1: %2").arg(porta).arg(stato));
    m_pannelli[5]->setToolTip(m_pannelli[2]->toolTip());
}

void StrisciaStato::mostraOperatore(const QString& nome)
{
    m_pannelli[3]->stampa(QStringLiteral("Operatore: ") + nome, 60);
    m_pannelli[3]->setToolTip(QStringLiteral("Operatore di turno: ") + nome);
}

void StrisciaStato::mostraSconosciuti(int quanti)
{
    m_sconosciuti = quanti;
    aggiornaPannello6();
}

void StrisciaStato::mostraScollegato(const QString& motivo)
{
    m_scollegato = motivo;
    aggiornaPannello6();
}

// Panel 6 says what waits for the operator outside the queue and whether
// the desk still hears the server; red while either is so.
void StrisciaStato::aggiornaPannello6()
{
    QStringList testi;
    QStringList suggerimenti;
    if (!m_scollegato.isEmpty()) {
        testi << QStringLiteral("Server non raggiungibile: dati forse non aggiornati");
        suggerimenti << QStringLiteral("Questa postazione non riceve gli annunci del server (%1): ritenta da sola "
                                       "e si aggiorna appena il server risponde.")
                            .arg(m_scollegato);
    }
    if (m_sconosciuti > 0) {
        testi << QStringLiteral("Mittenti sconosciuti: %1").arg(m_sconosciuti);
        suggerimenti << QStringLiteral("Messaggi di mittenti che nessun utente ha come Telefono GSM fonia: "
                                       "Gestione Eventi, Messaggi non attribuiti");
    }
    if (testi.isEmpty()) {
        m_pannelli[6]->pulisci();
        m_pannelli[6]->setSfondo(QColor());
        m_pannelli[6]->setToolTip(QString());
        return;
    }
    m_pannelli[6]->stampa(testi.join(QStringLiteral(" · ")), 60);
    m_pannelli[6]->setSfondo(QColor(0xC0, 0x00, 0x00));
    m_pannelli[6]->setToolTip(suggerimenti.join(u'\n'));
}

void StrisciaStato::mostraRicevitori(const QString& conteggio, const QString& guida, const QString& dettaglio,
                                     bool guasto)
{
    const QColor rosso(0xC0, 0x00, 0x00);
    m_pannelli[2]->stampa(conteggio, 60);
    m_pannelli[5]->stampa(guida, 60);
    m_pannelli[2]->setSfondo(guasto ? rosso : QColor());
    m_pannelli[5]->setSfondo(guasto ? rosso : QColor());
    m_pannelli[2]->setToolTip(dettaglio);
    m_pannelli[5]->setToolTip(dettaglio);
}

void StrisciaStato::Monitor(int larghezzaSchermo)
{
    const int larga = larghezzaSchermo - m_geo[1].width() - m_geo[2].width() - m_geo[4].width() - 15
                      - m_geo[7].width();
    m_geo[3].setWidth(larga);
    m_geo[6].setWidth(larga);
    m_geo[7].moveLeft(m_geo[3].left() + m_geo[3].width());
    m_geo[4].moveLeft(m_geo[7].left() + m_geo[7].width());
    applica();
}

void StrisciaStato::applica()
{
    auto px = [](const QRect& r) {
        return QRect(twips::inPixel(r.x()), twips::inPixel(r.y()), twips::inPixel(r.width()),
                     twips::inPixel(r.height()));
    };
    for (int i = 1; i <= 6; ++i)
        m_pannelli[i]->setGeometry(px(m_geo[i]));
    m_immagine->setGeometry(px(m_geo[7]));
}

} // namespace sorvela
