#pragma once
// The simulated GSM handset: what it answers to AT commands in PDU mode, its
// message store, its calls, the units that answer calls by SMS, and the faults
// it can be told to show. It knows nothing of the pseudo-terminal: bytes from
// the line come in through ricevi(), everything that touches the line goes
// through the Linea the program gives it.

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

namespace sorvela::sim {

enum class Guasto { Nessuno, Muto, Errore, Tronca, Staccato };

class Linea {
public:
    virtual ~Linea() = default;
    virtual void scrivi(const QByteArray& dati) = 0;
    virtual void stacca() = 0;                           // close the line
    virtual QString riattacca(QString* errore) = 0;      // a new line; its path
    virtual void ritmo(int byteAlSecondo) = 0;           // pacing at that rate; 0 none
    virtual bool trattieni(const QString& modo, QString* errore) = 0; // qt|excl|off
};

class Telefono : public QObject {
    Q_OBJECT
public:
    struct Sms {
        int stat = 0; // 0 received unread, 1 received read
        QString mittente;
        QString testo;
        QString pdu;
    };

    Telefono(Linea& linea, int primoIndice, int capacita, QObject* genitore = nullptr);

    // Bytes the console wrote to the line.
    void ricevi(const QByteArray& dati);

    // One line of the control language; returns the lines to print, the last
    // one always "ok ..." or "error: ...".
    QStringList esegui(const QString& riga);

    Guasto guasto() const { return m_guasto; }
    void setRitardoNoCarrier(int ms) { m_ritardoNoCarrier = ms; }
    void setTraccia(bool t) { m_traccia = t; }

signals:
    void fine();

private:
    void eseguiAt(const QString& riga);
    void rispondi(QByteArray r);
    QByteArray rumore(const QStringList& a, QString* errore);
    void ok() { rispondi("\r\nOK\r\n"); }
    void errore() { rispondi("\r\nERROR\r\n"); }
    void elenca(int stat);
    void leggi(int indice);
    void cancella(int indice);
    void componi(const QString& numero);
    int deposita(int stat, const QString& mittente, const QString& testo, int indice = -1);
    int arrivaSms(const QString& mittente, const QString& testo);
    bool inMemoria(int indice) const { return indice >= m_primo && indice < m_primo + m_capacita; }

    // "on PREFIX [amid] COMMAND": a control command run when the next AT
    // command starting with PREFIX arrives, before its reply or in the middle.
    struct Innesco {
        QString prefisso;
        bool aMeta = false;
        QString comando;
    };

    struct Unita {
        int ritardo = 0;
        QString testo;
        QString mittente;
    };

    Linea& m_linea;
    int m_primo;
    int m_capacita;
    QMap<int, Sms> m_memoria;
    QMap<QString, Unita> m_unita; // by the number as dialled, normalised
    QStringList m_storia;
    QList<Innesco> m_inneschi;
    QString m_aMeta; // command to run in the middle of the reply being written
    QByteArray m_riga;
    bool m_eco = true;
    bool m_traccia = false;
    bool m_indicazioni = true;
    Guasto m_guasto = Guasto::Nessuno;
    int m_ritardoNoCarrier = 3000;
    // How a voice dial is answered: "OK" (the call goes out) or, refused at
    // once, "BUSY", "NO CARRIER" or "ERROR".
    QByteArray m_esitoChiamata = "OK";
    // An unsolicited line slipped into every read reply: inside its PDU line
    // or between the PDU line and the final result. Empty: none.
    QString m_nonRichiestoPdu;
    QString m_nonRichiestoOk;
    // What happens to the next reply only ("next cut|twice|late MS"): cut
    // half-way without its final result, sent twice, or held back.
    bool m_prossimaTronca = false;
    bool m_prossimaDoppia = false;
    int m_prossimaRitardo = 0;
    // "slow PREFIX MS": every reply to a command starting with PREFIX comes
    // MS milliseconds late, as a real handset answers "ATH" only once it has
    // hung up. The command being answered, upper case, picks the delay.
    QMap<QString, int> m_lenti;
    QString m_comando;
    // Line noise ("noise random N"): the same bytes on every run.
    quint32 m_seme = 17;
    int m_chiamata = 0; // id of the call in progress, 0 when none
    int m_ultimaChiamata = 0;
};

// "+39 335-123" and "0039335123" are the same number as "335123".
QString numeroNormalizzato(const QString& numero);

} // namespace sorvela::sim
