#pragma once
// Tab "Eventi" of the subscriber window: the frame "Archivio storico" with
// the unit's history newest first (`gridStorico`), optionally limited to the
// days from `txtFromDate` to `txtToDate`, the full text of an event shown in
// `txtMessaggio` when the mouse is released over its row, "Cerca", the
// printout and "Interroga adesso".
//
// The tab answers the window's calls ricaricaStorico and Stampa (GanciScheda)
// and works on the code whose record is on screen. The history is read by
// the interrogation logic (ApriStorico, TestoEvento), printed by
// StampaStorico, and the unit is called by InterrogaAdesso; the tab only
// gathers the operator's input and shows the results. A reload (the tick's,
// when events arrive) never moves the keyboard focus.

#include <QList>
#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QTableView;

namespace sorvela {

struct Contesto;
class AnagraficaUtenti;
class ModelloEventi;

namespace registry {

class TabEventi : public QWidget {
    Q_OBJECT
public:
    TabEventi(Contesto& ctx, AnagraficaUtenti& finestra);

    // Reads the history of the code on screen within the range fields.
    void ricarica();
    // Prints the rows of the grid as they are shown.
    void Stampa();
    // "Interroga adesso": calls the unit, then shows this tab.
    void interroga();

    QTableView* gridStorico() const { return m_griglia; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    // "Cerca", and Enter in a range field: the record and its history are
    // read again, and the keyboard stays where the search was asked.
    void cerca();
    void mostraMessaggio();

    Contesto& m_ctx;
    AnagraficaUtenti& m_finestra;
    QLineEdit* m_dal = nullptr;
    QLineEdit* m_al = nullptr;
    QTableView* m_griglia = nullptr;
    ModelloEventi* m_modello = nullptr;
    QPlainTextEdit* m_messaggio = nullptr;
    // Event ID of each grid row: the message of a row is looked up by its
    // event, not by its time, which two events may share.
    QList<qint64> m_id;
    qint64 m_idMessaggio = 0;   // the event whose text txtMessaggio shows
    QString m_codiceMostrato;
};

} // namespace registry
} // namespace sorvela
