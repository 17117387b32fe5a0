#pragma once
// The state the console's parts share, held in one object instead of globals:
// the database handle, the owner of the line to the handset (which keeps all
// the line's state), the configured port number, the cancel flag of the
// progress window, the count of new events last shown, the open flags of the
// operator windows and the picker's caller tag, together with the clock, the
// message boxes and the settings every part reads.
//
// One Contesto exists per running console (the main window builds it); tests
// build their own with a virtual clock, scripted message boxes and a settings
// file in a temporary folder. Everything runs on the user-interface thread.

#include <QPointer>
#include <QString>

class QTimer;

namespace sorvela {

class Orologio;
class Messaggi;
class Preferenze;
namespace store { class Database; }
namespace modem { class LineaTelefono; }

// The progress window "InCorso", seen from the logic that shows it: a label
// set by the caller and a cancel button that only sets AnnullaAttesa.
class Avanzamento {
public:
    virtual ~Avanzamento() = default;
    virtual void mostra(const QString& etichetta) = 0;
    virtual void chiudi() = 0;
};

// Shows the progress window labelled `etichetta` for the life of the object
// (a call, a retrieval cycle), however it ends; nothing where there is none.
class FinestraInCorso {
public:
    FinestraInCorso(Avanzamento* finestra, const QString& etichetta)
        : m_finestra(finestra)
    {
        if (m_finestra)
            m_finestra->mostra(etichetta);
    }
    ~FinestraInCorso()
    {
        if (m_finestra)
            m_finestra->chiudi();
    }
    FinestraInCorso(const FinestraInCorso&) = delete;
    FinestraInCorso& operator=(const FinestraInCorso&) = delete;

private:
    Avanzamento* m_finestra;
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
    modem::LineaTelefono* linea = nullptr; // the line to the handset and its state; owned by the main window
    QTimer* Timer1 = nullptr;          // the one-second tick; null where there is none (tests)
    Avanzamento* InCorso = nullptr;    // progress window; null means none is shown

    Orologio* orologio = nullptr;
    Messaggi* messaggi = nullptr;
    Preferenze* preferenze = nullptr;
    QString cartellaDati;              // folder of Sorvela.db and blip.wav
    QString urlDatabase;               // a PostgreSQL server's connection text; empty: Sorvela.db in cartellaDati

    qint16 NumeroPorta = 1;            // the configured port of the handset
    bool AnnullaAttesa = false;
    int NumEventiNuovi = 0;            // the count of new events last shown; a big archive passes 32767
    FinestreAperte aperte;
    QString tagPicker;                 // "<window>_<field>" for the subscriber picker
    QString operatore = QStringLiteral("Operatore"); // who is on duty: every recorded action names him

    // What store::Database::apri takes: the server's connection text, else the file.
    QString percorsoDatabase() const
    {
        return urlDatabase.isEmpty() ? cartellaDati + QStringLiteral("/Sorvela.db") : urlDatabase;
    }
    bool suServer() const;
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
