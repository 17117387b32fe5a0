#pragma once
// "Messaggi non attribuiti": the messages whose sender matched no subscriber,
// kept instead of dropped. "Assegna…" asks the main window for the
// subscriber picker (through `apriRicerca`) and files the chosen row as an
// event of the code that comes back (assegnaA); "Elimina" deletes the chosen
// row after a question. Both are recorded; `cambiati` tells the main window
// that the count on the strip moved.

#include <QList>
#include <QWidget>

class QTableWidget;

namespace sorvela {

struct Contesto;

class FinestraNonAttribuiti : public QWidget {
    Q_OBJECT
public:
    explicit FinestraNonAttribuiti(Contesto& c, QWidget* genitore = nullptr);
    QSize sizeHint() const override;

    void aggiorna();
    // "Assegna…": with a row chosen, asks for the picker.
    void assegna();
    // The picker's choice: the row chosen when "Assegna…" was pressed goes to
    // `codice`.
    void assegnaA(const QString& codice);
    void elimina();

    QTableWidget* griglia() const { return m_griglia; }

signals:
    void apriRicerca();
    void cambiati();

private:
    qint64 scelto() const;
    void chiudi();

    Contesto& m_ctx;
    QTableWidget* m_griglia;
    QList<qint64> m_id;
    qint64 m_daAssegnare = 0;
};

} // namespace sorvela
