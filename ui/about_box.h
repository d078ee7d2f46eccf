// The About box `frmAbout`: the program's icon, title and version. While it is open the
// main window takes no input; OK, Enter, Esc and the close box all end it.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace korvane {

class AboutBox final : public QDialog {
    Q_OBJECT

  public:
    explicit AboutBox(QWidget* main_window);

    // Puts the main window back into use and discards the box.
    void cmdOK_Click();
    void reject() override;

  private:
    void Form_Load();

    QLabel* picIcon_;
    QLabel* lblTitle_;
    QLabel* lblVersion_;
    QLabel* lblDescription_;
    QPushButton* cmdOK_;
};

}  // namespace korvane
