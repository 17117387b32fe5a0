#pragma once
// The rows of an archive search for a QTableView: code, name, date and time,
// type, description, archived, by whom and when. Rows are read a page at a time as the view
// scrolls towards the end (canFetchMore/fetchMore), so a search that matches
// a million events shows its first rows at once.
//
// The model reads through the context's database handle at each page, so it
// keeps working after the handle was closed and reopened (compaction). A
// database error ends the reading and is handed to `errore`.

#include "windows/Archivio.h"

#include <QAbstractTableModel>
#include <functional>

namespace sorvela {

struct Contesto;

class ModelloArchivio : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int RighePerPagina = 500;
    enum Colonna { Codice, Nome, DataOra, Tipo, Descrizione, Archiviato, ArchiviatoDa, NumeroColonne };

    explicit ModelloArchivio(Contesto& ctx, QObject* genitore = nullptr);

    // Starts a new search: counts its events and reads the first page.
    // Throws store::ErroreDatabase, leaving the model empty.
    void cerca(const archivio::Criteri& c);
    void svuota();
    qint64 totale() const { return m_totale; }
    const archivio::Criteri& criteri() const { return m_criteri; }
    const archivio::Riga& riga(int r) const { return m_righe.at(r); }
    // Reads every page still unread (the printout wants them all).
    void leggiTutto();

    std::function<void(const QString&)> errore;

    int rowCount(const QModelIndex& p = {}) const override;
    int columnCount(const QModelIndex& p = {}) const override;
    QVariant data(const QModelIndex& i, int ruolo) const override;
    QVariant headerData(int sezione, Qt::Orientation o, int ruolo) const override;
    bool canFetchMore(const QModelIndex& p) const override;
    void fetchMore(const QModelIndex& p) override;

private:
    Contesto& m_ctx;
    archivio::Criteri m_criteri;
    QList<archivio::Riga> m_righe;
    std::optional<archivio::Segno> m_segno;
    qint64 m_totale = 0;
    bool m_finito = true;
};

} // namespace sorvela
