#pragma once
// The main window: menus, the MDI area for the operator windows, the status
// strip, the one-second tick timer and the close sequence. It is the only
// place that knows every window; windows meet through the routines it calls.

#include "platform/Contesto.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

class QMdiArea;
class QMdiSubWindow;
class QTimer;

namespace sorvela {

namespace store { class Database; }
namespace modem { class CicloLettura; class LineaTelefono; }
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
    // prepares the alert, reads the port number and opens the serial line.
    // Sends nothing to the handset. The tick starts one interval later.
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
    modem::LineaTelefono* linea() const { return m_linea; }
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
    // One SMS retrieval cycle (manual load and tick).
    void letturaMessaggi();

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
    void avviaLinea();
    void chiudiLinea();
    // Whether something still works on the line or the database: a cycle, a
    // call, a probe, a job of the tick (their waits run the event loop).
    bool lavoroInCorso() const;

    Contesto& m_ctx;
    QMdiArea* m_area;
    StrisciaStato* m_striscia;
    QTimer* m_timer1;
    QTimer* m_timer3;
    Allarme* m_allarme;
    InCorso* m_inCorso;
    Tick* m_tick = nullptr;
    std::unique_ptr<store::Database> m_db;
    std::unique_ptr<modem::CicloLettura> m_ciclo;
    modem::LineaTelefono* m_linea = nullptr;
    bool m_chiusuraInAttesa = false; // "Esci" waits for the line to be free
    bool m_inLettura = false;
    bool m_apreDaSola = false;   // a window the console opens by itself is showing
    int m_sconosciuti = 0;       // messages of unknown senders last shown on the strip
};

} // namespace sorvela
