// The about box: the product, its title and version, and an OK button.
#pragma once

#include <QDialog>

namespace kalvex {

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* Parent = nullptr);
};

} // namespace kalvex
