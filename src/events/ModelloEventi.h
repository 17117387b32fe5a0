#pragma once
// The rows of an event grid held as plain values behind a QTableView: a
// subscriber's history runs to tens of thousands of events, which a grid of
// one widget item per cell fills far too slowly. Read-only; each row has its
// cells' texts and one text colour (alarms red, the rest blue), each column
// its alignment.

#include <QAbstractTableModel>
#include <QColor>
#include <QList>
#include <QStringList>

namespace sorvela {

class ModelloEventi : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Riga {
        QStringList celle;
        QColor colore;
    };

    ModelloEventi(QList<Qt::Alignment> allineamenti, QObject* genitore = nullptr);

    // Replaces every row at once (one reset, however many rows).
    void imposta(QList<Riga> righe);
    // The text of a cell; empty outside the rows.
    QString testo(int riga, int colonna) const;

    int rowCount(const QModelIndex& genitore = {}) const override;
    int columnCount(const QModelIndex& genitore = {}) const override;
    QVariant data(const QModelIndex& indice, int ruolo = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& indice) const override;

private:
    QList<Qt::Alignment> m_allineamenti;
    QList<Riga> m_righe;
};

} // namespace sorvela
