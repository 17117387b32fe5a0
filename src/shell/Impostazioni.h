#pragma once
// The settings window "Impostazioni": the choice and check of the serial port
// the handset hangs on. An ordinary top-level dialog, shown modeless; it
// deletes itself when it closes. The handset is the receiver's: "Verifica"
// and OK are requests to it, answered once the line is free (a cycle or a
// call in progress ends first). While the answer is due the window waits,
// with the desk going on, and cannot be closed: a port changed behind a
// closed window would go unrecorded. The line is left on the configured port
// (or on the one before, with the operator told why), never on a port that
// "Verifica" probed.

#include <QDeadlineTimer>
#include <QDialog>
#include <functional>

class QComboBox;
class QPushButton;
class QTimer;

namespace sorvela {

struct Contesto;

// NumeroPorta from the setting "NumPort": 1 when it is missing or empty,
// otherwise its numeric value rounded to an integer.
void LeggiImpostazioni(Contesto& c);

class Impostazioni : public QDialog {
    Q_OBJECT
public:
    explicit Impostazioni(Contesto& c, QWidget* genitore = nullptr);

    // How long the window waits for the receiver's answer.
    static constexpr int AttesaRispostaSecondi = 90;

protected:
    void reject() override;

private:
    void verifica();
    // Opens the chosen port; stores its number when it opened, otherwise
    // tells why and goes back to the port before.
    void conferma();
    bool registraCambio(qint16 precedente);
    // Files the request and calls `risposta` with the receiver's answer
    // (servita false: no answer in time); false, with the operator told, when
    // no receiver runs or the request could not be filed.
    bool chiedi(const QString& richiesta, const QString& argomento, const QString& cosa,
                std::function<void(bool servita, const QString& esito)> risposta);
    void sonda();
    void inAttesa(bool si);

    Contesto& m_ctx;
    QComboBox* m_cmbPort;
    QPushButton* m_command1;
    QPushButton* m_ok;
    QPushButton* m_annulla;
    QTimer* m_sonda;
    qint64 m_richiesta = 0;
    QString m_ricevitoreScelto; // the receiver the request went to
    QDeadlineTimer m_scadenza;
    std::function<void(bool, const QString&)> m_risposta;
    bool m_chiusa = false;
};

} // namespace sorvela
