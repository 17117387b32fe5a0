// Writes the console's built-in alert beep as a WAV file, so that the
// installation carries the very sound the console would make by itself.

#include "shell/Allarme.h"

#include <QFile>
#include <QString>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "uso: sorvela-scrivi-suono FILE\n");
        return 2;
    }
    const QByteArray wav = sorvela::Allarme::beepIncorporato();
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(wav) != wav.size() || !file.flush()) {
        std::fprintf(stderr, "sorvela-scrivi-suono: %s: %s\n", argv[1], qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
