#pragma once
// The alert sound: "blip.wav" from the data folder when there is one,
// otherwise a short two-tone beep the console makes itself (installed as
// share/sorvela/blip.wav, which is played in its place when present). Without a usable
// audio output the alert is seen instead of heard: the signal widget (the
// strip's count panel) flashes until the operator has seen the queue
// (visto()). It never reports an error, and an audio system that is missing
// does not fill the log.

#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QString>
#include <memory>

class QSoundEffect;
class QTimer;
class QWidget;
class QTemporaryFile;

namespace sorvela {

class Allarme : public QObject {
    Q_OBJECT
public:
    explicit Allarme(QObject* genitore = nullptr);
    ~Allarme() override;

    enum class Uscita { Automatica, Nessuna };
    // Opens the sound once at start-up; it stays open for the whole run.
    // Nessuna: as on a machine without an audio output.
    void prepara(const QString& cartellaDati, Uscita uscita = Uscita::Automatica);
    void suona();

    // The widget that flashes when the alert cannot be heard.
    void setSegnale(QWidget* segnale);
    bool lampeggia() const;
    // The operator has the queue in front of him: the flashing stops.
    void visto();
    // "Tacita": the sound playing stops and so does the flashing; the next
    // suona() (the next new event) alerts again.
    void tacita();

    int volteSuonato() const { return m_volte; }
    // "blip.wav" of the data folder; empty for the built-in beep.
    QString sorgente() const { return m_sorgente; }

    // The built-in beep as a complete WAV file (16-bit mono PCM).
    static QByteArray beepIncorporato();

private:
    void alterna();

    QSoundEffect* m_effetto = nullptr;
    QPointer<QWidget> m_segnale;
    QTimer* m_lampo = nullptr;
    bool m_acceso = false;          // the signal shows its alert colours
    QPalette m_paletteSpenta;
    bool m_riempitoSpento = false;
    std::unique_ptr<QTemporaryFile> m_temporaneo;
    QString m_sorgente;
    int m_volte = 0;
};

} // namespace sorvela
