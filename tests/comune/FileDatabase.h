#pragma once
// A real Sorvela database file in a temporary folder, made as `sorvela-db
// init` makes it (with the demo data when asked) and open; for the tests of
// the store, which need no context, clock or message boxes.

#include "store/Database.h"

#include <QTemporaryDir>

#include <memory>

namespace sorvela::comune {

struct FileDatabase {
    QTemporaryDir dir;
    QString file;
    std::unique_ptr<store::Database> db;

    explicit FileDatabase(bool demo = false, const QString& nome = QStringLiteral("Sorvela.db"))
        : file(dir.filePath(nome))
    {
        store::Database::crea(file, demo);
        db = store::Database::apri(file);
    }
};

} // namespace sorvela::comune
