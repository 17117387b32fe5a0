#pragma once
// The settings window "Impostazioni": the choice and check of the serial port
// the handset hangs on. An ordinary top-level dialog, shown modeless; it
// deletes itself when it closes. The line is left open on the configured port
// (or closed, with the operator told why), never on a port that "Verifica"
// probed: the probe itself goes back to the handset's port. While a cycle or a
// call holds the line, "Verifica" and OK do nothing but say so.

#include <QDialog>

class QComboBox;
class QPushButton;

namespace sorvela {

struct Contesto;

// NumeroPorta from the setting "NumPort": 1 when it is missing or empty,
// otherwise its numeric value rounded to an integer.
void LeggiImpostazioni(Contesto& c);

class Impostazioni : public QDialog {
    Q_OBJECT
public:
    explicit Impostazioni(Contesto& c, QWidget* genitore = nullptr);

private:
    void verifica();
    // Opens the chosen port; stores its number when it opened, otherwise
    // tells why and goes back to the port before.
    void conferma();
    static QString occupato(const QString& chi, const QString& cosa);
    bool registraCambio(qint16 precedente);

    Contesto& m_ctx;
    QComboBox* m_cmbPort;
    QPushButton* m_command1;
    bool m_chiusa = false;
};

} // namespace sorvela
