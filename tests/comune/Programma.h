#pragma once
// One of the programs run as a user runs it: arguments, optional standard
// input and environment in; exit code, standard output and standard error
// out. A program that crashes or hangs gives the code -1.

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

namespace sorvela::comune {

struct EsitoProgramma {
    int codice = -1;
    QByteArray uscita;
    QByteArray errori;
};

inline EsitoProgramma esegui(const QString& programma, const QStringList& argomenti, const QByteArray& ingresso = {},
                             const QProcessEnvironment& ambiente = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(ambiente);
    p.start(programma, argomenti);
    p.write(ingresso);
    p.closeWriteChannel();
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
}

} // namespace sorvela::comune
