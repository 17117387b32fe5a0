#include "shell/Allarme.h"

#include "shell/Avvio.h"

#include <QApplication>
#include <QAudioDevice>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTemporaryFile>
#include <QTimer>
#include <QWidget>
#include <QUrl>
#include <QtEndian>
#include <cmath>

namespace sorvela {

Allarme::Allarme(QObject* genitore)
    : QObject(genitore)
{
}

Allarme::~Allarme() = default;

QByteArray Allarme::beepIncorporato()
{
    constexpr int frequenza = 22050;
    constexpr double durata = 0.18; // each tone
    QByteArray campioni;
    for (double tono : {1320.0, 990.0}) {
        const int n = static_cast<int>(frequenza * durata);
        for (int i = 0; i < n; ++i) {
            // A short fade in and out avoids clicks at the edges.
            const double inviluppo = std::min({1.0, i / 300.0, (n - i) / 300.0});
            const auto v = static_cast<qint16>(9000 * inviluppo * std::sin(2 * M_PI * tono * i / frequenza));
            char b[2];
            qToLittleEndian(v, b);
            campioni.append(b, 2);
        }
    }
    QByteArray wav;
    auto u32 = [&wav](quint32 v) { char b[4]; qToLittleEndian(v, b); wav.append(b, 4); };
    auto u16 = [&wav](quint16 v) { char b[2]; qToLittleEndian(v, b); wav.append(b, 2); };
    wav.append("RIFF");
    u32(36 + campioni.size());
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);                 // PCM
    u16(1);                 // mono
    u32(frequenza);
    u32(frequenza * 2);     // bytes per second
    u16(2);                 // block align
    u16(16);                // bits per sample
    wav.append("data");
    u32(campioni.size());
    wav.append(campioni);
    return wav;
}

namespace {

// The audio backends report a missing sound server (no PulseAudio, no device)
// as warnings at every probe; the console says nothing of it: the flashing
// panel is its answer.
void zitto(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

void Allarme::prepara(const QString& cartellaDati, Uscita uscita)
{
    delete m_effetto;
    m_effetto = nullptr;
    m_temporaneo.reset();
    QString propria = QDir(cartellaDati).filePath(QStringLiteral("blip.wav"));
    // An installed console has a copy of the built-in beep among its shared
    // files, which spares the temporary file below.
    if (!QFileInfo::exists(propria) && !cartellaInstallata().isEmpty())
        propria = QDir(cartellaInstallata()).filePath(QStringLiteral("blip.wav"));
    m_sorgente = QFileInfo::exists(propria) ? propria : QString();
    if (uscita == Uscita::Nessuna)
        return;
    const QtMessageHandler prima = qInstallMessageHandler(zitto);
    const bool udibile = !QMediaDevices::audioOutputs().isEmpty();
    qInstallMessageHandler(prima);
    if (!udibile)
        return;
    m_effetto = new QSoundEffect(this);
    if (!m_sorgente.isEmpty()) {
        m_effetto->setSource(QUrl::fromLocalFile(m_sorgente));
        return;
    }
    // The effect reads its sound from a file only. The built-in beep goes
    // through a temporary one, removed as soon as the effect holds the
    // samples in memory: a console stopped any way at all leaves nothing
    // in the temporary folder.
    m_temporaneo = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("sorvela-XXXXXX.wav")));
    if (!m_temporaneo->open()) {
        m_temporaneo.reset();
        return;
    }
    m_temporaneo->write(beepIncorporato());
    m_temporaneo->close();
    connect(m_effetto, &QSoundEffect::statusChanged, this, [this] {
        if (m_effetto->status() == QSoundEffect::Ready || m_effetto->status() == QSoundEffect::Error)
            m_temporaneo.reset();
    });
    m_effetto->setSource(QUrl::fromLocalFile(m_temporaneo->fileName()));
}

void Allarme::setSegnale(QWidget* segnale)
{
    m_segnale = segnale;
}

bool Allarme::lampeggia() const
{
    return m_lampo && m_lampo->isActive();
}

void Allarme::visto()
{
    if (!lampeggia())
        return;
    m_lampo->stop();
    if (m_acceso)
        alterna();
}

void Allarme::tacita()
{
    if (m_effetto)
        m_effetto->stop();
    visto();
}

void Allarme::alterna()
{
    if (!m_segnale)
        return;
    m_acceso = !m_acceso;
    if (m_acceso) {
        m_paletteSpenta = m_segnale->palette();
        m_riempitoSpento = m_segnale->autoFillBackground();
        QPalette p = m_paletteSpenta;
        p.setColor(QPalette::Window, QColor(255, 0, 0));
        p.setColor(QPalette::WindowText, QColor(255, 255, 255));
        m_segnale->setPalette(p);
        m_segnale->setAutoFillBackground(true);
    } else {
        m_segnale->setPalette(m_paletteSpenta);
        m_segnale->setAutoFillBackground(m_riempitoSpento);
    }
}

void Allarme::suona()
{
    ++m_volte;
    if (m_effetto && m_effetto->status() != QSoundEffect::Error) {
        m_effetto->play();
        return;
    }
    // Nothing to hear: the count panel flashes, twice a second, until the
    // queue has been seen.
    if (!m_segnale)
        return;
    if (!m_lampo) {
        m_lampo = new QTimer(this);
        m_lampo->setInterval(500);
        connect(m_lampo, &QTimer::timeout, this, &Allarme::alterna);
    }
    if (!m_lampo->isActive()) {
        m_lampo->start();
        alterna();
    }
}

} // namespace sorvela
