#pragma once
// The contacts window "Contatti dell'utente <code>": one subscriber's contact
// names, numbers and notes in the grid `Recapiti`, edited through one text
// box `Text1` laid over the chosen cell. Below the contacts there is always an
// empty row where a new contact is typed. Saving replaces the subscriber's
// whole list (Contatti::sostituisci).
//
// The main window creates it for a code, puts it in its MDI area and calls
// avvia(). The closing question is asked from closeEvent, so a refusal keeps
// the MDI sub-window open.

#include "catalog/Contatti.h"

#include <QWidget>

class QLineEdit;
class QTableWidget;
class QTimer;

namespace sorvela {

struct Contesto;
class Cornice;

class ContattiUtente : public QWidget {
    Q_OBJECT
public:
    ContattiUtente(Contesto& ctx, const QString& codice, QWidget* parent = nullptr);
    ~ContattiUtente() override;

    // The window's load: open flag, geometry, caption, the stored list, the
    // editor on the first name. Call once, after it is in its sub-window.
    void avvia();

    const QString& codice() const { return m_codice; }
    bool modificato() const { return m_modificato; }
    Cornice* cornice() const { return m_cornice; }

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void carica();
    bool Salva();
    void Annulla();
    void apriCella(int riga, int colonna);
    void testoCambiato(const QString& testo);
    void segui();

    Contesto& m_ctx;
    const QString m_codice;
    Cornice* m_cornice = nullptr;
    QTableWidget* m_griglia = nullptr;
    QLineEdit* m_editor = nullptr;
    QTimer* m_segui = nullptr;
    int m_riga = 0;
    int m_colonna = 0;
    bool m_modificato = false;
    bool m_letto = false;        // the stored list was read
    bool m_avviata = false;
    bool m_chiusa = false;
};

} // namespace sorvela
