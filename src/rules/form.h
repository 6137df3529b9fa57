// The settings form without a window: every control the technician fills in,
// with its items, default, limits and enabled state, and every rule that keeps
// the controls consistent (address rows, option interlocks, numeric limits,
// padding, the frequency and its step list, showing an image).
//
// The form behaves as the classic form toolkit does, which the rules rely
// on: text or a check mark set by code raises the control's change or click
// event whenever the value really changes, exactly as a user's edit would; a
// list selected by code raises nothing. Handlers are named after a control
// and an event and read the controls they were written for, never a sender.
//
// The window mirrors this form in Qt widgets (it feeds the user's edits in
// and shows what changed); the command-line tool drives it directly.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "image/image.h"
#include "image/settings.h"
#include "rules/field_rules.h"

namespace q5::rules {

constexpr int kNoSelection = -1;

class Form;

// A rule of the form bound to one event of one control: a rule of its own,
// or a rule of one address row.
struct Handler {
  void (Form::*rule)() = nullptr;
  void (Form::*row_rule)(int) = nullptr;
  int row = 0;
  explicit operator bool() const { return rule != nullptr || row_rule != nullptr; }
  void operator()(Form& form) const;
};

// What a field does with each key typed into it.
enum class KeyFilter {
  any,        // takes every key
  address,    // digits and Backspace; anything else beeps
  digits,     // digits only, not even Backspace; the rest is swallowed quietly
  frequency,  // digits and Backspace, the point coming after the third digit
  pager_text, // digits, letters (as capitals) and space; anything else beeps
};

// Every control is described once, where the form creates it: its name,
// kind, items, default and limits, its key filter and the handlers of its
// events. The rules, the window and the command line all read that entry.

// A single-line edit. Text is one byte per character (Latin-1), as every
// text the image stores is.
struct Edit {
  std::string name;
  std::string text;
  std::size_t max_length = 0;  // 0: no limit
  bool upper_case = false;     // letters show as capitals, typed or set
  bool enabled = true;
  KeyFilter keys = KeyFilter::any;
  Handler on_change;
  Handler on_exit;
};

// A drop-down list.
struct List {
  std::string name;
  std::vector<std::string> items;
  int index = 0;  // kNoSelection when nothing is shown
  bool enabled = true;
  Handler on_change;  // an item picked by the user
  // The item shown, or "" when nothing is.
  std::string text() const;
  // The position of `item`, or kNoSelection.
  int find(std::string_view item) const;
};

struct Check {
  std::string name;
  bool checked = false;
  bool enabled = true;
  Handler on_click;
};

// The radio group of the Test page.
struct Radio {
  std::string name;
  std::vector<std::string> items;
  int index = 0;
};

// What the rules ask of whoever shows the form, in the order they asked.
struct Notice {
  enum class Kind {
    log,    // a line for the message log
    beep,   // the default beep
    error,  // the application's error box (a text that is not a number)
    focus,  // give the focus back to the edit named `text`
  };
  Kind kind;
  std::string text;
  bool operator==(const Notice&) const = default;
};

using ControlRef = std::variant<Edit*, List*, Check*, Radio*>;

// A control by its window name, for generic access (the window's mirror,
// the command line).
struct NamedControl {
  std::string_view name;
  ControlRef control;
};

// Key filters, as the fields apply them to each typed character.
// '\b' stands for Backspace.
bool address_key_passes(char c);  // addresses and the RE edits: digits, Backspace
bool digit_key_passes(char c);    // serial, password, number fields: digits only
enum class FrequencyKey {
  pass,         // the field takes the character
  refuse,       // swallowed, with a beep
  with_point,   // the third digit: typed at the end, and the point after it
};
FrequencyKey frequency_key(char c, std::size_t text_length);

// The capitals the upper-case fields show for a Latin-1 character; a letter
// whose capital is not Latin-1 (y with diaeresis, micro sign) becomes '?',
// which is what such a capital turns into when the text is stored.
char upper_case_latin1(char c);

class Form {
 public:
  // The form as it is created: every control at its default.
  Form();

  // The start-up rules: the special vibrate time and the duplicate-message
  // time follow their options, the password is enabled, the urgent-call
  // tone is greyed while no urgent-call address is chosen, and the
  // synthesiser list is greyed for good.
  void start_up();

  // ---------------------------------------------------------- the controls
  // Page 1, group "Address" (index 0 is row 1).
  std::array<Check, 4> sc_addractv;
  std::array<Edit, 4> sc_address;
  std::array<Edit, 4> sc_framno;
  std::array<List, 4> sc_autoinc;
  // Page 1, left column.
  List PLL_select;
  List Baud_rate;
  Edit Frequency;
  List Frequency_step;
  List Date_polarity;
  Edit Serial_no;
  Check CheckBox1;
  Edit Hello_msg;
  List ModelCB;
  List FirmwareVer;
  Check Daily_Alarm_checkbox;
  Check Date_time_disp_checkbox;
  Check Sleep_timer_checkbox;
  Check Pager_off_menu_checkbox;
  // Page 1, the hidden RE grid.
  Edit E512bs1, E512bs3, E1200bs1, E1200bs3, E2400bs1, E2400bs3;
  // Page 1, right column.
  List Alert_reset;
  List Urgent_call_addr;
  List Urgent_call_tone;
  List Select_tone;
  List Alert_duration;
  List Alert_type;
  List Vib_pattern;
  Edit Special_vib_time;
  List Time_format;
  List Date_format;
  List Char_set;
  // Page 2.
  Check CanMsg_checkbox;
  List CannedMsg_command;
  std::array<Edit, 4> T_only_msg;
  std::array<Edit, 20> N_canned_msg;
  // Page 3, "Message Set".
  Check Dup_msg_rejection_chekbox;
  List Dup_msg_time;
  List Repeat_msg_tone;
  Check Msg_time_stamp_checkbox;
  Check Message_status_checkbox;
  Check Unread_disp_checkbox;
  Check Unread_reminder;
  List Uread_reminder_time;
  Check Full_msg;
  Check Error_eduction_checkbox;
  Check Protect_menu_checkbox;
  List Message_order;
  Edit Num_message;
  // Page 3, "Hand coding".
  Check Hand_code_pss_checkbox;
  Check Baud_handcode_checkbox;
  Check Freq_handcode_checkbox;
  Check Addr_handcode_checkbox;
  Edit Password;
  // Page 3, "OTA".
  Check OTA_autotime_checkbox;
  Check OTA_poweroff_checkbox;
  Check OTA_msgdel_checkbox;
  Check OTA_alertmode_checkbox;
  // Page 3, below the groups.
  Check Out_range_func_checkbox;
  List In_out_range;
  Check No_service;
  List Outrange_time;
  List LowbattComb;
  List LcdorderComb;
  List lcdmannulCB;
  // Test page.
  Check Re1Chk, Re2Chk, Re3Chk, ORCTChk;
  Radio CtRadio;

  // The step list's state: 2 while "R1" lists are shown, 0 for "R2"; and
  // whether the list is one for frequencies above 175 MHz.
  int Step_offset = 2;
  bool High_band_list = false;
  // The window's variant: 1 for the "Orbit" model (Q5V), 0 for "Normal".
  int model_flag = 1;

  // Every control, in the form's order (page by page, as the catalogue
  // lists them).
  std::vector<NamedControl> controls();
  // The controls an image stores, in the form's order except that a list
  // comes before the option that can grey it, so that setting them in this
  // order from a fresh form reaches the same form.
  std::vector<NamedControl> stored_controls();
  // The control named `name`, or nullopt.
  std::optional<ControlRef> find(std::string_view name);

  // ---------------------------------------------------------- events by code
  // Capitals where the field shows them, cut to the field's maximum length;
  // the change handler runs when the text really changed.
  void set_text(Edit& edit, std::string_view text);
  // A number set whole, never cut, so that its change rule sees the real
  // value; the field keeps a longer text until it is edited shorter.
  void set_number(Edit& edit, std::int64_t value);
  // Emptied, then set: the change handler runs for both when they change.
  void replace_text(Edit& edit, std::string_view text);
  // The click handler runs when the state really changed.
  void set_checked(Check& check, bool checked);
  // No handler runs. A position the list does not have leaves no selection.
  void select(List& list, int index);
  void select(Radio& radio, int index);
  void set_enabled(Edit& edit, bool enabled);
  void set_enabled(List& list, bool enabled);
  void set_enabled(Check& check, bool enabled);

  // ---------------------------------------------------------- the user
  // The field's text after a key or a paste the field took.
  void user_edited(Edit& edit, std::string_view text);
  // The item a list shows now, by the user or by the list itself: no
  // handler runs.
  void user_selected(List& list, int index);
  // A list item picked (also the one already shown): its change handler runs.
  void user_chose(List& list, int index);
  void user_clicked(Check& check, bool checked);
  void user_chose(Radio& radio, int index);
  // The field left: its exit handler runs.
  void user_left(Edit& edit);
  // Types `text` over the field's whole text, one key at a time through the
  // field's key filter, as a technician who selects all and types. Returns
  // why it could not be typed (a key the field refuses, or more characters
  // than it takes), having changed nothing then.
  std::optional<std::string> type_over(Edit& edit, std::string_view text);

  // ---------------------------------------------------------- settings
  // One setting made as in the window: `value` (Latin-1) typed and the field
  // left, the item picked (case and runs of spaces aside), the box clicked
  // ("true" or "false"), the button pressed. Returns why it cannot be made:
  // no such setting, a key, length or text the field refuses, no such item
  // (saying what to set with one of another firmware or band), or a greyed
  // list (saying what enables it), which the technician could not choose.
  std::optional<std::string> assign(std::string_view name, std::string_view value);
  struct Setting {
    std::string name;
    std::string value;  // Latin-1
  };
  // Why several settings stopped: a refusal of assign(), or an error box of
  // the rules, which is then among the notices in its place.
  struct Refusal {
    std::string text;
    bool among_notices = false;
  };
  // Several settings in the order a technician makes them: FirmwareVer,
  // then Frequency, then Frequency_step, then the others as given. With
  // both a frequency and a step, the frequency is typed first so that its
  // band picks the step list, and again once the step is chosen; what the
  // rules say before that second typing is about a frequency it replaces,
  // and is dropped. Stops at the first refusal or error box, the form then
  // holding the settings before it. Equal enabled addresses are refused.
  std::optional<Refusal> assign(const std::vector<Setting>& settings);
  // Why `name` is no setting a file holds (with the closest that is), or
  // nullopt.
  std::optional<std::string> unknown_setting(std::string_view name);

  // ---------------------------------------------------------- handlers
  // Address rows (row 0 is row 1).
  void sc_addressChange(int row);
  void sc_addressExit(int row);
  void sc_addractvClick(int row);
  bool check_address_diff();
  void advance_addresses();
  // Frequency and its step list.
  void FrequencyExit();
  void Frequency_stepChange();
  void FirmwareVerChange();
  // Option interlocks and numeric fields.
  void CanMsg_checkboxClick();
  void Date_time_disp_checkboxClick();
  void Vib_patternChange();
  void Special_vib_timeChange();
  void Num_messageChange();   // the exit rule of Num_message
  void MaxCannedmsgChange();  // the change rule of Num_message
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

  // ---------------------------------------------------------- the image
  // Every setting the image stores, as the controls hold it. Throws
  // ConversionError for a number field that is not a number.
  image::Settings settings() const;
  // Checks and snaps the frequency, then builds the sealed image of the
  // form. Throws ConversionError (the encode is then abandoned).
  image::Image encode();
  // Shows an image: every control the image stores is set from it, with the
  // change and click handlers its values raise. One error box at most.
  void decode(const image::Image& image);
  // A file that passed its checks: decoded, then the options that grey
  // other controls brought up to date without changing any selection.
  void show_file(const image::Image& image);
  // The pager's synthesiser chip and firmware version into the form.
  void take_pager_hardware(const image::Image& pager);
  // What a write runs before its second encode: the step list rebuilt for
  // the pager's firmware (keeping the step the technician chose when the
  // new list has it), then the exit rules of the address, serial,
  // frequency, number-of-messages and password fields.
  void prepare_for_write(const image::Image& pager);
  // The serial number one on, for the next pager (the "Auto" box); 99999999
  // goes on to 00000000's value, 0.
  void step_serial();
  // The first address row (0 to 3) holding more than seven digits, which
  // no pager can take; the pager commands and the save refuse to start then.
  std::optional<int> overlong_address() const;
  // Refuses such a row as the window does: beep, its range warning, the
  // focus on it. True when a row was refused.
  bool refuse_overlong_address();

  // ---------------------------------------------------------- for the view
  // What the rules asked for since the last call.
  std::vector<Notice> take_notices();
  // Called with a control's name at each change, as it happens, so that a
  // view can follow the form step by step.
  void set_change_listener(std::function<void(const std::string&)> listener) {
    change_listener_ = std::move(listener);
  }

  // Runs a handler as an event does: a conversion error becomes an error
  // box (one per decode), and whatever raised the event goes on.
  void guarded(const std::function<void()>& handler);

 private:
  void fire_change(Edit& edit);
  void fire_click(Check& check);
  void fire_choice(List& list);
  void changed(const std::string& name);
  void log(std::string line);
  void beep();
  void give_focus_back(const Edit& edit);
  void report_error(const std::string& text);
  void correct(const std::optional<Correction>& correction, Edit& edit);

  std::int64_t address_value(int row) const;
  bool address_equals_another(int row) const;
  void rebuild_step_list(bool high_band);
  void rebuild_step_list_keeping(const std::string& step);
  void show_stored_step(int step_code);
  int pll_chip_code() const;
  void set_addresses_whole(int first, int second);

  std::vector<Notice> notices_;
  std::function<void(const std::string&)> change_listener_;
  bool decoding_ = false;
  bool decode_error_shown_ = false;
};

}  // namespace q5::rules
