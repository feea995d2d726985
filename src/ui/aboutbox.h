#pragma once

#include <QDialog>

namespace pagorra {

// "major.minor.patch" of this build.
QString programVersion();

// frmAbout: the product title, version, company and what the program does. Modal; "OK" closes it.
class AboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit AboutBox(QWidget *parent = nullptr);
};

// Opens the About box over the given window and returns when it has been closed.
void showAboutBox(QWidget *parent);

} // namespace pagorra
