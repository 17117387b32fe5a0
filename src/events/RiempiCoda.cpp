#include "events/RiempiCoda.h"

#include "core/DateItaliane.h"
#include "events/ModelloEventi.h"
#include "core/Orologio.h"
#include "platform/Contesto.h"
#include "platform/RegistroOperazioni.h"
#include "platform/Twips.h"
#include "store/Database.h"
#include "store/RecordSet.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>
#include <limits>

namespace sorvela {

namespace {

const QString Allarme = QStringLiteral("Allarme");

QString testo(const QVariant& v)
{
    return v.isNull() ? QString() : v.toString();
}

// Writes one cell, reusing the item already there: a refill overwrites rows
// instead of rebuilding them, so a large queue refills without churn.
void scriviCella(QTableWidget& g, int riga, int colonna, const QString& t, const QColor& colore,
                 Qt::Alignment allineamento = Qt::AlignLeft | Qt::AlignVCenter, bool suggerimento = false)
{
    QTableWidgetItem* it = g.item(riga, colonna);
    if (!it) {
        it = new QTableWidgetItem;
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        g.setItem(riga, colonna, it);
    }
    it->setText(t);
    if (suggerimento)   // a narrowed column still lets the whole text be read
        it->setToolTip(t);
    it->setForeground(colore);
    it->setBackground(QBrush());   // the grid's own background
    it->setTextAlignment(allineamento);
}

} // namespace

QColor coloreEvento(const QString& tipoEvento)
{
    return tipoEvento == Allarme ? QColor(255, 0, 0) : QColor(0, 0, 255);
}

QString nomeUtente(const store::RecordSet& rs)
{
    const bool azienda = rs.campo(QStringLiteral("Tipo utente")).toBool();
    return testo(rs.campo(azienda ? QStringLiteral("Ragione sociale") : QStringLiteral("Nome")));
}

qint64 RiempiCoda(store::RecordSet& rs, QTableWidget& Coda, Contesto& ctx)
{
    if (rs.recordCount() >= 1)
        rs.moveFirst();
    qint64 ultimoId = 0;
    int riga = 0;
    const bool aggiorna = Coda.updatesEnabled();
    Coda.setUpdatesEnabled(false);
    while (!rs.eof()) {
        const QColor colore = coloreEvento(testo(rs.campo(QStringLiteral("Tipo evento"))));
        if (Coda.rowCount() < riga + 1)
            Coda.setRowCount(riga + 1);
        scriviCella(Coda, riga, 0, testo(rs.campo(QStringLiteral("Codice periferica"))), colore, Qt::AlignCenter);
        const Qt::Alignment sinistra = Qt::AlignLeft | Qt::AlignVCenter;
        scriviCella(Coda, riga, 1, nomeUtente(rs), colore, sinistra, true);
        scriviCella(Coda, riga, 2, testo(rs.campo(QStringLiteral("Descrizione evento"))), colore, sinistra, true);
        scriviCella(Coda, riga, 3, testoDataOra(rs.campo(QStringLiteral("Data e ora"))), colore);
        ultimoId = std::max(ultimoId, rs.campo(QStringLiteral("ID")).toLongLong());
        ++riga;
        rs.moveNext();
    }
    // Rows beyond this fill belong to events no longer queued; an empty set
    // wrote nothing and leaves the grid as it was.
    if (riga > 0)
        Coda.setRowCount(riga);
    Coda.setUpdatesEnabled(aggiorna);
    ctx.NumEventiNuovi = rs.recordCount();
    rs.chiudi();
    return ultimoId;
}

void RiempiStorico(store::RecordSet& rs, QTableView& gridStorico, const QFontMetrics& metriche, QList<qint64>* id)
{
    auto* modello = qobject_cast<ModelloEventi*>(gridStorico.model());
    Q_ASSERT(modello);
    if (id)
        id->clear();
    // The rows are gathered first and handed to the grid in one go: the view
    // lays out once, not once per event.
    QList<ModelloEventi::Riga> righe;
    if (rs.recordCount() >= 1)
        rs.moveFirst();
    // Fields found by name once, then read by position for every row.
    const QStringList nomi = rs.nomiCampi();
    auto posizione = [&nomi](const QString& nome) {
        for (int i = 0; i < nomi.size(); ++i) {
            if (nomi.at(i).compare(nome, Qt::CaseInsensitive) == 0)
                return i;
        }
        return -1;
    };
    const int cId = posizione(QStringLiteral("ID"));
    const int cData = posizione(QStringLiteral("Data e ora"));
    const int cDescrizione = posizione(QStringLiteral("Descrizione evento"));
    const int cTipo = posizione(QStringLiteral("Tipo evento"));
    auto campo = [&rs](int i) { return i >= 0 ? rs.campo(i) : QVariant(); };
    while (!rs.eof()) {
        righe.append({campo(cData), testo(campo(cDescrizione)), campo(cTipo).toString() == Allarme});
        if (id)
            id->append(campo(cId).toLongLong());
        rs.moveNext();
    }
    rs.chiudi();
    if (righe.isEmpty())
        righe.append(ModelloEventi::Riga{});
    gridStorico.setColumnWidth(
        1, metriche.horizontalAdvance(QStringLiteral("Esaurimento credito; Batteria scarica; Segnale debole;")));
    gridStorico.setColumnWidth(
        0, metriche.horizontalAdvance(QStringLiteral("00/00/0000 00.00.00")) + twips::inPixel(120));
    modello->imposta(std::move(righe));
}

StatoCoda LeggiStatoCoda(store::Database& db)
{
    // One aggregate instead of walking a record set, and on the events
    // themselves rather than through `Coda Query`: the view's left join on
    // the subscriber's key can neither add nor drop a row, so it has the same
    // rows as the unarchived events, and these are counted on the index of
    // [Archiviato] alone (its entries carry the ID) without reading a single
    // event or subscriber, however large either table grows.
    store::RecordSet rs = db.apriRecordSet(QStringLiteral(
        "SELECT count(*) AS n, coalesce(max([ID]), 0) AS ultimo FROM ArchivioEventi WHERE [Archiviato] = FALSE"));
    StatoCoda s;
    if (!rs.eof()) {
        s.conteggio = rs.campo(0).toInt();
        s.ultimoId = rs.campo(1).toLongLong();
    }
    rs.chiudi();
    return s;
}

int ArchiviaCoda(Contesto& c, qint64 ultimoIdMostrato)
{
    store::Database& db = *c.db;
    store::Transazione t(db);
    // The events themselves rather than `Coda Query` (the same rows, see
    // LeggiStatoCoda). On a server the rows are locked as they are read:
    // another desk archiving at the same moment is waited for, and what it
    // archived is then no longer among them, so each event is archived, and
    // recorded as archived, by one desk only. On a file the transaction
    // already holds the writers' lock.
    QList<qint64> id;
    for (store::RecordSet rs = db.apriRecordSet(
             db.suServer()
                 ? QStringLiteral("SELECT \"ID\" FROM \"ArchivioEventi\" WHERE \"Archiviato\" = FALSE ORDER BY \"ID\" "
                                  "FOR UPDATE")
                 : QStringLiteral("SELECT \"ID\" FROM \"ArchivioEventi\" WHERE \"Archiviato\" = FALSE ORDER BY \"ID\""));
         !rs.eof(); rs.moveNext())
        id << rs.campo(0).toLongLong();
    if (id.isEmpty())
        return -1;
    id.erase(std::remove_if(id.begin(), id.end(), [&](qint64 x) { return x > ultimoIdMostrato; }), id.end());
    if (id.isEmpty()) {
        t.conferma();
        return 0;
    }
    const QDateTime adesso = c.orologio ? c.orologio->adesso() : QDateTime::currentDateTime();
    db.esegui(QStringLiteral("UPDATE \"ArchivioEventi\" SET \"Archiviato\" = TRUE, \"Archiviato il\" = ?, "
                             "\"Archiviato da\" = ? WHERE \"Archiviato\" = FALSE AND \"ID\" <= ?"),
              {adesso, c.operatore, ultimoIdMostrato});
    RegistraOperazione(c, azione::Archiviazione, QStringLiteral("%1 eventi").arg(id.size()),
                       QStringLiteral("ID %1").arg(IntervalliId(id)));
    t.conferma();
    return int(id.size());
}

} // namespace sorvela
