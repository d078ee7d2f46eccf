#include "help_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolBar>
#include <QVBoxLayout>

#include "app_icon.h"
#include "program_facts.h"
#include "report_text.h"
#include "window_colours.h"

namespace korvane {

namespace {

constexpr const char* kHelpScheme = "chm";
// Where the pages start when the help project names no default topic.
constexpr const char* kFallbackTopic = "/index.html";

}  // namespace

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != QLatin1String(kHelpScheme)) {
        return QTextBrowser::loadResource(type, name);
    }
    if (archive_ == nullptr) {
        return {};
    }
    const std::optional<QByteArray> bytes = archive_->Read(name.path().toStdString());
    if (!bytes) {
        return {};
    }
    if (type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource) {
        return QString::fromUtf8(*bytes);
    }
    return *bytes;
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QString::fromLatin1(kProgramTitle) + QStringLiteral(" Help"));
    setWindowIcon(AppIcon());
    resize(720, 560);
    KeepReadable(*this);

    browser_ = new HelpBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(false);
    // The pages bring their own colours (navy headings, grey code): they are shown on
    // paper white with black text whatever the desktop's colour scheme.
    QPalette page = browser_->palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    browser_->setPalette(page);

    auto* tools = new QToolBar(this);
    QAction* back = tools->addAction(QStringLiteral("Back"), browser_, &QTextBrowser::backward);
    QAction* forward =
        tools->addAction(QStringLiteral("Forward"), browser_, &QTextBrowser::forward);
    QAction* contents = tools->addAction(QStringLiteral("Contents"), this, [this] {
        if (home_.isValid()) {
            browser_->setSource(home_);
        }
    });
    back->setShortcut(QKeySequence::Back);
    forward->setShortcut(QKeySequence::Forward);
    contents->setObjectName(QStringLiteral("helpContents"));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    // Find: Ctrl+F goes to the search box, Enter finds the next match, from the top again
    // after the last one.
    find_box_ = new QLineEdit(this);
    find_box_->setObjectName(QStringLiteral("helpFind"));
    find_box_->setPlaceholderText(QStringLiteral("Find (Ctrl+F)"));
    find_box_->setClearButtonEnabled(true);
    find_box_->setMaximumWidth(240);
    tools->addSeparator();
    tools->addWidget(find_box_);
    // The menu of the tools that do not fit a narrow window.
    for (QMenu* menu : tools->findChildren<QMenu*>()) {
        TakeParentColours(*menu);
    }
    find_result_ = new QLabel(this);
    find_result_->setObjectName(QStringLiteral("helpFindResult"));
    find_result_->setContentsMargins(6, 0, 6, 0);
    tools->addWidget(find_result_);
    connect(find_box_, &QLineEdit::returnPressed, this, [this] { FindNext(); });
    connect(find_box_, &QLineEdit::textEdited, find_result_, &QLabel::clear);
    auto* find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    connect(find, &QAction::triggered, this, [this] {
        find_box_->setFocus(Qt::ShortcutFocusReason);
        find_box_->selectAll();
    });
    auto* close_window = new QAction(this);
    close_window->setObjectName(QStringLiteral("helpClose"));
    close_window->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    // Escape in the search box leaves the box first, its text and result cleared.
    connect(close_window, &QAction::triggered, this, [this] {
        if (find_box_->hasFocus()) {
            find_box_->clear();
            find_result_->clear();
            browser_->setFocus(Qt::ShortcutFocusReason);
        } else {
            close();
        }
    });
    addActions({find, close_window});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(browser_);
}

HelpWindow::~HelpWindow() = default;

bool HelpWindow::FindNext() {
    const QString text = find_box_->text();
    if (text.isEmpty()) {
        return false;
    }
    find_result_->clear();
    if (browser_->find(text)) {
        return true;
    }
    const QTextCursor place = browser_->textCursor();
    browser_->moveCursor(QTextCursor::Start);
    if (browser_->find(text)) {
        return true;
    }
    // No match anywhere: the place stays as it was, and the box says so.
    browser_->setTextCursor(place);
    find_result_->setText(QStringLiteral("not found"));
    return false;
}

void HelpWindow::Open(const std::filesystem::path& help_file) {
    browser_->SetArchive(nullptr);
    archive_ = ChmArchive::Open(help_file);
    home_ = QUrl();
    if (!archive_) {
        browser_->setPlainText(QStringLiteral("Cannot open ") +
                               QString::fromStdString(DisplayName(help_file)));
        browser_->clearHistory();
        return;
    }
    browser_->SetArchive(archive_.get());
    std::string topic = archive_->DefaultTopic();
    if (topic.empty()) {
        topic = kFallbackTopic;
    }
    home_ =
        QUrl(QString::fromLatin1(kHelpScheme) + QLatin1Char(':') + QString::fromStdString(topic));
    browser_->setSource(home_);
    browser_->clearHistory();
}

}  // namespace korvane
