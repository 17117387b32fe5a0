#include "shell/Ripulisci.h"

#include "core/DateItaliane.h"
#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "shell/Pulizia.h"
#include "store/Database.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <tuple>

namespace sorvela {

Ripulisci::Ripulisci(Contesto& ctx, QWidget* genitore)
    : QWidget(genitore, Qt::Window | Qt::WindowStaysOnTopHint)
    , m_ctx(ctx)
{
    setObjectName(QStringLiteral("Ripulisci"));
    setWindowTitle(QStringLiteral("Ripulisci database"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* g = new QGridLayout(this);
    auto* l1 = new QLabel(QStringLiteral("Cancella tutti gli eventi dal"), this);
    l1->setObjectName(QStringLiteral("Label1"));
    m_dal = new QLineEdit(this);
    m_dal->setObjectName(QStringLiteral("txtFromDate"));
    auto* l2 = new QLabel(QStringLiteral("al"), this);
    l2->setObjectName(QStringLiteral("Label2"));
    m_al = new QLineEdit(this);
    m_al->setObjectName(QStringLiteral("txtToDate"));
    const int larghezzaData = m_dal->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16;
    m_dal->setFixedWidth(larghezzaData);
    m_al->setFixedWidth(larghezzaData);
    m_dal->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
    m_al->setPlaceholderText(QStringLiteral("gg/mm/aaaa"));
    g->addWidget(l1, 0, 0);
    g->addWidget(m_dal, 0, 1);
    g->addWidget(l2, 0, 2);
    g->addWidget(m_al, 0, 3);
    auto* pulsanti = new QHBoxLayout;
    pulsanti->addStretch();
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto* annulla = new QPushButton(QStringLiteral("Annulla"), this);
    annulla->setObjectName(QStringLiteral("cmdAnnulla"));
    pulsanti->addWidget(ok);
    pulsanti->addWidget(annulla);
    g->addLayout(pulsanti, 1, 0, 1, 4);
    connect(ok, &QPushButton::clicked, this, &Ripulisci::cmdOK);
    connect(annulla, &QPushButton::clicked, this, &QWidget::close);

    // By default everything up to two days ago goes; yesterday and today stay.
    m_dal->clear();
    m_al->setText(date::mostra(m_ctx.orologio->oggi().addDays(-2)));
}

void Ripulisci::cmdOK()
{
    // Only an empty box leaves its end of the range open. A text that is not
    // a date (a 31st of February, a date without its year) is refused: read
    // as "no date", it would offer the whole archive for deletion.
    pulizia::Intervallo intervallo;
    for (auto [casella, nome, data] : {std::tuple{m_dal, "dal", &intervallo.dal}, {m_al, "al", &intervallo.al}}) {
        const QString testo = casella->text().trimmed();
        if (testo.isEmpty())
            continue;
        *data = date::leggiData(testo);
        if (!*data) {
            m_ctx.messaggi->avvisa(Icona::Avviso,
                                   QStringLiteral("La data \"%1\" non è valida: %2\r\nScrivere la data come "
                                                  "gg/mm/aaaa, o lasciare la casella vuota.")
                                       .arg(QLatin1String(nome), testo));
            casella->setFocus(Qt::OtherFocusReason);
            casella->selectAll();
            return;
        }
    }
    try {
        const pulizia::Conteggio conteggio = pulizia::contaEventi(*m_ctx.db, intervallo);
        if (conteggio.eventi == 0) {
            m_ctx.messaggi->avvisa(Icona::Avviso, QStringLiteral("Nessun evento da cancellare."));
        } else {
            const Risposta r = m_ctx.messaggi->chiedi(
                Icona::Domanda,
                QStringLiteral("Cancellazione degli eventi: %1\r\nEventi che saranno cancellati: %2\r\n"
                               "Procedere con l'eliminazione?")
                    .arg(pulizia::descrivi(intervallo))
                    .arg(conteggio.eventi),
                Pulsanti::SiNoPredefinitoNo);
            if (r == Risposta::Si) {
                QApplication::setOverrideCursor(Qt::WaitCursor);
                pulizia::cancellaEventi(m_ctx, intervallo, conteggio);
                QApplication::restoreOverrideCursor();
                m_ctx.messaggi->avvisa(Icona::Informazione, QStringLiteral("Cancellazione eseguita."));
            } else {
                m_ctx.messaggi->avvisa(Icona::Informazione, QStringLiteral("Cancellazione annullata."));
            }
        }
    } catch (const store::ErroreDatabase& e) {
        if (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        m_ctx.messaggi->avvisa(Icona::Errore,
                               QStringLiteral("Cancellazione non eseguita, nessun evento è stato eliminato.\n%1")
                                   .arg(QString::fromUtf8(e.what())));
    }
    close();
}

} // namespace sorvela
