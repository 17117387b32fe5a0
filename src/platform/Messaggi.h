#pragma once
// The one way the console talks to the operator in a box. Windows and logic
// receive a Messaggi& and never build a QMessageBox themselves, so tests can
// script the operator's answers and read every text that was shown.

#include <QList>
#include <QMap>
#include <QPointer>
#include <QString>
#include <deque>

class QMessageBox;
class QWidget;

namespace sorvela {

enum class Icona { Nessuna, Avviso, Informazione, Domanda, Errore };
// SiNoPredefinitoNo: "Sì" and "No" with "No" under Enter, for a question
// whose "Sì" deletes. Elsewhere Enter presses the first button.
enum class Pulsanti { Ok, SiNo, SiNoAnnulla, OkAnnulla, SiNoPredefinitoNo };
enum class Risposta { Ok, Si, No, Annulla };

inline const QString TitoloApplicazione = QStringLiteral("Sorvela");

class Messaggi {
public:
    virtual ~Messaggi() = default;
    // A box with an OK button. An empty title becomes "Sorvela".
    virtual void avvisa(Icona icona, const QString& testo, const QString& titolo = {}) = 0;
    // A question; the answer is one of the buttons offered.
    virtual Risposta chiedi(Icona icona, const QString& testo, Pulsanti pulsanti,
                            const QString& titolo = {}) = 0;
    // A notice that does not wait for the operator and is shown without
    // taking the keyboard focus: what the console tells on its own (the
    // handset lost, messages left in it) must not stop the tick or what the
    // operator types. Once the operator reaches it, Enter or Escape closes
    // it. One notice per kind is shown at a time; a new one of the same kind
    // replaces it.
    virtual void notifica(const QString& tipo, Icona icona, const QString& testo) = 0;
    // Takes down the notice of that kind, if one is shown.
    virtual void ritiraNotifica(const QString& tipo) = 0;
};

// Real boxes, application-modal, over the window the operator works in (the
// main window when none is active), with the keyboard focus. While a window
// kept above the others is shown, the boxes are kept above too.
class MessaggiQt : public Messaggi {
public:
    explicit MessaggiQt(QWidget* genitore = nullptr) : m_genitore(genitore) {}
    void setGenitore(QWidget* g) { m_genitore = g; }
    void avvisa(Icona icona, const QString& testo, const QString& titolo = {}) override;
    Risposta chiedi(Icona icona, const QString& testo, Pulsanti pulsanti,
                    const QString& titolo = {}) override;
    void notifica(const QString& tipo, Icona icona, const QString& testo) override;
    void ritiraNotifica(const QString& tipo) override;

private:
    QWidget* genitore();
    int mostra(QMessageBox* box);

    QWidget* m_genitore;
    QPointer<QWidget> m_ultimoGenitore;
    QMap<QString, QPointer<QMessageBox>> m_notifiche;
};

// The operator as a script: records every box and answers questions from a
// queue (or with a default when the queue is empty).
class MessaggiRegistrati : public Messaggi {
public:
    struct Voce {
        Icona icona;
        QString titolo;
        QString testo;
        bool domanda;
        QString notifica; // the kind of a notice; empty for a box
        Pulsanti pulsanti = Pulsanti::Ok;
    };

    void avvisa(Icona icona, const QString& testo, const QString& titolo = {}) override;
    Risposta chiedi(Icona icona, const QString& testo, Pulsanti pulsanti,
                    const QString& titolo = {}) override;

    void notifica(const QString& tipo, Icona icona, const QString& testo) override;
    void ritiraNotifica(const QString& tipo) override;

    void rispondi(Risposta r) { m_risposte.push_back(r); }
    // Every box and notice is a Voce, in the order shown (testi() too); the
    // notices also as "<kind>: <text>", and the one of each kind still shown.
    const QStringList& notifiche() const { return m_notifiche; }
    QString notificaMostrata(const QString& tipo) const { return m_mostrate.value(tipo); }
    void setRispostaPredefinita(Risposta r) { m_predefinita = r; }
    const QList<Voce>& voci() const { return m_voci; }
    QStringList testi() const;
    void svuota() { m_voci.clear(); }
    void dimenticaRisposte() { m_risposte.clear(); }

private:
    QList<Voce> m_voci;
    QStringList m_notifiche;
    QMap<QString, QString> m_mostrate;
    std::deque<Risposta> m_risposte;
    Risposta m_predefinita = Risposta::No;
};

} // namespace sorvela
