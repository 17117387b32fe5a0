#pragma once
// The main window: menus, the MDI area for the operator windows, the status
// strip, the one-second tick timer and the close sequence. It is the only
// place that knows every window; windows meet through the routines it calls.

#include "platform/Contesto.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QMdiArea;
class QMdiSubWindow;
class QThread;
class QTimer;

namespace sorvela {

namespace store { class Annunci; class Database; }
namespace ricevitore { class Ricevitore; }
class Allarme;
class AnagraficaUtenti;
class CodaEventi;
class InCorso;
class StrisciaStato;
class Tick;

class MDIForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit MDIForm1(Contesto& ctx, QWidget* genitore = nullptr);
    ~MDIForm1() override;

    // Start-up after the database is open: lays out the status strip,
    // prepares the alert, reads the port number and, unless the settings say
    // "[Ricevitore] Modo=esterno", starts the receiver on a thread of its
    // own. The desk never opens the port. The tick starts one interval later.
    void avvia();

    // The main window keeps the database handle for the whole run (the
    // compaction closes and reopens it) and publishes it in the context.
    void adottaDatabase(std::unique_ptr<store::Database> db);

    void Monitor();

    Contesto& contesto() { return m_ctx; }
    QMdiArea* area() const { return m_area; }
    StrisciaStato* striscia() const { return m_striscia; }
    Allarme* allarme() const { return m_allarme; }
    InCorso* inCorso() const { return m_inCorso; }
    Tick* tick() const { return m_tick; }
    // The receiver this desk runs on a thread of its own; null in external
    // mode, or when another receiver holds the database. Lives in that thread.
    ricevitore::Ricevitore* ricevitoreIncorporato() const { return m_ricevitore; }
    QTimer* Timer1() const { return m_timer1; }
    QTimer* Timer3() const { return m_timer3; }

    // Menu commands.
    void mnuVisualCoda();
    void mnuCaricaMessaggi();
    void mnuAnagraficaUtenti();
    void mnuComPort();
    void mnuInformazioni();
    void mnuCompatta();
    void mnuCancEventi();
    void mnuStorico();
    void mnuPeriferiche();
    void mnuCambiaOperatore();
    void mnuAnagraficaOperatori();
    void mnuRegistro();
    void mnuNonAttribuiti();

    // At start-up, when operators are defined: who is on duty (a question
    // that cannot be dismissed; everything else keeps running behind it).
    void chiediOperatore();
    // The strip: the operator on duty, and the messages of unknown senders.
    void mostraOperatore();
    void mostraSconosciuti();

    // Opens an operator window as an MDI child; an open one is closed first
    // (its own closing logic may refuse, and then the open one stays). A
    // window the console opens by itself (`attiva` false) shows without
    // taking the keyboard focus from the window the operator works in.
    QMdiSubWindow* riapri(const QString& nome, const std::function<QWidget*()>& crea, bool attiva = true);
    // "Eventi nuovi", from the menu (active) or by the tick (not active).
    void apriCoda(bool attiva);
    QWidget* finestra(const QString& nome) const;
    CodaEventi* codaEventi() const;
    AnagraficaUtenti* anagraficaUtenti() const;

    AnagraficaUtenti* apriAnagrafica();
    void mostraUtente(const QString& codice);
    void apriContatti(const QString& codice);
    // The subscriber picker, for the window named by the caller tag; an open
    // picker is closed first. Its choice comes back to consegnaCodice().
    void apriRicercaCodice();
    void consegnaCodice(const QString& finestra, const QString& codice);
    // The peripheral catalog; from the subscriber window, on its protocol
    // and type positions (-1: as the catalog opens by itself).
    void apriCatalogo(int posizioneProtocollo = -1, int posizioneTipo = -1);
    // What the receiver wrote since the last look: the strip's handset
    // panels, "Ricevitore non attivo", the progress window, the notices and
    // the message reports. Every second, and at once when the receiver in
    // this program says something changed.
    void aggiornaRicevitore();

signals:
    // The close went ahead: the database is closed and the program ends.
    void terminata();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void creaMenu();
    // The small windows (settings, clean-up, information) exist once: when
    // `nome` is already open it comes to the front and this returns true.
    bool portaDavanti(const QString& nome);
    void avviaRicevitore();
    // On a server: listens for its announcements (see store/Annunci.h).
    void ascoltaServer();
    void annunciato(const QString& tabella);
    void ricevitoreRifiutato(const QString& motivo);
    void mostraEsitoLettura(const QString& esito);

    Contesto& m_ctx;
    QMdiArea* m_area;
    StrisciaStato* m_striscia;
    QTimer* m_timer1;
    QTimer* m_timer3;
    Allarme* m_allarme;
    InCorso* m_inCorso;
    Tick* m_tick = nullptr;
    std::unique_ptr<store::Database> m_db;
    store::Annunci* m_annunci = nullptr;
    ricevitore::Ricevitore* m_ricevitore = nullptr;
    QThread* m_filo = nullptr;
    bool m_arrestoChiesto = false;   // "Esci" waits for the receiver to stop
    bool m_ricevitoreFermo = true;   // no receiver runs in this program
    bool m_chiusuraInAttesa = false; // "Esci" waits for the line to be free
    qint64 m_ultimoAvviso = -1;      // the receiver's last notice shown; -1 before the first look
    QList<qint64> m_letture;         // "Carica messaggi" asked, answer still due
    QString m_attivitaMostrata;      // the progress window's label; empty when hidden
    QString m_attivitaDi;            // the receiver whose activity that is
    bool m_ricevitoreMuto = false;   // "Ricevitore non attivo" told
    QElapsedTimer m_dallAvvio;
    bool m_apreDaSola = false;   // a window the console opens by itself is showing
    int m_sconosciuti = 0;       // messages of unknown senders last shown on the strip
};

} // namespace sorvela
