#pragma once
// The settings window "Impostazioni": the choice and check of the serial port
// the handset hangs on. An ordinary top-level dialog, shown modeless; it
// deletes itself when it closes. Whatever way it closes, the line is left open
// on the configured port (or closed, with the operator told why), never on a
// port that "Verifica" happened to probe last.

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

    // Every way out (OK, Annulla, the close box, Escape) passes here.
    void done(int risultato) override;

private:
    void verifica();
    void conferma();
    // Reopens the line on NumeroPorta; stores the number when it opened,
    // otherwise goes back to `precedente` and leaves the line closed.
    void riapri(qint16 precedente);
    bool registraCambio(qint16 precedente);

    Contesto& m_ctx;
    QComboBox* m_cmbPort;
    QPushButton* m_command1;
    bool m_chiusa = false;
};

} // namespace sorvela
