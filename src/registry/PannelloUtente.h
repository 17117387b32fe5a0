#pragma once
// The upper part of the subscriber window: the frame "Dati Utente" (code,
// names, address, notes, the search and contacts buttons) and the option
// pairs "Monitoraggio" and "Tipo Utenza". It shows and gathers its share of a
// SchedaUtente and reports every change the operator makes to it, except to
// `Codice`, whose changes the window judges itself.
//
// Control names: the option pairs are QButtonGroups "Monitoraggio" and
// "Utenza1" over the radio buttons "Monitoraggio_0"/"Monitoraggio_1"
// ("Attivo"/"Non Attivo") and "Utenza1_0"/"Utenza1_1" ("Azienda"/"Privato").

#include "registry/Utenti.h"

#include <QList>
#include <QWidget>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace sorvela::registry {

class PannelloUtente : public QWidget {
    Q_OBJECT
public:
    explicit PannelloUtente(QWidget* genitore = nullptr);

    QLineEdit* codice() const { return m_codice; }
    // Where the focus goes after a code: the company name when the
    // subscriber is a company, else the name.
    QLineEdit* primoCampo() const;
    // The address fields in the order Enter follows.
    QList<QLineEdit*> indirizzo() const;

    void leggi(SchedaUtente& s) const;
    void mostra(const SchedaUtente& s);

signals:
    void modificato();

private:
    void scegliUtenza(bool azienda);
    void scegliMonitoraggio(bool attivo);

    QLineEdit* m_codice = nullptr;
    QLabel* m_lblRagSociale = nullptr;
    QLineEdit* m_ragSociale = nullptr;
    QLineEdit* m_nominativo = nullptr;
    QLineEdit* m_indirizzo = nullptr;
    QLineEdit* m_citta = nullptr;
    QLineEdit* m_provincia = nullptr;
    QLineEdit* m_cap = nullptr;
    QLineEdit* m_note = nullptr;
    QButtonGroup* m_monitoraggio = nullptr;
    QRadioButton* m_attivo = nullptr;
    QRadioButton* m_nonAttivo = nullptr;
    QButtonGroup* m_utenza = nullptr;
    QRadioButton* m_azienda = nullptr;
    QRadioButton* m_privato = nullptr;
};

} // namespace sorvela::registry
