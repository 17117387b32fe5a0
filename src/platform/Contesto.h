#pragma once
// The state the console's parts share, held in one object instead of globals:
// the database handle, the serial line to the handset, the port number, the
// cancel flag of the progress window, the count of new events last shown, the
// open flags of the operator windows and the picker's caller tag, together
// with the clock, the message boxes and the settings every part reads.
//
// One Contesto exists per running console (the main window builds it); tests
// build their own with a virtual clock, scripted message boxes and a settings
// file in a temporary folder. Everything runs on the user-interface thread.

#include <QByteArray>
#include <QDateTime>
#include <QPointer>
#include <QString>

class QSerialPort;
class QTimer;

namespace sorvela {

class Orologio;
class Messaggi;
class Preferenze;
namespace store { class Database; }
namespace modem { class SorveglianzaTelefono; }

// The progress window "InCorso", seen from the logic that shows it: a label
// set by the caller and a cancel button that only sets AnnullaAttesa.
class Avanzamento {
public:
    virtual ~Avanzamento() = default;
    virtual void mostra(const QString& etichetta) = 0;
    virtual void chiudi() = 0;
};

struct FinestreAperte {
    bool AnagraficaUtenti = false;
    bool CodaEventi = false;
    bool Form7 = false;
    bool Periferica = false;
    bool ContattiUtente = false;
};

struct Contesto {
    store::Database* db = nullptr;     // open for the whole run
    QSerialPort* MSComm1 = nullptr;    // the line to the handset; owned by the main window
    QTimer* Timer1 = nullptr;          // the one-second tick; null where there is none (tests)
    Avanzamento* InCorso = nullptr;    // progress window; null means none is shown

    Orologio* orologio = nullptr;
    Messaggi* messaggi = nullptr;
    Preferenze* preferenze = nullptr;
    QString cartellaDati;              // folder of Sorvela.db and blip.wav

    qint16 NumeroPorta = 1;
    bool AnnullaAttesa = false;
    // Who holds the serial line for an exchange of several commands (the
    // retrieval cycle, a call to a unit); empty while it is free. A second
    // holder would steal the first one's replies, so it must wait or refuse.
    QString lineaInUso;
    // The exchange with the handset, kept by the modem layer between commands.
    struct {
        QString comandoInCorso;       // last command written (without CR), its reply still due
        int eco = -1;                 // the handset echoes commands: -1 not known yet, 0 no, 1 yes
        int scambiMuti = 0;           // exchanges in a row that got nothing back
        QByteArray codaLinea;         // the last bytes read, so an indication split across reads is seen
        bool messaggiInAttesa = false; // a new-message indication seen and not yet served by a retrieval
        QDateTime riprovaLettura;     // messages were left in the handset by a fault: read again from then on
    } modem;
    modem::SorveglianzaTelefono* sorveglianza = nullptr; // the handset's state; null where nobody watches (tests)
    int NumEventiNuovi = 0;            // the count of new events last shown; a big archive passes 32767
    FinestreAperte aperte;
    QString tagPicker;                 // "<window>_<field>" for the subscriber picker
    QString operatore = QStringLiteral("Operatore"); // who is on duty: every recorded action names him

    QString percorsoDatabase() const { return cartellaDati + QStringLiteral("/Sorvela.db"); }
};

// Suspends the tick for the life of the object: routines that hold the line or
// the database for long keep the tick away from them this way, and the tick is
// resumed even when they leave early.
class TickSospeso {
public:
    explicit TickSospeso(Contesto& c);
    ~TickSospeso();
    TickSospeso(const TickSospeso&) = delete;
    TickSospeso& operator=(const TickSospeso&) = delete;

private:
    QPointer<QTimer> m_timer;
    bool m_eraAttivo = false;
};

} // namespace sorvela
