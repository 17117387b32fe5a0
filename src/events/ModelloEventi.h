#pragma once
// A subscriber's history behind a QTableView: two columns, the event's date
// and time and its description, each row in its type's colour (alarms red,
// the rest blue). A history runs to tens of thousands of events, which a grid
// of one widget item per cell fills far too slowly; here a row is three
// values sharing the texts read from the database, and a date is put into
// its Italian form only when the view shows its row.

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QVariant>

namespace sorvela {

class ModelloEventi : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Riga {
        QVariant dataOra;      // as read: stored text or a date-time
        QString descrizione;
        bool allarme = false;
    };

    explicit ModelloEventi(QObject* genitore = nullptr);

    // Replaces every row at once (one reset, however many rows).
    void imposta(QList<Riga> righe);
    // The text of a cell as shown; empty outside the rows.
    QString testo(int riga, int colonna) const;

    int rowCount(const QModelIndex& genitore = {}) const override;
    int columnCount(const QModelIndex& genitore = {}) const override;
    QVariant data(const QModelIndex& indice, int ruolo = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& indice) const override;

private:
    QList<Riga> m_righe;
};

// [Data e ora] as the operator reads it ("dd/mm/yyyy hh.mm.ss"); a value the
// store could not read as a date is shown as it is rather than dropped.
QString testoDataOra(const QVariant& v);

} // namespace sorvela
