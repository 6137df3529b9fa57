// The frequency field, its step list and the synthesiser words. The
// arithmetic is q5::image's; these handlers keep the controls in step.
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include "app/Q5_c.h"
#include "app/field_events.h"
#include "image/frequency.h"

namespace {

q5::image::Frequency frequency_of(const QLineEdit* edit) {
  return q5::image::parse_frequency(edit->text().toStdString());
}

}  // namespace

bool TMain_Page::FrequencyKeyPress(QKeyEvent* key) {
  const QChar c = FieldEvents::typed_character(key);
  if (c == QChar('\b')) return false;
  if (!(c >= QChar('0') && c <= QChar('9'))) {
    if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) return false;
    beep();
    return true;
  }
  QLineEdit* edit = ui.Frequency;
  if (edit->text().size() != 2) return false;
  // The third digit brings its point along: "1", "3", "8" gives "138.".
  edit->deselect();
  edit->end(false);
  edit->insert(QString(c));
  edit->insert(".");
  return true;
}

void TMain_Page::rebuild_step_list(bool high_band) {
  const bool firmware_r1 = ui.FirmwareVer->currentIndex() == 0;
  const q5::image::StepList list = q5::image::step_list(firmware_r1, high_band);
  ui.Frequency_step->clear();
  for (const std::string& item : list.items) ui.Frequency_step->addItem(QString::fromStdString(item));
  ui.Frequency_step->setCurrentIndex(0);
  Step_offset = list.step_offset;
  High_band_list = high_band;
}

int TMain_Page::pll_chip_code() const {
  // Only an image from an RX8308 pager leaves the list without a selection.
  const int index = ui.PLL_select->currentIndex();
  return index < 0 ? q5::image::kChipRX8308 : index;
}

void TMain_Page::FrequencyExit() {
  const q5::image::Frequency f = frequency_of(ui.Frequency);
  const bool high_band = q5::image::is_high_band(f);
  if (high_band != High_band_list) rebuild_step_list(high_band);

  const int step_code = q5::image::step_code_of(ui.Frequency_step->currentIndex(), Step_offset);
  const q5::image::SnapResult snap =
      q5::image::check_and_snap(f, q5::image::raster_hz(High_band_list, step_code), pll_chip_code());
  for (const std::string& warning : snap.warnings) {
    append_log(QString::fromStdString(warning));
    beep();
  }
  ui.Frequency->setText(QString::fromStdString(snap.text));
}

void TMain_Page::Frequency_stepChange() { FrequencyExit(); }

void TMain_Page::rebuild_step_list_for_frequency(const QString& keep) {
  rebuild_step_list(q5::image::is_high_band(frequency_of(ui.Frequency)));
  const int kept = keep.isEmpty() ? -1 : ui.Frequency_step->findText(keep);
  if (kept >= 0) ui.Frequency_step->setCurrentIndex(kept);
}

void TMain_Page::FirmwareVerChange() {
  rebuild_step_list_for_frequency();
  FrequencyExit();
}
