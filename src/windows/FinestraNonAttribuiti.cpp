#include "windows/FinestraNonAttribuiti.h"

#include "core/DateItaliane.h"
#include "events/NonAttribuiti.h"
#include "events/RiempiCoda.h"
#include "platform/Contesto.h"
#include "platform/Messaggi.h"
#include "store/Database.h"
#include "windows/Elenco.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace sorvela {

namespace {
const QString Titolo = QStringLiteral("Messaggi non attribuiti");
}

FinestraNonAttribuiti::FinestraNonAttribuiti(Contesto& c, QWidget* genitore)
    : QWidget(genitore)
    , m_ctx(c)
{
    setObjectName(QStringLiteral("MessaggiNonAttribuiti"));
    setWindowTitle(Titolo);

    auto* v = new QVBoxLayout(this);
    m_griglia = grigliaElenco(this, QStringLiteral("gridMessaggi"),
                              {QStringLiteral("Data e ora"), QStringLiteral("Mittente"), QStringLiteral("Tipo"),
                               QStringLiteral("Descrizione evento"), QStringLiteral("Testo messaggio")},
                              {QStringLiteral("00/00/0000 00.00.00"), QStringLiteral("+390000000000"),
                               QStringLiteral("Allarme"), QStringLiteral("Scarso credito residuo;")});
    v->addWidget(m_griglia, 1);

    auto* h = new QHBoxLayout;
    auto* assegna = new QPushButton(QStringLiteral("Assegna…"), this);
    assegna->setObjectName(QStringLiteral("cmdAssegna"));
    auto* elimina = new QPushButton(QStringLiteral("Elimina"), this);
    elimina->setObjectName(QStringLiteral("cmdElimina"));
    auto* esci = new QPushButton(QStringLiteral("Esci"), this);
    esci->setObjectName(QStringLiteral("Esci"));
    h->addWidget(assegna);
    h->addWidget(elimina);
    h->addStretch();
    h->addWidget(esci);
    v->addLayout(h);
    connect(assegna, &QPushButton::clicked, this, &FinestraNonAttribuiti::assegna);
    connect(elimina, &QPushButton::clicked, this, &FinestraNonAttribuiti::elimina);
    connect(esci, &QPushButton::clicked, this, &FinestraNonAttribuiti::chiudi);
    aggiorna();
}

void FinestraNonAttribuiti::aggiorna()
{
    QList<MessaggioNonAttribuito> messaggi;
    try {
        messaggi = ElencoNonAttribuiti(*m_ctx.db);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile leggere i messaggi: %1").arg(e.messaggio()),
                               Titolo);
        return;
    }
    const qint64 prima = scelto();
    m_id.clear();
    m_griglia->setRowCount(int(messaggi.size()));
    for (int r = 0; r < messaggi.size(); ++r) {
        const MessaggioNonAttribuito& m = messaggi.at(r);
        m_id << m.id;
        const QStringList celle{date::mostra(m.dataOra), m.mittente, m.tipo, m.descrizione, m.testo};
        const QColor colore = coloreEvento(m.tipo);
        scriviRiga(m_griglia, r, celle, &colore);
        if (m.id == prima)
            m_griglia->selectRow(r);
    }
    if (m_griglia->currentRow() < 0 && !m_id.isEmpty())
        m_griglia->selectRow(0);
}

qint64 FinestraNonAttribuiti::scelto() const
{
    const int r = m_griglia->currentRow();
    return r >= 0 && r < m_id.size() ? m_id.at(r) : 0;
}

void FinestraNonAttribuiti::assegna()
{
    m_daAssegnare = scelto();
    if (m_daAssegnare == 0) {
        m_ctx.messaggi->avvisa(Icona::Avviso, QStringLiteral("Scegliere il messaggio da assegnare."), Titolo);
        return;
    }
    m_ctx.tagPicker = QStringLiteral("MessaggiNonAttribuiti_Codice");
    emit apriRicerca();
}

void FinestraNonAttribuiti::assegnaA(const QString& codice)
{
    const qint64 id = m_daAssegnare;
    m_daAssegnare = 0;
    if (id == 0 || codice.isEmpty())
        return;
    const int riga = int(m_id.indexOf(id));
    const QString mittente = riga >= 0 ? m_griglia->item(riga, 1)->text() : QString();
    try {
        bool salvaNumero = false;
        if (!mittente.isEmpty() && GsmMancante(*m_ctx.db, codice))
            salvaNumero = m_ctx.messaggi->chiedi(Icona::Domanda,
                                                 QStringLiteral("L'utente %1 non ha un Telefono GSM fonia.\n"
                                                                "Memorizzare %2 come suo Telefono GSM fonia?")
                                                     .arg(codice, mittente),
                                                 Pulsanti::SiNo, Titolo)
                          == Risposta::Si;
        switch (AssegnaMessaggio(m_ctx, id, codice, salvaNumero)) {
        case EsitoAssegnazione::Assegnato:
            break;
        case EsitoAssegnazione::MessaggioSparito:
            m_ctx.messaggi->avvisa(Icona::Informazione, QStringLiteral("Il messaggio non c'è più."), Titolo);
            break;
        case EsitoAssegnazione::UtenteInesistente:
            m_ctx.messaggi->avvisa(Icona::Avviso, QStringLiteral("L'utente %1 non esiste.").arg(codice), Titolo);
            break;
        }
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile assegnare il messaggio: %1").arg(e.messaggio()),
                               Titolo);
    }
    aggiorna();
    emit cambiati();
}

void FinestraNonAttribuiti::elimina()
{
    const qint64 id = scelto();
    if (id == 0)
        return;
    const int r = m_griglia->currentRow();
    if (m_ctx.messaggi->chiedi(Icona::Domanda,
                               QStringLiteral("Eliminare il messaggio di %1 del %2?")
                                   .arg(m_griglia->item(r, 1)->text(), m_griglia->item(r, 0)->text()),
                               Pulsanti::SiNo, Titolo)
        != Risposta::Si)
        return;
    try {
        EliminaNonAttribuito(m_ctx, id);
    } catch (const store::ErroreDatabase& e) {
        m_ctx.messaggi->avvisa(Icona::Errore, QStringLiteral("Impossibile eliminare il messaggio: %1").arg(e.messaggio()),
                               Titolo);
    }
    aggiorna();
    emit cambiati();
}

QSize FinestraNonAttribuiti::sizeHint() const
{
    // Room for every column at its width, and a screenful of rows.
    return misuraElenco(this, 120, 20);
}

void FinestraNonAttribuiti::chiudi()
{
    chiudiElenco(this);
}

} // namespace sorvela
