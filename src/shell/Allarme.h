#pragma once
// The alert sound: "blip.wav" from the data folder when there is one,
// otherwise a short two-tone beep the console makes itself. Without an audio
// device it falls back to the system beep; it never reports an error.

#include <QObject>
#include <QString>
#include <memory>

class QSoundEffect;
class QTemporaryFile;

namespace sorvela {

class Allarme : public QObject {
    Q_OBJECT
public:
    explicit Allarme(QObject* genitore = nullptr);
    ~Allarme() override;

    // Opens the sound once at start-up; it stays open for the whole run.
    void prepara(const QString& cartellaDati);
    void suona();

    int volteSuonato() const { return m_volte; }
    QString sorgente() const { return m_sorgente; }

    // The built-in beep as a complete WAV file (16-bit mono PCM).
    static QByteArray beepIncorporato();

private:
    QSoundEffect* m_effetto = nullptr;
    std::unique_ptr<QTemporaryFile> m_temporaneo;
    QString m_sorgente;
    int m_volte = 0;
};

} // namespace sorvela
