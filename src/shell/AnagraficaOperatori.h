#pragma once
// "Anagrafica Operatori": the operators who may be on duty. A list of names
// with whether each has a password and is active, and below it the chosen
// one: a new name, a new password (typed twice), "Nessuna password", "Attivo".
// A name, once saved, stays: the record of actions refers to it, so an
// operator who leaves is made inactive rather than deleted. A top-level
// dialog, shown modeless; it deletes itself when it closes.

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace sorvela {

struct Contesto;

class AnagraficaOperatori : public QDialog {
    Q_OBJECT
public:
    explicit AnagraficaOperatori(Contesto& c, QWidget* genitore = nullptr);

    void nuovo();
    // Saves what is on screen; false (and the operator told why) when nothing
    // was saved.
    bool salva();

signals:
    void operatoriCambiati();

private:
    void carica(const QString& scegli = {});
    void mostraScelto();

    Contesto& m_ctx;
    QTableWidget* m_elenco;
    QLineEdit* m_nome;
    QLineEdit* m_password;
    QLineEdit* m_conferma;
    QCheckBox* m_senzaPassword;
    QCheckBox* m_attivo;
};

} // namespace sorvela
