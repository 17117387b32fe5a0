#pragma once
// The settings facade: every key the console keeps in its per-user settings
// file, with the defaults in one place. INI file "Sorvela/Sorvela.ini" under
// $XDG_CONFIG_HOME (tests and the demo point that at a folder of their own).
// The console writes only the keys whose value it changes, into the file as
// it is at that moment, so keys edited by hand meanwhile survive.

#include <QList>
#include <QString>
#include <memory>
#include <utility>

class QSettings;

namespace sorvela {

struct GeometriaSalvata {
    QString XPos, YPos, WiPos, HePos; // raw texts; empty when missing
};

class Preferenze {
public:
    Preferenze();                                // the user's settings file
    explicit Preferenze(const QString& fileIni); // an explicit file (tests)
    ~Preferenze();

    QString percorso() const;

    // "Impostazioni"/"NumPort": the raw text, empty when missing.
    QString numPort() const;
    void setNumPort(int numero);

    // The device behind "COM"+n: "Porte"/"COM<n>", else /dev/ttyS<n-1>.
    QString dispositivoPorta(int numero) const;
    void setDispositivoPorta(int numero, const QString& dispositivo);

    // "Database"/"Url": a PostgreSQL server's connection text (libpq URI or
    // keywords), trimmed; empty: the SQLite file in the data folder.
    // Passwords belong in libpq's own password or service file, not here.
    QString urlDatabase() const;
    // "Ricevitore"/"Nome": the name of this machine's receiver among those
    // of a centre (each with its own handset); "principale" when missing.
    QString nomeRicevitore() const;

    GeometriaSalvata geometria(const QString& sezione) const;
    void salvaGeometria(const QString& sezione, int x, int y, int larghezza, int altezza);

    QString leggi(const QString& sezione, const QString& chiave) const;
    void scrivi(const QString& sezione, const QString& chiave, const QString& valore);

private:
    void scriviChiavi(const QString& sezione, const QList<std::pair<QString, QString>>& valori);

    std::unique_ptr<QSettings> m_s;
};

} // namespace sorvela
