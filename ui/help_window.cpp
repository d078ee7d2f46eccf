#include "help_window.h"

#include <QToolBar>
#include <QVBoxLayout>

#include "app_icon.h"
#include "program_facts.h"
#include "report_text.h"

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

    browser_ = new HelpBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(false);

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

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(browser_);
}

HelpWindow::~HelpWindow() = default;

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
