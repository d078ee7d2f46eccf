// Presses the buttons of the message boxes that come up while a test runs, one answer
// per box, and keeps what each box showed.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <vector>

namespace korvane::testing {

class MessageBoxAnswerer : public QObject {
  public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton default_button;
        QString window_state;  // what `look` said about the main window meanwhile
    };
    // An answer of NoButton closes the box through its close box.
    explicit MessageBoxAnswerer(std::vector<QMessageBox::StandardButton> answers,
                                std::function<QString()> look = nullptr)
        : answers_(std::move(answers)), look_(std::move(look)) {
        connect(&timer_, &QTimer::timeout, this, [this] { AnswerOpenBox(); });
        timer_.start(5);
    }
    const std::vector<Seen>& seen() const { return seen_; }

  private:
    void AnswerOpenBox() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || next_ >= answers_.size()) {
            return;
        }
        seen_.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                         box->standardButton(box->defaultButton()), look_ ? look_() : QString()});
        const QMessageBox::StandardButton answer = answers_[next_++];
        if (answer == QMessageBox::NoButton) {
            box->close();
        } else {
            box->button(answer)->click();
        }
    }

    std::vector<QMessageBox::StandardButton> answers_;
    std::function<QString()> look_;
    std::size_t next_ = 0;
    std::vector<Seen> seen_;
    QTimer timer_;
};

}  // namespace korvane::testing
