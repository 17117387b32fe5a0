#pragma once
// The information window: the program's name, who makes it and its version.

#include <QDialog>

namespace sorvela {

class frmInfo : public QDialog {
    Q_OBJECT
public:
    explicit frmInfo(QWidget* genitore = nullptr);
    static QString versione();
};

} // namespace sorvela
