// The converter's and the generator's parts of the main window: their start buttons and
// the generator's geometry lists.
#include <QComboBox>

#include "engine_context.h"
#include "main_window.h"

#if __has_include("conversion_run.h")
#include "conversion_run.h"
#include "program_location.h"
#define KORVANE_HAVE_CONVERTER 1
#endif
#if __has_include("generation_run.h") && __has_include("image_geometry.h")
#include "generation_run.h"
#include "image_geometry.h"
#define KORVANE_HAVE_GENERATOR 1
#endif

namespace korvane {

namespace {

#ifdef KORVANE_HAVE_CONVERTER
void ConversionEngine(EngineContext& context) {
    RunXexConversion(context, ProgramDirectory());
}
#endif

#ifdef KORVANE_HAVE_GENERATOR
void GenerationEngine(EngineContext& context) {
    RunAtrGeneration(context);
}
#endif

}  // namespace

void MainWindow::Cmd_start_conversion_Click() {
    ApplySourceDirectory();
    state_.repair_mode = false;
#ifdef KORVANE_HAVE_CONVERTER
    RunEngine(ConversionEngine);
#endif
}

void MainWindow::Cmd_generation_Click() {
    ApplySourceDirectory();
#ifdef KORVANE_HAVE_GENERATOR
    RunEngine(GenerationEngine);
#endif
}

void MainWindow::FillGeneratorLists() {
#ifdef KORVANE_HAVE_GENERATOR
#endif
}

void MainWindow::UpdateGeneratorSize() {
#ifdef KORVANE_HAVE_GENERATOR
    UpdateImageSize(adapters_->controls);
#endif
}

}  // namespace korvane
