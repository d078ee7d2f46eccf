// The converter's and the generator's parts of the main window: their start buttons and
// the generator's geometry lists.
#include <QComboBox>
#include <QPushButton>

#include "conversion_run.h"
#include "engine_adapters.h"
#include "engine_context.h"
#include "generation_run.h"
#include "image_geometry.h"
#include "main_window.h"
#include "program_location.h"
#include "window_fonts.h"

namespace korvane {

namespace {

std::int64_t ConversionEngine(EngineContext& context) {
    return RunXexConversion(context, ProgramDirectory()).failed_file_operations;
}

std::int64_t GenerationEngine(EngineContext& context) {
    return RunAtrGeneration(context).failed_file_operations;
}

// The narrow boxes of the generator show their widest item whole.
void FitItems(QComboBox* combo) {
    const int room = ComboTextRoom(combo);
    QString widest;
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemText(i).size() > widest.size()) {
            widest = combo->itemText(i);
        }
    }
    GrowToFit(combo, widest, combo->width() - room);
}

template <std::size_t N>
void FillList(QComboBox* combo, const std::array<std::string_view, N>& items, int chosen) {
    for (const std::string_view item : items) {
        combo->addItem(QString::fromUtf8(item.data(), static_cast<qsizetype>(item.size())));
    }
    combo->setCurrentIndex(chosen);
    FitItems(combo);
}

}  // namespace

void MainWindow::Cmd_start_conversion_Click() {
    if (ApplySourceDirectory()) {
        state_.repair_mode = false;
        RunEngine(ConversionEngine, controls_.Cmd_start_conversion);
    }
}

void MainWindow::Cmd_generation_Click() {
    if (ApplySourceDirectory()) {
        RunEngine(GenerationEngine, controls_.Cmd_generation);
    }
}

void MainWindow::FillGeneratorLists() {
    FillList(controls_.Combo_no_of_sectors, kSectorCountItems, kSectorCountStartItem);
    FillList(controls_.Combo_byte_per_sector, kSectorSizeItems, kSectorSizeStartItem);
    FillList(controls_.Combo_format, kFormatItems, kFormatStartItem);
}

void MainWindow::UpdateGeneratorSize() {
    UpdateImageSize(adapters_->controls);
}

}  // namespace korvane
