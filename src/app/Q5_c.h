// The main window: the settings form and every command of the program.
//
// The controls (ui) are the settings store. The handlers are named after a
// control and an event; a handler reads the controls it was written for,
// never the sender, so commands call several of them directly to bring the
// form up to date. Handlers may throw q5::ConversionError: the slot that Qt
// calls catches it (see guarded()), so an error ends the handler and any
// command that called it, and is shown in the application's error box.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <cstdint>
#include <functional>

#include "app/Q5_form.h"
#include "image/image.h"
#include "image/settings.h"
#include "link/eeprom_link.h"

class Platform;
class Prompts;
class TState_Form;
class FieldEvents;
class QKeyEvent;
class QLineEdit;

class TMain_Page : public QMainWindow {
  Q_OBJECT

 public:
  TMain_Page(Platform& platform, Prompts& prompts, QWidget* parent = nullptr);
  ~TMain_Page() override;

  MainPageForm ui;

  // The progress window is created after the main window.
  void set_state_form(TState_Form* state_form) { state_form_ = state_form; }

  // Application-wide state.
  std::uint16_t port_base() const { return port_base_; }
  int model_flag() const { return model_flag_; }
  const q5::image::Image& image() const { return image_; }
  int step_offset() const { return Step_offset; }
  bool high_band_list() const { return High_band_list; }
  void append_log(const QString& line);

  // Start-up, menus.
  void Aboutcpp1Click();
  void Exit1Click();
  void N11Click();
  void N21Click();

  // Frequency and step list.
  bool FrequencyKeyPress(QKeyEvent* key);  // true: the key was used up
  void FrequencyExit();
  void Frequency_stepChange();
  void FirmwareVerChange();

  // Image.
  void encode_image();
  void decode_image();

  // Address rows (row 0 is row 1).
  bool sc_address1KeyPress(QKeyEvent* key);
  void sc_addressChange(int row);
  void sc_addressExit(int row);
  void sc_addractvClick(int row);
  void sc_autoincChange(int row) { (void)row; }  // the offsets are read by the address advance only
  bool check_address_diff();
  void advance_addresses();
  void sc_address1Change() { sc_addressChange(0); }
  void sc_address2Change() { sc_addressChange(1); }
  void sc_address3Change() { sc_addressChange(2); }
  void sc_address4Change() { sc_addressChange(3); }
  void sc_address1Exit() { sc_addressExit(0); }
  void sc_address2Exit() { sc_addressExit(1); }
  void sc_address3Exit() { sc_addressExit(2); }
  void sc_address4Exit() { sc_addressExit(3); }

  // Option interlocks and numeric fields.
  void CanMsg_checkboxClick();
  void Date_time_disp_checkboxClick();
  void Vib_patternChange();
  void Special_vib_timeChange();
  void Num_messageChange();  // the exit rule of Num_message
  void MaxCannedmsgChange(); // the change rule of Num_message
  void Serial_noExit();
  void PasswordExit();
  void Alert_typeChange();
  void Unread_reminderClick();
  void Dup_msg_rejection_chekboxClick();
  void Out_range_func_checkboxClick();
  void Hand_code_pss_checkboxClick();
  void Urgent_call_addrChange();
  void lcdmannulCBChange();
  void ModelCBChange();
  bool Num_messageKeyPress(QKeyEvent* key);

  // Files.
  void Save1Click();
  void Open1Click();

  // Pager.
  void WritetoPager1Click();
  void ReadFromPager1Click();

  // Runs a handler as Qt's event dispatch would: a conversion error is
  // caught here and shown in the error box.
  void guarded(const std::function<void()>& handler);

 private:
  void startup();
  void connect_handlers();
  void report_error(const QString& text);
  void beep();

  // Form <-> settings.
  q5::image::Settings read_plain_settings() const;

  // Step list maintenance shared by FirmwareVerChange, the decoder and the
  // write command: rebuild for the firmware and side of 175 MHz, then select.
  void rebuild_step_list(bool high_band);
  // The same for the firmware shown and the frequency's side of 175 MHz;
  // the item labelled `keep` stays selected when the new list has it.
  void rebuild_step_list_for_frequency(const QString& keep = QString());
  void show_stored_step(int step_code);
  int pll_chip_code() const;

  // Giving the focus back from inside a focus-out: deferred, so that the
  // widget the focus went to is not left half-entered.
  void give_focus_back(QLineEdit* edit);
  bool refocus_pending() const { return pending_refocus_ > 0; }

  // Text written by code as a user's edit would: emptied, then filled.
  void replace_text(QLineEdit* edit, const QString& text);
  // A number written whole, even past the field's maximum length (the
  // change rule then sees the real value, not a clipped one).
  void set_number(QLineEdit* edit, int value);

  bool address_equals_another(int row);
  std::int64_t address_value(int row) const;

  // Pager link.
  bool open_link_or_report();
  void report_link_error(const char* text);
  bool image_has_model_bit_refused();
  void take_pager_hardware();
  void prepare_progress(const char* caption, int maximum, bool move_beside_main);
  void close_progress();
  void progress_advance();
  void repaint_now();

  Platform& platform_;
  Prompts& prompts_;
  TState_Form* state_form_ = nullptr;
  FieldEvents* events_ = nullptr;

  std::uint16_t port_base_ = q5::link::kLpt1Base;
  int model_flag_ = 1;
  q5::image::Image image_{};
  int Step_offset = 2;
  bool High_band_list = false;

  q5::link::EepromLink link_;
  QElapsedTimer repaint_timer_;  // paces the progress window's repaints

  int pending_refocus_ = 0;
  bool decoding_ = false;
  bool decode_error_shown_ = false;
};

extern TMain_Page* Main_Page;
