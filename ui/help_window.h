// The program's own help viewer: a window of its own that shows the pages of the
// compiled help file, starting at its default page, with working links between them.
#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "chm_archive.h"

class QLabel;
class QLineEdit;

namespace korvane {

// A text browser whose pages and pictures come out of a compiled help file, addressed
// as "chm:/page.html".
class HelpBrowser final : public QTextBrowser {
    Q_OBJECT

  public:
    using QTextBrowser::QTextBrowser;
    void SetArchive(const ChmArchive* archive) { archive_ = archive; }
    QVariant loadResource(int type, const QUrl& name) override;

  private:
    const ChmArchive* archive_ = nullptr;
};

class HelpWindow final : public QWidget {
    Q_OBJECT

  public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    // Opens a help file at its default page; a file that cannot be opened is named as such.
    void Open(const std::filesystem::path& help_file);
    HelpBrowser* browser() const { return browser_; }
    // Selects the next match of the search box's text in the page; false when none.
    bool FindNext();
    // Whether a help file's pages are shown.
    bool HasPages() const { return home_.isValid(); }

  private:
    QLineEdit* find_box_ = nullptr;
    QLabel* find_result_ = nullptr;
    std::unique_ptr<ChmArchive> archive_;
    HelpBrowser* browser_;
    QUrl home_;
};

}  // namespace korvane
