#pragma once
// "Archivio Storico": the search of the event archive. The operator sets one
// code (or "Tutti"), a range of days and the report kinds wanted, optionally
// one event description of that code, and "Avvia Ricerca" lists the events
// newest first under the options, with the count, the message text of the
// selected row and a printout.
//
// The window only gathers and shows: the checks and the queries are in
// Archivio, the rows in ModelloArchivio. It does not know the picker: it asks
// for it with `apriRicerca` (the caller tag "Form7_Text3" is set when the
// window opens), and the main window hands the chosen code back through
// impostaCodice().

#include "windows/ModelloArchivio.h"

#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace sorvela {

struct Contesto;

class Form7 : public QWidget {
    Q_OBJECT
public:
    static inline const QString Titolo = QStringLiteral("Archivio Storico");

    explicit Form7(Contesto& ctx, QWidget* genitore = nullptr);
    ~Form7() override;

    QLineEdit* Text1() const { return m_dal; }
    QLineEdit* Text2() const { return m_al; }
    QLineEdit* Text3() const { return m_codice; }
    QCheckBox* SSCheck1(int i) const { return m_check[i]; }
    QLabel* SSPanel5() const { return m_descrizione; }
    QPushButton* SSCommand1() const { return m_descrizioni; }
    QPushButton* SSCommand2() const { return m_picker; }
    QPushButton* Command1() const { return m_avvia; }
    QPushButton* Stampa() const { return m_stampa; }
    QTableView* griglia() const { return m_griglia; }
    QLabel* conteggio() const { return m_conteggio; }
    QPlainTextEdit* messaggio() const { return m_messaggio; }
    ModelloArchivio* modello() const { return m_modello; }

    QSize sizeHint() const override { return m_dimensione; }

    // The code chosen in the picker goes into the code box.
    void impostaCodice(const QString& codice);
    // "Avvia Ricerca".
    void avviaRicerca();
    // The descriptions offered by "...": the popup list, or null when shut.
    void mostraDescrizioni();
    void scegliDescrizione(const QString& descrizione);
    void stampa();

signals:
    void apriRicerca();

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void costruisci();
    void apri();
    void ricercaPerCodice(bool spuntata);
    void codiceCambiato();
    void invioCodice();
    void chiediPicker();
    void invioData(QLineEdit* campo, bool inizio);
    void rigaCorrente();
    void abilitaEventoSpecifico(bool si);
    void chiudi();

    Contesto& m_ctx;
    QString m_dataRicordata;   // the from-date shown at opening
    QLineEdit* m_codice = nullptr;
    QLineEdit* m_dal = nullptr;
    QLineEdit* m_al = nullptr;
    QCheckBox* m_check[3] = {};
    QLabel* m_etichette[3] = {};     // SSPanel4(0..2)
    QGroupBox* m_opzioni = nullptr;
    QLabel* m_descrizione = nullptr; // SSPanel5
    QPushButton* m_descrizioni = nullptr;
    QPushButton* m_picker = nullptr;
    QPushButton* m_avvia = nullptr;
    QPushButton* m_stampa = nullptr;
    QTableView* m_griglia = nullptr;
    QLabel* m_conteggio = nullptr;
    QPlainTextEdit* m_messaggio = nullptr;
    ModelloArchivio* m_modello = nullptr;
    bool m_chiusa = false;
    QSize m_dimensione;
};

} // namespace sorvela
