// Write to pager and Read from pager: the form and the pager's EEPROM.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressBar>

#include "app/Q5_c.h"
#include "app/Q5_state.h"
#include "app/prompts.h"
#include "image/codec.h"
#include "image/number_text.h"

namespace {

constexpr const char* kLinkError = "Link error, please check Connection";
constexpr const char* kVerifyError = "Verify error, please check Connection";
constexpr const char* kModelError = "Model Error, please check...";
constexpr const char* kWritingCaption = "Writing to eeprom.Please waiting...";
constexpr const char* kReadingCaption = "Reading from eeprom.Please waiting...";

// Where the write puts the progress window, from the main window's corner.
constexpr int kProgressOffsetX = 150;
constexpr int kProgressOffsetY = 200;

// The transfer blocks the event loop; the progress window is repainted at
// most this often. Repainting on every one of a read's 256 advances would
// add about a fifth to the read.
constexpr qint64 kRepaintIntervalMs = 30;

// The serial number has eight digits; one past 99999999 starts again at 0.
constexpr std::int64_t kSerialModulus = 100'000'000;

}  // namespace

bool TMain_Page::open_link_or_report() {
  if (link_.open_link()) return true;
  report_link_error(kLinkError);
  return false;
}

void TMain_Page::report_link_error(const char* text) {
  link_.close_link();
  beep();
  append_log(text);
  prompts_.message(text);
}

bool TMain_Page::image_has_model_bit_refused() {
  if (!q5::image::model_bit(image_)) return false;
  prompts_.message(kModelError);
  return true;
}

// The pager's synthesiser chip and firmware version are the pager's own:
// the form takes them over before the image that is written is built.
void TMain_Page::take_pager_hardware() {
  const q5::image::Settings pager = q5::image::decode(image_);
  ui.PLL_select->setCurrentIndex(pager.pll_chip);
  ui.FirmwareVer->setCurrentIndex(pager.firmware);
}

void TMain_Page::prepare_progress(const char* caption, int maximum, bool move_beside_main) {
  if (!state_form_) return;
  if (move_beside_main) state_form_->move(x() + kProgressOffsetX, y() + kProgressOffsetY);
  state_form_->setWindowTitle(caption);
  state_form_->set_maximum(maximum);
  state_form_->show();
  state_form_->step_it();
  repaint_now();
}

void TMain_Page::repaint_now() {
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  repaint_timer_.restart();
}

void TMain_Page::close_progress() {
  if (state_form_) state_form_->hide();
}

void TMain_Page::progress_advance() {
  if (!state_form_) return;
  state_form_->step_by(1);
  if (state_form_->isVisible() && repaint_timer_.elapsed() >= kRepaintIntervalMs) repaint_now();
}

void TMain_Page::WritetoPager1Click() {
  encode_image();
  if (!open_link_or_report()) return;
  link_.read_eeprom(image_);
  link_.close_link();
  if (image_has_model_bit_refused()) return;
  take_pager_hardware();

  // The step list is rebuilt for the pager's firmware. The step the
  // technician chose stays when the new list offers it, and the frequency
  // is checked against that step, not against the list's first item.
  rebuild_step_list_for_frequency(ui.Frequency_step->currentText());
  FrequencyExit();
  for (int row = 0; row < 4; ++row) sc_addressExit(row);
  Serial_noExit();
  FrequencyExit();
  Num_messageChange();
  PasswordExit();

  encode_image();
  if (!open_link_or_report()) return;
  prepare_progress(kWritingCaption, q5::link::kWords, true);
  link_.write_eeprom(image_);
  // Read the pager back on the same link: only a pager that holds what was
  // written counts as written.
  q5::image::Image written{};
  link_.read_eeprom(written);
  close_progress();
  if (written != image_) {
    report_link_error(kVerifyError);
    return;
  }
  append_log("Write eeprom OK!");

  advance_addresses();
  if (ui.CheckBox1->isChecked()) {
    const std::int64_t serial = q5::strict_to_int(ui.Serial_no->text().toStdString());
    ui.Serial_no->setText(QString::number((serial + 1) % kSerialModulus));
  }
}

void TMain_Page::ReadFromPager1Click() {
  if (!open_link_or_report()) return;
  prepare_progress(kReadingCaption, static_cast<int>(q5::image::kImageSize), false);
  link_.read_eeprom(image_);
  close_progress();
  link_.close_link();
  if (image_has_model_bit_refused()) return;

  decode_image();
  Alert_typeChange();
  Dup_msg_rejection_chekboxClick();
  append_log("Read from eeprom OK!");
  Urgent_call_addrChange();
  Special_vib_timeChange();
  Vib_patternChange();
  lcdmannulCBChange();
  prompts_.message("Read from eeprom OK!");
  for (int row = 0; row < 4; ++row) sc_addressExit(row);
  Serial_noExit();
  FrequencyExit();
  Num_messageChange();
  PasswordExit();
}
