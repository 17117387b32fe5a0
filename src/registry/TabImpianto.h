#pragma once
// Tab "Impianto" of the subscriber window: the frames "Linee telefoniche",
// "Dati periferica" (type, protocol, test period with its spin control,
// serial number) and "Dati di installazione", and the frame "Dati Periferica"
// where the inputs table settles. It shows and gathers its share of a
// SchedaUtente and reports every change the operator makes to it.

#include "registry/Utenti.h"

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QScrollBar;

namespace sorvela::registry {

class TabImpianto : public QWidget {
    Q_OBJECT
public:
    explicit TabImpianto(QWidget* genitore = nullptr);

    void leggi(SchedaUtente& s) const;
    void mostra(const SchedaUtente& s);
    // The expiry and installation dates alone, as stored.
    void mostraDate(const SchedaUtente& s);
    // Type, period and installer, as pasted from another subscriber.
    void mostraConfigurazione(const Configurazione& c);

    // The type list by position (entry 0 the blank "no type"); the text on
    // screen is kept, even a name typed but not yet saved.
    void impostaTipi(const QStringList& tipi);
    // Shows a type by name, selecting its entry when the list has one.
    void impostaModello(const QString& modello);
    QString tipoPeriferica() const;
    bool tipoInElenco(const QString& nome) const;
    // The chosen peripheral type's list position (0 when it is none, or a
    // name typed but not yet in the list) and the protocol's.
    int posizioneTipo() const;
    int posizioneProtocollo() const;

    QLineEdit* matricola() const { return m_matricola; }
    QWidget* contenitoreIngressi() const;   // "Dati Periferica" frame

signals:
    void modificato();
    // `Scadenza` changed: a new expiry deserves a new warning.
    void scadenzaModificata();

private:
    void passoPeriodo(int valore);

    QLineEdit* m_gsmFonia = nullptr;
    QLineEdit* m_gsmDati = nullptr;
    QLineEdit* m_pstn = nullptr;
    QLineEdit* m_scadenza = nullptr;
    QComboBox* m_periferiche = nullptr;
    QComboBox* m_protocollo = nullptr;
    QLineEdit* m_sopravvivenza = nullptr;
    QScrollBar* m_passoPeriodo = nullptr;
    QLineEdit* m_matricola = nullptr;
    QLineEdit* m_installata = nullptr;
    QLineEdit* m_installatore = nullptr;
    QLineEdit* m_telInstallatore = nullptr;
    QGroupBox* m_ingressi = nullptr;
};

} // namespace sorvela::registry
