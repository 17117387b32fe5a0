#pragma once
// "Operatore di turno": who is on duty at the desk, chosen from the active
// operators, with a password for those who have one. Asked at start-up when
// operators are defined (then it cannot be dismissed: every action is
// recorded under a name) and by "Cambia operatore", where "Annulla" keeps the
// operator on duty. A window-modal dialog: the tick, the handset and the
// alert keep running behind it.

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;

namespace sorvela {

struct Contesto;

class SceltaOperatore : public QDialog {
    Q_OBJECT
public:
    SceltaOperatore(Contesto& c, bool annullabile, QWidget* genitore = nullptr);

    // "OK": checks the password and puts the operator on duty, recorded.
    // Wrong password: told in the window, which stays open.
    void conferma();
    void reject() override;

signals:
    void operatoreCambiato(const QString& nome);

private:
    Contesto& m_ctx;
    bool m_annullabile;
    QComboBox* m_operatore;
    QLineEdit* m_password;
    QLabel* m_esito;
};

} // namespace sorvela
