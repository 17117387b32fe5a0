#pragma once
// What a server announces to the desks: every change to the events, the
// messages of no subscriber or the receivers' notices is announced on the
// channel "sorvela" when its transaction commits (the schema's triggers do
// it, whoever wrote), with the table's name. A desk listens here and
// refreshes at once instead of at its next look.
//
// The listening connection is a connection of its own, opened and read
// without ever waiting on the caller's thread: the connect runs step by step
// as its socket is ready, and the announcements are read as they arrive. A
// lost connection is said (`inAscolto` false) and opened again after 1, 2, 4
// and then every 8 s; once it is back, `inAscolto` true tells the caller to
// catch up on what was announced meanwhile, which nobody heard.
//
// On a file there is nobody to listen to: nothing is opened, and the
// caller's one-second look is the only way.

#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <memory>

class QSocketNotifier;
class QTimer;
struct pg_conn;

namespace sorvela::store {

inline const QString CanaleAnnunci = QStringLiteral("sorvela");

class Annunci : public QObject {
    Q_OBJECT
public:
    // Starts listening to the server of `url` (a libpq address, see
    // Database::eServer). Nothing happens for a file's path.
    explicit Annunci(const QString& url, QObject* genitore = nullptr);
    ~Annunci() override;

    bool inAscolto() const { return m_inAscolto; }
    // Why it is not listening; empty while it is.
    QString motivo() const { return m_motivo; }

signals:
    // A table changed: "ArchivioEventi", "MessaggiNonAttribuiti", "AvvisiRicevitore".
    void annuncio(const QString& tabella);
    // Listening began (again) or was lost.
    void ascolto(bool inAscolto);

private:
    void collega();
    void avanzaCollegamento();
    void leggi();
    void perso(const QString& motivo);
    void chiudi();
    void sorveglia(bool lettura);

    QString m_url;
    pg_conn* m_pg = nullptr;
    std::unique_ptr<QSocketNotifier> m_lettura;
    std::unique_ptr<QSocketNotifier> m_scrittura;
    QTimer* m_riprova = nullptr;
    QTimer* m_scadenzaCollegamento = nullptr;
    int m_attesaMs = 0;
    bool m_inAscolto = false;
    bool m_listenInviato = false;
    bool m_dettoPerso = false; // the loss has been told since listening last began
    QString m_motivo;
};

} // namespace sorvela::store
