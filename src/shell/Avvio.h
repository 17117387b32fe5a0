#pragma once
// Command line and the checks made before the console opens its window.

#include "core/CartellaDati.h"

#include <QString>

class QCoreApplication;

namespace sorvela {

struct OpzioniAvvio {
    QString cartellaDati;
    QString urlDatabase;     // --database: a PostgreSQL server instead of Sorvela.db
    bool esci = false;       // --help, --version or a bad argument: nothing more to do
    int codiceUscita = 0;
};

// sorvela [--data-dir DIR] [--database URL] [--version] [--help] [Qt's options]; the default data folder is
// $XDG_DATA_HOME/Sorvela. Qt's standard options are left for QApplication.
OpzioniAvvio leggiOpzioni(int argc, char* argv[]);
// The folder of the files installed beside the programs (share/sorvela), or
// empty when the program runs from its build folder.
QString cartellaInstallata();

// Empty when the database file is there; otherwise the operator's message,
// naming the file and the command that creates it.
QString problemaDatabase(const QString& cartellaDati);

// Empty when `url` names a PostgreSQL server; otherwise why it is refused:
// the file of a centre is always Sorvela.db in its data folder, where its
// compaction, its receiver's lock and its sound are looked for.
QString problemaServer(const QString& url);

bool displayDisponibile();

// Loads Qt's Italian translation for the standard buttons and dialogs; false
// when it is not installed (the texts then stay in English).
bool installaTraduzioneQt(QCoreApplication& app);

} // namespace sorvela
