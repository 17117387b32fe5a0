#include "windows/FinestraRegistro.h"

#include "core/DateItaliane.h"
#include "core/Orologio.h"
#include "interrogation/StampaStorico.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "platform/RegistroOperazioni.h"
#include "store/Database.h"
#include "windows/Elenco.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace sorvela {

namespace {

const QString Titolo = QStringLiteral("Registro operazioni");
const QString Tutti = QStringLiteral("Tutti");
const QString Tutte = QStringLiteral("Tutte");

QDate oggi(const Contesto& c)
{
    return c.orologio ? c.orologio->oggi() : QDate::currentDate();
}

} // namespace

FinestraRegistro::FinestraRegistro(Contesto& c, QWidget* genitore)
    : QWidget(genitore)
    , m_ctx(c)
{
    setObjectName(QStringLiteral("RegistroOperazioni"));
    setWindowTitle(Titolo);

    auto* v = new QVBoxLayout(this);
    auto* filtri = new QGridLayout;
    auto etichetta = [this](const QString& t) { return new QLabel(t, this); };
    m_dal = new QLineEdit(date::mostra(oggi(c).addDays(-30)), this);
    m_dal->setObjectName(QStringLiteral("txtDal"));
    m_al = new QLineEdit(date::mostra(oggi(c)), this);
    m_al->setObjectName(QStringLiteral("txtAl"));
    for (QLineEdit* e : {m_dal, m_al}) {
        e->setMaxLength(10);
        e->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 12);
    }
    m_operatore = new QComboBox(this);
    m_operatore->setObjectName(QStringLiteral("cboOperatore"));
    m_operatore->setMinimumContentsLength(16);
    m_azione = new QComboBox(this);
    m_azione->setObjectName(QStringLiteral("cboAzione"));
    m_azione->setMinimumContentsLength(22);
    m_operatore->addItem(Tutti);
    m_azione->addItem(Tutte);
    try {
        m_operatore->addItems(OperatoriRegistrati(*c.db));
        m_azione->addItems(AzioniRegistrate(*c.db));
    } catch (const store::ErroreDatabase&) {
        // The search below says what is wrong.
    }
    filtri->addWidget(etichetta(QStringLiteral("Dal")), 0, 0);
    filtri->addWidget(m_dal, 0, 1);
    filtri->addWidget(etichetta(QStringLiteral("Al")), 0, 2);
    filtri->addWidget(m_al, 0, 3);
    filtri->addWidget(etichetta(QStringLiteral("Operatore")), 0, 4);
    filtri->addWidget(m_operatore, 0, 5);
    filtri->addWidget(etichetta(QStringLiteral("Azione")), 0, 6);
    filtri->addWidget(m_azione, 0, 7);
    auto* pulsanteCerca = new QPushButton(QStringLiteral("Cerca"), this);
    pulsanteCerca->setObjectName(QStringLiteral("cmdCerca"));
    pulsanteCerca->setDefault(true);
    filtri->addWidget(pulsanteCerca, 0, 8);
    filtri->setColumnStretch(9, 1);
    v->addLayout(filtri);

    m_griglia = grigliaElenco(this, QStringLiteral("gridRegistro"),
                              {QStringLiteral("Data e ora"), QStringLiteral("Operatore"), QStringLiteral("Postazione"),
                               QStringLiteral("Azione"), QStringLiteral("Oggetto"), QStringLiteral("Dettagli")},
                              {QStringLiteral("00/00/0000 00.00.00"), QStringLiteral("Abcdefghijklmnopq"),
                               QStringLiteral("Postazione"), QStringLiteral("Interrogazione manuale"),
                               QStringLiteral("dal 00/00/0000 al 00/00/0000")});
    // As wide as its heading, with more room to spare than the others.
    m_griglia->setColumnWidth(2, fontMetrics().horizontalAdvance(QStringLiteral("Postazione")) + 24);
    v->addWidget(m_griglia, 1);

    auto* basso = new QHBoxLayout;
    m_conteggio = new QLabel(this);
    m_conteggio->setObjectName(QStringLiteral("lblConteggio"));
    basso->addWidget(m_conteggio, 1);
    auto* pulsanteStampa = new QPushButton(QStringLiteral("Stampa"), this);
    pulsanteStampa->setObjectName(QStringLiteral("cmdStampa"));
    auto* esci = new QPushButton(QStringLiteral("Esci"), this);
    esci->setObjectName(QStringLiteral("Esci"));
    basso->addWidget(pulsanteStampa);
    basso->addWidget(esci);
    v->addLayout(basso);

    connect(pulsanteCerca, &QPushButton::clicked, this, &FinestraRegistro::cerca);
    connect(m_dal, &QLineEdit::returnPressed, this, &FinestraRegistro::cerca);
    connect(m_al, &QLineEdit::returnPressed, this, &FinestraRegistro::cerca);
    connect(pulsanteStampa, &QPushButton::clicked, this, &FinestraRegistro::stampa);
    connect(esci, &QPushButton::clicked, this, &FinestraRegistro::chiudi);
    cerca();
}

void FinestraRegistro::cerca()
{
    FiltroRegistro f;
    // A date box that holds no date leaves that end of the range open; the
    // box says so by showing nothing.
    if (const auto d = date::leggiData(m_dal->text()))
        f.dal = *d;
    else
        m_dal->clear();
    if (const auto a = date::leggiData(m_al->text()))
        f.al = *a;
    else
        m_al->clear();
    if (m_operatore->currentIndex() > 0)
        f.operatore = m_operatore->currentText();
    if (m_azione->currentIndex() > 0)
        f.azione = m_azione->currentText();
    QList<VoceRegistro> voci;
    bool troncato = false;
    try {
        voci = LeggiRegistro(*m_ctx.db, f, 10000, &troncato);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile leggere il registro: %1").arg(e.messaggio()),
                               Titolo);
        return;
    }
    m_griglia->setRowCount(int(voci.size()));
    for (int r = 0; r < voci.size(); ++r) {
        const VoceRegistro& x = voci.at(r);
        const QStringList celle{date::mostra(x.dataOra), x.operatore, x.postazione, x.azione, x.oggetto, x.dettagli};
        scriviRiga(m_griglia, r, celle);
    }
    m_conteggio->setText(troncato ? QStringLiteral("Operazioni: le %1 più recenti; restringere la ricerca per "
                                                   "vedere le altre")
                                        .arg(voci.size())
                                  : QStringLiteral("Operazioni: %1").arg(voci.size()));
}

void FinestraRegistro::stampa()
{
    QList<QStringList> righe;
    for (int r = 0; r < m_griglia->rowCount(); ++r) {
        QStringList celle;
        for (int k = 0; k < m_griglia->columnCount(); ++k) {
            const QTableWidgetItem* it = m_griglia->item(r, k);
            celle << (it ? it->text() : QString());
        }
        righe << celle;
    }
    if (righe.isEmpty()) {
        m_ctx.messaggi->avvisa(Icona::Informazione, QStringLiteral("Nessuna operazione da stampare."), Titolo);
        return;
    }
    const QString dal = m_dal->text().isEmpty() ? QStringLiteral("dall'inizio") : QStringLiteral("dal ") + m_dal->text();
    const QString al = m_al->text().isEmpty() ? QStringLiteral("a oggi") : QStringLiteral("al ") + m_al->text();
    StampaElenco(m_ctx, {Titolo, QStringLiteral("Registro"), QStringLiteral("il registro delle operazioni")},
                 {QStringLiteral("Registro operazioni %1 %2").arg(dal, al),
                  QStringLiteral("Operatore: %1").arg(m_operatore->currentText()),
                  QStringLiteral("Azione: %1").arg(m_azione->currentText())},
                 righe);
}

QSize FinestraRegistro::sizeHint() const
{
    // Room for every column at its width, and a screenful of rows.
    return misuraElenco(this, 190, 28);
}

void FinestraRegistro::chiudi()
{
    chiudiElenco(this);
}

} // namespace sorvela
