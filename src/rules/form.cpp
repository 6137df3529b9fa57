// The form's controls as created, the events that code and the user raise on
// them, and the handlers of the address rows, the option interlocks and the
// numeric fields.
#include "rules/form.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "image/number_text.h"
#include "rules/address_rules.h"
#include "rules/field_rules.h"
#include "rules/pager_text.h"

namespace q5::rules {

namespace {

constexpr std::size_t kAddressDigits = 7;

Handler rule(void (Form::*handler)()) { return Handler{handler, nullptr, 0}; }
Handler row_rule(void (Form::*handler)(int), std::size_t row) {
  return Handler{nullptr, handler, static_cast<int>(row)};
}

Edit make_edit(std::string name, std::string text, std::size_t max_length, KeyFilter keys, Handler on_change = {},
               Handler on_exit = {}) {
  return Edit{std::move(name), std::move(text), max_length, false, true, keys, on_change, on_exit};
}

// The message texts: digits, capitals and space, which the pager can show.
Edit make_text(std::string name, std::string text, std::size_t max_length) {
  return Edit{std::move(name), std::move(text), max_length, true, true, KeyFilter::pager_text, {}, {}};
}

List make_list(std::string name, std::vector<std::string> items, int index, Handler on_change = {}) {
  return List{std::move(name), std::move(items), index, true, on_change};
}

Check make_check(std::string name, bool checked, Handler on_click = {}) {
  return Check{std::move(name), checked, true, on_click};
}

std::string numbered(const char* family, std::size_t i) { return family + std::to_string(i + 1); }

bool is_integer(const std::string& text) {
  try {
    (void)strict_to_int(text);
    return true;
  } catch (const ConversionError&) {
    return false;
  }
}

int to_int(const Edit& edit) { return strict_to_int(edit.text); }

}  // namespace

// ------------------------------------------------------------ small parts

void Handler::operator()(Form& form) const {
  if (rule) (form.*rule)();
  if (row_rule) (form.*row_rule)(row);
}

std::string List::text() const {
  if (index < 0 || index >= static_cast<int>(items.size())) return {};
  return items[static_cast<std::size_t>(index)];
}

int List::find(std::string_view item) const {
  const auto it = std::find(items.begin(), items.end(), item);
  return it == items.end() ? kNoSelection : static_cast<int>(it - items.begin());
}

bool address_key_passes(char c) { return (c >= '0' && c <= '9') || c == '\b'; }

bool digit_key_passes(char c) { return c >= '0' && c <= '9'; }

FrequencyKey frequency_key(char c, std::size_t text_length) {
  if (c == '\b') return FrequencyKey::pass;
  if (!digit_key_passes(c)) return FrequencyKey::refuse;
  // The third digit brings its point along: "1", "3", "8" gives "138.".
  constexpr std::size_t kDigitsBeforePoint = 2;
  return text_length == kDigitsBeforePoint ? FrequencyKey::with_point : FrequencyKey::pass;
}

char upper_case_latin1(char c) {
  const auto u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - ('a' - 'A'));
  constexpr unsigned char kDivision = 0xF7;  // the one non-letter among the small accented letters
  if (u >= 0xE0 && u <= 0xFE && u != kDivision) return static_cast<char>(u - 0x20);
  // Their capitals lie outside Latin-1.
  if (u == 0xFF || u == 0xB5) return '?';
  return c;
}

// ------------------------------------------------------------ the controls

// The catalogue: each control with its items, default, limits, key filter
// and the handlers its events run.
Form::Form() {
  using K = KeyFilter;
  const char* const addresses[4] = {"2004000", "2004008", "2004016", "2004024"};
  for (std::size_t i = 0; i < 4; ++i) {
    sc_addractv[i] = make_check(numbered("sc_addractv", i), true, row_rule(&Form::sc_addractvClick, i));
    sc_address[i] = make_edit(numbered("sc_address", i), addresses[i], kAddressDigits, K::address,
                              row_rule(&Form::sc_addressChange, i), row_rule(&Form::sc_addressExit, i));
    sc_framno[i] = make_edit(numbered("sc_framno", i), "0", 1, K::digits);
    // The offsets are read by the address advance only.
    sc_autoinc[i] = make_list(numbered("sc_autoinc", i), {"0", "1", "2", "3", "4", "5", "6", "7", "8"}, 0);
  }
  PLL_select = make_list("PLL_select", {"KS8809", "SM5170"}, 1);
  Baud_rate = make_list("Baud_rate", {"2400 bps", "512   bps", "1200 bps"}, 2);
  Frequency = make_edit("Frequency", "138.97500", 9, K::frequency, {}, rule(&Form::FrequencyExit));
  Frequency_step = make_list("Frequency_step", {"6.25kHz", "5kHz"}, 0, rule(&Form::Frequency_stepChange));
  Date_polarity = make_list("Date_polarity", {"NORMAL", "INVERT"}, 0);
  Serial_no = make_edit("Serial_no", "12345678", 8, K::digits, {}, rule(&Form::Serial_noExit));
  CheckBox1 = make_check("CheckBox1", false);
  Hello_msg = make_text("Hello_msg", "HAPPY EVERYDAY", 14);
  ModelCB = make_list("ModelCB", {"Orbit", "Normal"}, 0, rule(&Form::ModelCBChange));
  ModelCB.enabled = false;
  FirmwareVer = make_list("FirmwareVer", {"R1", "R2"}, 0, rule(&Form::FirmwareVerChange));
  FirmwareVer.enabled = false;
  Daily_Alarm_checkbox = make_check("Daily_Alarm_checkbox", true);
  Date_time_disp_checkbox = make_check("Date_time_disp_checkbox", true, rule(&Form::Date_time_disp_checkboxClick));
  Sleep_timer_checkbox = make_check("Sleep_timer_checkbox", true);
  Pager_off_menu_checkbox = make_check("Pager_off_menu_checkbox", true);

  E512bs1 = make_edit("E512bs1", "03", 0, K::address);
  E512bs3 = make_edit("E512bs3", "09", 0, K::address);
  E1200bs1 = make_edit("E1200bs1", "31", 0, K::address);
  E1200bs3 = make_edit("E1200bs3", "31", 0, K::address);
  E2400bs1 = make_edit("E2400bs1", "31", 0, K::address);
  E2400bs3 = make_edit("E2400bs3", "31", 0, K::address);

  const std::vector<std::string> address_items{"DISABLE", "ADDRESS 1", "ADDRESS 2", "ADDRESS 3", "ADDRESS 4", "ALL"};
  Alert_reset = make_list("Alert_reset", address_items, 0);
  Urgent_call_addr = make_list("Urgent_call_addr", address_items, 0, rule(&Form::Urgent_call_addrChange));
  Urgent_call_tone = make_list("Urgent_call_tone", {"DISABLE", "TONE A", "TONE B", "TONE C", "TONE D", "ALL"}, 0);
  Select_tone = make_list("Select_tone", {"ABCD+Music", "TONE+Music"}, 0);
  Alert_duration = make_list("Alert_duration", {"1", "2", "3", "4", "8", "16", "32", "64"}, 5);
  Alert_type = make_list("Alert_type",
                         {"T/V/T+V/M", "V/T/T+V/M", "T/V/T+V", "V/T/T+V", "T/M", "V/M", "T only", "V only", "T+V"}, 0,
                         rule(&Form::Alert_typeChange));
  Vib_pattern = make_list("Vib_pattern", {"1+1+1...1Hz", "A/B/C/D", "Special", "Continuous"}, 0,
                          rule(&Form::Vib_patternChange));
  // Its exit rule is the password's.
  Special_vib_time = make_edit("Special_vib_time", "12", 2, K::digits, rule(&Form::Special_vib_timeChange),
                               rule(&Form::PasswordExit));
  Time_format = make_list("Time_format", {"24 hr", "12 hr"}, 1);
  Date_format = make_list("Date_format", {"DD/MM", "MM/DD"}, 0);
  Char_set = make_list("Char_set", {"0..9AU -][", "0..9ABCDE "}, 0);

  CanMsg_checkbox = make_check("CanMsg_checkbox", true, rule(&Form::CanMsg_checkboxClick));
  CannedMsg_command = make_list("CannedMsg_command", {"--", "[[", "]]"}, 0);
  const char* const tone_only[4] = {"TONE ONLY A", "TONE ONLY B ", "TONE ONLY C ", "TONE ONLY D "};
  for (std::size_t i = 0; i < T_only_msg.size(); ++i) T_only_msg[i] = make_text(numbered("T_only_msg", i), tone_only[i], 12);
  const char* const canned[20] = {"PLEASE", "CALL  ", "ME    ", "YOU", "IN",  "AT",   "OFFICE", "MEET",  "HOME",  "TO",
                                  "GO",     "WHY",    "WHERE",  "WHAT", "WHO", "HOW", "TIME",   "DATE", "HAPPY", "SCHOOL"};
  for (std::size_t i = 0; i < N_canned_msg.size(); ++i) N_canned_msg[i] = make_text(numbered("N_canned_msg", i), canned[i], 6);

  Dup_msg_rejection_chekbox =
      make_check("Dup_msg_rejection_chekbox", true, rule(&Form::Dup_msg_rejection_chekboxClick));
  Dup_msg_time = make_list("Dup_msg_time", {"1 min", "2 min", "3 min", "4 min", "5 min", "6 min"}, 0);
  Repeat_msg_tone = make_list("Repeat_msg_tone", {"Short", "Long"}, 0);
  Msg_time_stamp_checkbox = make_check("Msg_time_stamp_checkbox", true);
  Message_status_checkbox = make_check("Message_status_checkbox", true);
  Unread_disp_checkbox = make_check("Unread_disp_checkbox", true);
  Unread_reminder = make_check("Unread_reminder", true, rule(&Form::Unread_reminderClick));
  Uread_reminder_time = make_list("Uread_reminder_time", {"30 minutes", "continuous"}, 0);
  // Its click runs the canned messages' rule, which reads only their box.
  Full_msg = make_check("Full_msg", true, rule(&Form::CanMsg_checkboxClick));
  Error_eduction_checkbox = make_check("Error_eduction_checkbox", true);
  Protect_menu_checkbox = make_check("Protect_menu_checkbox", true);
  Message_order = make_list("Message_order", {"Decrement", "Increment"}, 0);
  Num_message = make_edit("Num_message", "12", 2, K::digits, rule(&Form::MaxCannedmsgChange),
                          rule(&Form::Num_messageChange));

  Hand_code_pss_checkbox = make_check("Hand_code_pss_checkbox", true, rule(&Form::Hand_code_pss_checkboxClick));
  Baud_handcode_checkbox = make_check("Baud_handcode_checkbox", true);
  Freq_handcode_checkbox = make_check("Freq_handcode_checkbox", true);
  Addr_handcode_checkbox = make_check("Addr_handcode_checkbox", true);
  Password = make_edit("Password", "7316", 4, K::digits, {}, rule(&Form::PasswordExit));

  OTA_autotime_checkbox = make_check("OTA_autotime_checkbox", true);
  OTA_poweroff_checkbox = make_check("OTA_poweroff_checkbox", true);
  OTA_msgdel_checkbox = make_check("OTA_msgdel_checkbox", true);
  OTA_alertmode_checkbox = make_check("OTA_alertmode_checkbox", true);

  Out_range_func_checkbox =
      make_check("Out_range_func_checkbox", true, rule(&Form::Out_range_func_checkboxClick));
  In_out_range = make_list("In_out_range", {"Out", "In"}, 1);
  No_service = make_check("No_service", true);
  std::vector<std::string> minutes;
  // One to nine minutes have two spaces before the unit, as the pager shows them.
  for (int i = 1; i <= 15; ++i) minutes.push_back(std::to_string(i) + (i < 10 ? "  min" : " min"));
  Outrange_time = make_list("Outrange_time", minutes, 2);
  LowbattComb = make_list("LowbattComb", {"Normal", "Special"}, 0);
  LcdorderComb = make_list("LcdorderComb", {"Left", "Right"}, 0);
  lcdmannulCB = make_list("lcdmannulCB", {"DISABLE", "ENABLE"}, 1, rule(&Form::lcdmannulCBChange));

  Re1Chk = make_check("Re1Chk", false);
  // Its click runs the date display's rule, which reads only that box.
  Re2Chk = make_check("Re2Chk", false, rule(&Form::Date_time_disp_checkboxClick));
  Re3Chk = make_check("Re3Chk", false);
  ORCTChk = make_check("ORCTChk", false);
  CtRadio = Radio{"CtRadio",
                  {"Found address codeword", "Uncollectible codeword", "Two consecutive codeword",
                   "Uncollectible and two codeword"},
                  3};
}

void Form::start_up() {
  Vib_patternChange();
  set_enabled(Password, true);
  Dup_msg_rejection_chekboxClick();
  if (Urgent_call_addr.index == 0) set_enabled(Urgent_call_tone, false);
  set_enabled(PLL_select, false);
}

std::vector<NamedControl> Form::controls() {
  std::vector<NamedControl> all;
  auto add = [&all](auto& control) { all.push_back({control.name, ControlRef(&control)}); };
  for (std::size_t i = 0; i < 4; ++i) {
    add(sc_addractv[i]);
    add(sc_address[i]);
    add(sc_framno[i]);
    add(sc_autoinc[i]);
  }
  add(PLL_select), add(Baud_rate), add(Frequency), add(Frequency_step), add(Date_polarity), add(Serial_no);
  add(CheckBox1), add(Hello_msg), add(ModelCB), add(FirmwareVer);
  add(Daily_Alarm_checkbox), add(Date_time_disp_checkbox), add(Sleep_timer_checkbox), add(Pager_off_menu_checkbox);
  add(E512bs1), add(E512bs3), add(E1200bs1), add(E1200bs3), add(E2400bs1), add(E2400bs3);
  add(Alert_reset), add(Urgent_call_addr), add(Urgent_call_tone), add(Select_tone), add(Alert_duration);
  add(Alert_type), add(Vib_pattern), add(Special_vib_time), add(Time_format), add(Date_format), add(Char_set);
  add(CanMsg_checkbox), add(CannedMsg_command);
  for (Edit& e : T_only_msg) add(e);
  for (Edit& e : N_canned_msg) add(e);
  add(Dup_msg_rejection_chekbox), add(Dup_msg_time), add(Repeat_msg_tone), add(Msg_time_stamp_checkbox);
  add(Message_status_checkbox), add(Unread_disp_checkbox), add(Unread_reminder), add(Uread_reminder_time);
  add(Full_msg), add(Error_eduction_checkbox), add(Protect_menu_checkbox), add(Message_order), add(Num_message);
  add(Hand_code_pss_checkbox), add(Baud_handcode_checkbox), add(Freq_handcode_checkbox);
  add(Addr_handcode_checkbox), add(Password);
  add(OTA_autotime_checkbox), add(OTA_poweroff_checkbox), add(OTA_msgdel_checkbox), add(OTA_alertmode_checkbox);
  add(Out_range_func_checkbox), add(In_out_range), add(No_service), add(Outrange_time), add(LowbattComb);
  add(LcdorderComb), add(lcdmannulCB);
  add(Re1Chk), add(Re2Chk), add(Re3Chk), add(ORCTChk), add(CtRadio);
  return all;
}

std::vector<NamedControl> Form::stored_controls() {
  // Neither the frame numbers (derived from the addresses), the offsets nor
  // the "Auto" box are in the image.
  const std::vector<const void*> not_stored = {&CheckBox1, &sc_framno[0], &sc_framno[1], &sc_framno[2],
                                               &sc_framno[3], &sc_autoinc[0], &sc_autoinc[1], &sc_autoinc[2],
                                               &sc_autoinc[3]};
  // Each list an option can grey goes just before that option.
  const std::vector<std::pair<const void*, const void*>> before = {
      {&Vib_pattern, &Alert_type},
      {&CannedMsg_command, &CanMsg_checkbox},
      {&Dup_msg_time, &Dup_msg_rejection_chekbox},
      {&Uread_reminder_time, &Unread_reminder},
      {&In_out_range, &Out_range_func_checkbox},
  };
  auto address_of = [](const NamedControl& c) {
    return std::visit([](auto* p) { return static_cast<const void*>(p); }, c.control);
  };
  const std::vector<NamedControl> all = controls();
  std::vector<NamedControl> stored;
  for (const NamedControl& c : all) {
    const void* p = address_of(c);
    if (std::find(not_stored.begin(), not_stored.end(), p) != not_stored.end()) continue;
    if (std::any_of(before.begin(), before.end(), [p](const auto& b) { return b.first == p; })) continue;
    for (const auto& [list, option] : before) {
      if (option != p) continue;
      for (const NamedControl& l : all) {
        if (address_of(l) == list) stored.push_back(l);
      }
    }
    stored.push_back(c);
  }
  return stored;
}

std::optional<ControlRef> Form::find(std::string_view name) {
  for (const NamedControl& c : controls()) {
    if (c.name == name) return c.control;
  }
  return std::nullopt;
}

// ------------------------------------------------------------ notices

void Form::changed(const std::string& name) {
  if (change_listener_) change_listener_(name);
}

void Form::log(std::string line) { notices_.push_back({Notice::Kind::log, std::move(line)}); }

void Form::beep() { notices_.push_back({Notice::Kind::beep, {}}); }

void Form::give_focus_back(const Edit& edit) { notices_.push_back({Notice::Kind::focus, edit.name}); }

// While an image is being shown, one bad value can upset several handlers in
// turn; the technician hears about it once and still gets the whole image.
void Form::report_error(const std::string& text) {
  if (decoding_) {
    if (decode_error_shown_) return;
    decode_error_shown_ = true;
  }
  notices_.push_back({Notice::Kind::error, text});
}

void Form::guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const ConversionError& error) {
    report_error(error.what());
  }
}

std::vector<Notice> Form::take_notices() { return std::exchange(notices_, {}); }


// ------------------------------------------------------------ events by code

void Form::set_text(Edit& edit, std::string_view text) {
  std::string shown(text);
  if (edit.upper_case) {
    for (char& c : shown) c = upper_case_latin1(c);
  }
  if (edit.max_length > 0 && shown.size() > edit.max_length) shown.resize(edit.max_length);
  if (shown == edit.text) return;
  edit.text = std::move(shown);
  changed(edit.name);
  fire_change(edit);
}

void Form::set_number(Edit& edit, std::int64_t value) {
  std::string text = std::to_string(value);
  if (text == edit.text) return;
  edit.text = std::move(text);
  changed(edit.name);
  fire_change(edit);
}

void Form::replace_text(Edit& edit, std::string_view text) {
  set_text(edit, "");
  set_text(edit, text);
}

void Form::set_checked(Check& check, bool checked) {
  if (check.checked == checked) return;
  check.checked = checked;
  changed(check.name);
  fire_click(check);
}

void Form::select(List& list, int index) {
  const int shown = (index >= 0 && index < static_cast<int>(list.items.size())) ? index : kNoSelection;
  if (shown == list.index) return;
  list.index = shown;
  changed(list.name);
}

void Form::select(Radio& radio, int index) {
  const int shown = (index >= 0 && index < static_cast<int>(radio.items.size())) ? index : kNoSelection;
  if (shown == radio.index) return;
  radio.index = shown;
  changed(radio.name);
}

void Form::set_enabled(Edit& edit, bool enabled) {
  if (edit.enabled == enabled) return;
  edit.enabled = enabled;
  changed(edit.name);
}

void Form::set_enabled(List& list, bool enabled) {
  if (list.enabled == enabled) return;
  list.enabled = enabled;
  changed(list.name);
}

void Form::set_enabled(Check& check, bool enabled) {
  if (check.enabled == enabled) return;
  check.enabled = enabled;
  changed(check.name);
}

// Each control's events run the handlers its catalogue entry names.
void Form::fire_change(Edit& edit) {
  guarded([&] {
    if (edit.on_change) edit.on_change(*this);
  });
}

void Form::fire_click(Check& check) {
  guarded([&] {
    if (check.on_click) check.on_click(*this);
  });
}

void Form::fire_choice(List& list) {
  guarded([&] {
    if (list.on_change) list.on_change(*this);
  });
}

// ------------------------------------------------------------ the user

void Form::user_edited(Edit& edit, std::string_view text) {
  // The field has already shown the text as typed: only the handlers' own
  // changes need showing.
  if (edit.text == text) return;
  edit.text = std::string(text);
  fire_change(edit);
}

void Form::user_selected(List& list, int index) {
  list.index = (index >= 0 && index < static_cast<int>(list.items.size())) ? index : kNoSelection;
}

void Form::user_chose(List& list, int index) {
  select(list, index);
  fire_choice(list);
}

void Form::user_clicked(Check& check, bool checked) { set_checked(check, checked); }

void Form::user_chose(Radio& radio, int index) { select(radio, index); }

void Form::user_left(Edit& edit) {
  guarded([&] {
    if (edit.on_exit) edit.on_exit(*this);
  });
}

std::optional<std::string> Form::type_over(Edit& edit, std::string_view text) {
  const bool address_like = edit.keys == KeyFilter::address;
  const bool digits_only = edit.keys == KeyFilter::digits;
  const bool pager_text = edit.keys == KeyFilter::pager_text;
  const auto refused = [&edit](char c) { return edit.name + ": the field does not take '" + std::string(1, c) + "'"; };

  // What each key inserts, worked out before anything is typed so that a
  // refused key changes nothing.
  std::vector<std::string> keys;
  std::size_t length = 0;
  bool after_automatic_point = false;
  for (const char c : text) {
    if (c == '\b' || (address_like && !address_key_passes(c)) || (digits_only && !digit_key_passes(c)) ||
        (pager_text && !pager_text_key_passes(c))) {
      return refused(c);
    }
    std::string inserted(1, edit.upper_case ? upper_case_latin1(c) : c);
    if (edit.keys == KeyFilter::frequency) {
      const FrequencyKey key = frequency_key(c, length);
      if (key == FrequencyKey::refuse && c == '.' && after_automatic_point) {
        // The point the field put in by itself is the point the technician meant.
        after_automatic_point = false;
        continue;
      }
      if (key == FrequencyKey::refuse) {
        if (c != '.') return refused(c);
        return edit.name + ": a point the field does not take (it puts its own point after the third digit)";
      }
      if (key == FrequencyKey::with_point) inserted += '.';
      after_automatic_point = key == FrequencyKey::with_point;
    }
    length += inserted.size();
    if (edit.max_length > 0 && length > edit.max_length) {
      return edit.name + ": longer than its " + std::to_string(edit.max_length) + " characters";
    }
    keys.push_back(std::move(inserted));
  }

  // The first key replaces the whole text; typing nothing over it deletes it.
  user_edited(edit, keys.empty() ? std::string() : keys.front());
  for (std::size_t k = 1; k < keys.size(); ++k) user_edited(edit, edit.text + keys[k]);
  changed(edit.name);
  return std::nullopt;
}

// ------------------------------------------------------------ address rows

std::int64_t Form::address_value(int row) const { return to_int(sc_address[static_cast<std::size_t>(row)]); }

void Form::sc_addressChange(int row) {
  const auto r = static_cast<std::size_t>(row);
  const Edit& edit = sc_address[r];
  if (edit.text.size() < kAddressDigits) return;
  const std::int64_t address = address_value(row);
  if (address_in_range(address)) {
    set_text(sc_framno[r], std::string(1, frame_digit(address)));
    return;
  }
  // Also a number stepped past seven digits: the pager would get another
  // address than the one shown.
  beep();
  log(address_range_warning(row + 1));
  give_focus_back(edit);
}

void Form::sc_addressExit(int row) {
  Edit& edit = sc_address[static_cast<std::size_t>(row)];
  // One zero at a time: the change rule runs at each step, and its range
  // check once the seventh character is in place.
  bool padded = false;
  while (edit.text.size() < kAddressDigits) {
    set_text(edit, "0" + edit.text);
    padded = true;
  }
  // A text that is not a number has just been reported by the change rule.
  if (padded && !is_integer(edit.text)) return;
  // Only a field that itself repeats another address is held: holding the
  // field being left for some other equal pair would lock the technician
  // out of the very fields that need mending.
  if (address_equals_another(row)) give_focus_back(edit);
}

bool Form::check_address_diff() {
  std::array<std::int64_t, 4> addresses{};
  for (int row = 0; row < 4; ++row) addresses[static_cast<std::size_t>(row)] = address_value(row);
  return any_two_equal(addresses);
}

bool Form::address_equals_another(int row) const {
  std::array<std::int64_t, 4> addresses{};
  for (int r = 0; r < 4; ++r) addresses[static_cast<std::size_t>(r)] = address_value(r);
  return equals_another(addresses, row);
}

void Form::sc_addractvClick(int row) {
  const auto r = static_cast<std::size_t>(row);
  const bool enabled = sc_addractv[r].checked;
  set_enabled(sc_address[r], enabled);
  set_enabled(sc_framno[r], enabled);
  set_enabled(sc_autoinc[r], enabled);
}

void Form::set_addresses_whole(int first, int second) {
  for (const int row : {first, second}) {
    const auto r = static_cast<std::size_t>(row);
    const std::string offset = sc_autoinc[r].text();
    const std::int64_t step = offset.empty() ? 0 : std::atoi(offset.c_str());
    // Written whole: cut to the field's seven characters, 9999999 + 8 would
    // show as 1000000, another valid address.
    set_number(sc_address[r], address_value(row) + step);
  }
}

void Form::advance_addresses() {
  set_addresses_whole(1, 0);
  sc_addressChange(0);
  sc_addressChange(1);
  set_addresses_whole(3, 2);
  sc_addressChange(2);
  sc_addressChange(3);
  for (int row = 0; row < 4; ++row) sc_addressExit(row);
}

std::optional<int> Form::overlong_address() const {
  for (int row = 0; row < 4; ++row) {
    if (sc_address[static_cast<std::size_t>(row)].text.size() > kAddressDigits) return row;
  }
  return std::nullopt;
}

bool Form::refuse_overlong_address() {
  const std::optional<int> row = overlong_address();
  if (!row) return false;
  beep();
  log(address_range_warning(*row + 1));
  give_focus_back(sc_address[static_cast<std::size_t>(*row)]);
  return true;
}

// ------------------------------------------------------------ interlocks

void Form::CanMsg_checkboxClick() {
  const bool enabled = CanMsg_checkbox.checked;
  for (Edit& message : N_canned_msg) set_enabled(message, enabled);
  set_enabled(CannedMsg_command, enabled);
  for (Edit& message : T_only_msg) set_enabled(message, enabled);
}

void Form::Date_time_disp_checkboxClick() {
  const bool enabled = Date_time_disp_checkbox.checked;
  set_enabled(Msg_time_stamp_checkbox, enabled);
  set_enabled(Daily_Alarm_checkbox, enabled);
  set_enabled(Sleep_timer_checkbox, enabled);
}

void Form::Vib_patternChange() { set_enabled(Special_vib_time, Vib_pattern.text() == "Special"); }

void Form::Alert_typeChange() {
  if (alert_type_without_vibration(Alert_type.index)) {
    set_enabled(Vib_pattern, false);
    set_enabled(Special_vib_time, false);
  } else {
    set_enabled(Vib_pattern, true);
    Vib_patternChange();
  }
}

void Form::Unread_reminderClick() { set_enabled(Uread_reminder_time, Unread_reminder.checked); }

void Form::Dup_msg_rejection_chekboxClick() { set_enabled(Dup_msg_time, Dup_msg_rejection_chekbox.checked); }

void Form::Out_range_func_checkboxClick() { set_enabled(In_out_range, Out_range_func_checkbox.checked); }

void Form::Hand_code_pss_checkboxClick() { set_enabled(Password, Hand_code_pss_checkbox.checked); }

// A list showing nothing (a pager's urgent-call code 6, or 8 to 15) counts
// as "DISABLE", as the pager itself and the image treat it.
void Form::Urgent_call_addrChange() { set_enabled(Urgent_call_tone, Urgent_call_addr.index > 0); }

void Form::lcdmannulCBChange() {
  if (lcdmannulCB.index == 0) {
    select(LcdorderComb, 0);
    set_enabled(LcdorderComb, false);
  } else {
    set_enabled(LcdorderComb, true);
  }
}

void Form::ModelCBChange() { model_flag = model_flag == 0 ? 1 : 0; }

// ------------------------------------------------------------ numeric fields

// A value out of range is replaced, with a beep and the warning line; the
// replacement's own change event then finds it in range.
void Form::correct(const std::optional<Correction>& correction, Edit& edit) {
  if (!correction) return;
  beep();
  log(correction->warning);
  set_text(edit, correction->replacement);
}

void Form::Special_vib_timeChange() { correct(special_vib_time_change(to_int(Special_vib_time)), Special_vib_time); }

void Form::MaxCannedmsgChange() { correct(num_message_change(to_int(Num_message)), Num_message); }

void Form::Num_messageChange() { correct(num_message_exit(to_int(Num_message)), Num_message); }

void Form::Serial_noExit() { set_text(Serial_no, pad_with_zeros(Serial_no.text, kSerialWidth)); }

void Form::PasswordExit() { set_text(Password, pad_with_zeros(Password.text, kPasswordWidth)); }

}  // namespace q5::rules
