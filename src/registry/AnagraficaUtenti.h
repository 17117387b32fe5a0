#pragma once
// The subscriber window "Anagrafica Utenti": one subscriber at a time, found
// by its six-digit code. It gathers the operator's typing into a SchedaUtente
// and shows what the registry logic (Utenti, AppuntiConfigurazione) returns;
// the record rules themselves live there.
//
// The main window creates it, puts it in its MDI area and calls avvia(). The
// window asks its closing question from closeEvent, so a refusal keeps the
// MDI sub-window open.
//
// The window is put together from parts of its own: the upper panel (code,
// names, address, monitoring, subscriber type), the tab "Impianto" and the
// tab "Eventi". The inputs table (in tab "Impianto") and the history (tab
// "Eventi") are widgets of their own that settle into contenitoreIngressi()
// and impostaTabEventi() and answer the calls in ganci(); until they are
// there those calls do nothing. The key rules of the fields are in
// RegoleTasti; the record rules in Utenti and AppuntiConfigurazione.

#include "platform/Messaggi.h"
#include "registry/Utenti.h"

#include <QWidget>
#include <functional>

class QLineEdit;
class QTabWidget;

namespace sorvela {

struct Contesto;
class Cornice;
namespace registry {
class PannelloUtente;
class RegoleTasti;
class TabImpianto;
} // namespace registry

// What the window asks of the inputs table and of the history.
struct GanciScheda {
    std::function<void(bool)> VisualTutto;     // tick (all inputs) or clear (inputs in use)
    std::function<void()> azzeraIngressi;      // one empty data row, for a new subscriber
    std::function<void()> fermaTracciamento;   // stop the inputs editor's tracking timer
    std::function<void()> chiudiEditor;        // close the inputs table's open editor
    std::function<void()> nonInModifica;       // no editor open (the window opens)
    std::function<void(const QString&)> caricaIngressi;        // a known subscriber's kept inputs
    // The rows to keep, when saving; nothing when the kept ones could not be read.
    std::function<std::optional<QList<registry::RigaIngresso>>()> righeIngressi;
    std::function<void()> ricaricaStorico;     // reload the history of codiceCaricato()
    std::function<void()> Stampa;              // print the history
};

class AnagraficaUtenti : public QWidget {
    Q_OBJECT
public:
    explicit AnagraficaUtenti(Contesto& ctx, QWidget* parent = nullptr);
    ~AnagraficaUtenti() override;

    // The window's load: open flag, geometry, type list, an empty form, the
    // focus in `Codice`. Call once, after the window is in its MDI sub-window.
    void avvia();

    // Puts a code into `Codice` without loading it. When the window holds
    // unsaved changes of another code it first asks the save question; a
    // Cancel keeps the changes and the code they belong to (returns false).
    bool setCodice(const QString& codice);
    QString codice() const;
    // The code whose record is on screen: what `Codice` held when it was
    // last loaded, while `Codice` may hold a code being typed.
    QString codiceCaricato() const { return m_codiceCaricato; }

    // Loads the code in `Codice`: a stored subscriber, or a new one with its
    // defaults. Unsaved changes of the code already shown are kept (only the
    // history is refreshed): a refresh from outside must not throw away the
    // operator's typing; `Annulla` is how the operator drops it.
    void Carica();
    // New events arrived (the tick): only the history of the code on screen
    // is read again. The fields, the focus and the cursor belong to the
    // operator, who may be typing while events arrive.
    void nuoviEventi();
    // The history's print-out.
    void Stampa();

    // For the inputs table: the record counts as modified.
    void segnaModificato();
    bool modificato() const { return m_modificato; }
    // The chosen peripheral type: its name and its list position (0 when it
    // is none, or a name typed but not yet in the list).
    QString tipoPeriferica() const;
    int posizioneTipo() const;
    QString codiceCopiato() const { return m_appunti.copiato(); }

    GanciScheda& ganci() { return m_ganci; }
    QWidget* contenitoreIngressi() const;   // "Dati Periferica" frame of tab "Impianto"
    // Tab "Eventi": the window opens with an empty page, which the history
    // widget replaces (the window takes ownership).
    void impostaTabEventi(QWidget* tab);
    QWidget* tabEventi() const;
    Cornice* cornice() const { return m_cornice; }

signals:
    // `SSCommand1`: the main window closes an open contacts window (which
    // may refuse) and opens one for this code.
    void apriContatti(const QString& codice);
    // `SSCommand2`: the picker caller tag is already set; the main window
    // opens the subscriber picker, which hands the chosen code back through
    // setCodice() and Carica().
    void apriRicerca();
    // `SSCommand3`: the catalog, on this window's protocol and type positions.
    void apriCatalogo(int posizioneProtocollo, int posizioneTipo);

protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void costruisci();
    void collega();
    void riempiTipi();

    registry::SchedaUtente scheda() const;
    void mostra(const registry::SchedaUtente& s);
    void caricaCodice();              // loads Codice whatever the flags say
    void svuota();                    // no code: an empty form, nothing loaded
    void mostraDateMemorizzate();
    void mostraInizi();
    void azzeraFlag();
    void segnaScadenza();

    bool Salva();                     // false when nothing was stored
    void Cancella();
    void Annulla();
    void Duplica();
    void Incolla();
    void Cerca();
    void esci();

    void codiceModificato();          // the operator changed `Codice`
    void lasciaCodice();
    void lasciaMatricola();
    // The save question of a code change or a close; true when the window
    // may go on (Yes saved, or No).
    Risposta domandaSalvataggio(Pulsanti pulsanti);
    void erroreDatabase(const QString& testo, const std::exception& e);

    Contesto& m_ctx;
    Cornice* m_cornice = nullptr;
    registry::AppuntiConfigurazione m_appunti;
    GanciScheda m_ganci;

    QString m_codiceCaricato;
    bool m_modificato = false;
    bool m_scadenzaCambiata = false;
    bool m_inDomanda = false;
    bool m_avviata = false;
    bool m_chiusa = false;

    registry::PannelloUtente* m_utente = nullptr;
    registry::TabImpianto* m_impianto = nullptr;
    registry::RegoleTasti* m_regole = nullptr;
    QLineEdit* m_codice = nullptr;    // the upper panel's `Codice`
    QLineEdit* m_matricola = nullptr; // tab "Impianto"'s `Matricola`
    QTabWidget* m_tab = nullptr;
};

} // namespace sorvela
