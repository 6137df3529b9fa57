// The form's catalogue: every list's items and default as the form is
// created, and settings made by name as a technician makes them
// (Form::assign). The window's widgets are checked against the
// catalogue itself in tests/app.
#include <gtest/gtest.h>

#include "rules/form_probe.h"

namespace q5::rules {
namespace {

using Items = std::vector<std::string>;

TEST(Catalogue, EveryListHasItsItemsAndDefault) {
  const Items offsets = {"0", "1", "2", "3", "4", "5", "6", "7", "8"};
  const Items addresses = {"DISABLE", "ADDRESS 1", "ADDRESS 2", "ADDRESS 3", "ADDRESS 4", "ALL"};
  Items minutes;
  for (int i = 1; i <= 15; ++i) minutes.push_back(std::to_string(i) + (i < 10 ? "  min" : " min"));
  struct Case {
    std::string name;
    Items items;
    int index;
  };
  std::vector<Case> cases = {
      {"PLL_select", {"KS8809", "SM5170"}, 1}, {"Baud_rate", {"2400 bps", "512   bps", "1200 bps"}, 2},
      {"Frequency_step", {"6.25kHz", "5kHz"}, 0}, {"Date_polarity", {"NORMAL", "INVERT"}, 0},
      {"ModelCB", {"Orbit", "Normal"}, 0}, {"FirmwareVer", {"R1", "R2"}, 0},
      {"Alert_reset", addresses, 0}, {"Urgent_call_addr", addresses, 0},
      {"Urgent_call_tone", {"DISABLE", "TONE A", "TONE B", "TONE C", "TONE D", "ALL"}, 0},
      {"Select_tone", {"ABCD+Music", "TONE+Music"}, 0},
      {"Alert_duration", {"1", "2", "3", "4", "8", "16", "32", "64"}, 5},
      {"Alert_type", {"T/V/T+V/M", "V/T/T+V/M", "T/V/T+V", "V/T/T+V", "T/M", "V/M", "T only", "V only", "T+V"}, 0},
      {"Vib_pattern", {"1+1+1...1Hz", "A/B/C/D", "Special", "Continuous"}, 0}, {"Time_format", {"24 hr", "12 hr"}, 1},
      {"Date_format", {"DD/MM", "MM/DD"}, 0}, {"Char_set", {"0..9AU -][", "0..9ABCDE "}, 0},
      {"CannedMsg_command", {"--", "[[", "]]"}, 0},
      {"Dup_msg_time", {"1 min", "2 min", "3 min", "4 min", "5 min", "6 min"}, 0},
      {"Repeat_msg_tone", {"Short", "Long"}, 0}, {"Uread_reminder_time", {"30 minutes", "continuous"}, 0},
      {"Message_order", {"Decrement", "Increment"}, 0}, {"In_out_range", {"Out", "In"}, 1},
      {"Outrange_time", minutes, 2}, {"LowbattComb", {"Normal", "Special"}, 0},
      {"LcdorderComb", {"Left", "Right"}, 0}, {"lcdmannulCB", {"DISABLE", "ENABLE"}, 1},
  };
  for (const char* name : {"sc_autoinc1", "sc_autoinc2", "sc_autoinc3", "sc_autoinc4"}) cases.push_back({name, offsets, 0});
  Form form;
  std::size_t lists = 0;
  for (const NamedControl& c : form.controls()) lists += std::holds_alternative<List*>(c.control);
  EXPECT_EQ(lists, cases.size());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto found = form.find(c.name);
    ASSERT_TRUE(found && std::holds_alternative<List*>(*found));
    const List* list = std::get<List*>(*found);
    EXPECT_EQ(list->items, c.items);
    EXPECT_EQ(list->index, c.index);
    // Only the pager's own model and firmware are greyed as the form is made.
    EXPECT_EQ(list->enabled, c.name != "ModelCB" && c.name != "FirmwareVer");
  }
}

// The edits' limits and key filters are tested by typing (TypeOver here, the
// key filters in tests/app) and their defaults by the default image; the
// lists' items are the program's own texts, kept here word for word.

// --- Settings by name --------------------------------------------------------

constexpr const char* kLowWarning = "Frequency counter overflow, pager can't work in this lower frequency";

struct Assigning {
  const char* name;
  std::vector<Form::Setting> settings;
  std::string refusal;  // "": made; else a word of the refusal
  std::vector<std::pair<std::string, std::string>> shown{};  // control, its text afterwards
  std::vector<std::string> warnings{};
};
void PrintTo(const Assigning& a, std::ostream* out) { *out << a.name; }

class Assign : public ::testing::TestWithParam<Assigning> {};

TEST_P(Assign, AsATechnicianWould) {
  const Assigning& a = GetParam();
  Form form;
  form.start_up();
  ASSERT_FALSE(form.assign({{"Dup_msg_rejection_chekbox", "false"}}));  // a greyed list to try
  (void)form.take_notices();
  const std::optional<Form::Refusal> refusal = form.assign(a.settings);
  if (a.refusal.empty()) {
    EXPECT_FALSE(refusal) << refusal->text;
  } else {
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->text.find(a.refusal), std::string::npos) << refusal->text;
  }
  for (const auto& [name, text] : a.shown) EXPECT_EQ(shown_text(form, name), text) << name;
  std::vector<std::string> warnings;
  for (const Notice& n : form.take_notices()) {
    if (n.kind == Notice::Kind::log) warnings.push_back(n.text);
  }
  EXPECT_EQ(warnings, a.warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Assign,
    ::testing::Values(
        // Snapped to the nearest 6.25 kHz channel; above 175 MHz the list is the high band's.
        Assigning{"Snapped", {{"Frequency", "138.98"}}, "", {{"Frequency", "138.98125"}, {"Frequency_step", "6.25kHz"}}},
        Assigning{"LowBand", {{"Frequency", "25"}}, "", {{"Frequency", "025.00000"}}, {kLowWarning}},
        Assigning{"HighBand", {{"Frequency", "280"}}, "", {{"Frequency", "280.00000"}, {"Frequency_step", "12.5kHz"}}},
        // The frequency goes first whatever the order given: its band decides the list.
        Assigning{"FrequencyBeforeStep", {{"Frequency_step", "10kHz"}, {"Frequency", "280"}}, "",
                  {{"Frequency", "280.00000"}, {"Frequency_step", "10kHz"}}},
        // On a 5 kHz raster, snapped on the list's first step first, this one
        // would end a channel up (138.91500).
        Assigning{"RetypedAfterTheStep", {{"Frequency_step", "5kHz"}, {"Frequency", "138.91"}}, "",
                  {{"Frequency", "138.91000"}, {"Frequency_step", "5kHz"}}},
        // The first typing's warning is dropped; the second typing's stays.
        Assigning{"FirstTypingsWarningDropped", {{"Frequency", "25"}, {"Frequency_step", "5kHz"}}, "",
                  {{"Frequency", "025.00000"}, {"Frequency_step", "5kHz"}}, {kLowWarning}},
        // The firmware comes first: R2's list has the step.
        Assigning{"FirmwareFirst", {{"Frequency_step", "12.5kHz"}, {"FirmwareVer", "R2"}}, "",
                  {{"FirmwareVer", "R2 (greyed)"}, {"Frequency_step", "12.5kHz"}}},
        Assigning{"FirmwareFrequencyStep", {{"FirmwareVer", "R2"}, {"Frequency", "138.91"}, {"Frequency_step", "5kHz"}},
                  "", {{"Frequency", "138.91000"}, {"Frequency_step", "5kHz"}}},
        // Greyed lists take what they show as nothing to do and refuse the
        // rest; the pager's own lists count as enabled; the model never changes.
        Assigning{"GreyedShowsIt", {{"Dup_msg_time", "1 min"}, {"Urgent_call_tone", "DISABLE"}}, ""},
        Assigning{"GreyedRefused", {{"Dup_msg_time", "3 min"}}, "greyed out", {{"Dup_msg_time", "1 min (greyed)"}}},
        Assigning{"GreyedToneRefused", {{"Urgent_call_tone", "TONE A"}}, "greyed out"},
        Assigning{"PagerListsCountAsEnabled", {{"PLL_select", "KS8809"}}, "", {{"PLL_select", "KS8809 (greyed)"}}},
        Assigning{"ModelShown", {{"ModelCB", "Orbit"}}, ""},
        Assigning{"ModelNeverChosen", {{"ModelCB", "Normal"}}, "greyed out"},
        // Edits and boxes are set even when greyed.
        Assigning{"GreyedEditAndBox", {{"Special_vib_time", "5"}, {"Msg_time_stamp_checkbox", "false"}}, "",
                  {{"Special_vib_time", "5 (greyed)"}, {"Msg_time_stamp_checkbox", "false"}}},
        Assigning{"StopsAtTheFirstRefusal", {{"Serial_no", "1"}, {"Full_msg", "no"}, {"Password", "1"}},
                  "takes true or false", {{"Serial_no", "00000001"}, {"Password", "7316"}}},
        // Items as people type them: case and runs of spaces do not count.
        Assigning{"LooseItems", {{"Baud_rate", "512 bps"}, {"Outrange_time", "3 min"}, {"Alert_type", "t only"}}, "",
                  {{"Baud_rate", "512   bps"}, {"Outrange_time", "3  min"}, {"Alert_type", "T only"}}},
        Assigning{"LooseStepWithItsFirmware", {{"FirmwareVer", "R2"}, {"Frequency_step", "12.5khz"}}, "",
                  {{"Frequency_step", "12.5kHz"}}},
        // An item of another firmware's or band's list says what to set with it.
        Assigning{"StepOfTheOtherBand", {{"FirmwareVer", "R2"}, {"Frequency_step", "25kHz"}},
                  "with FirmwareVer R2 at 175 MHz or below; set a Frequency above 175 MHz with it"},
        Assigning{"StepOfNeither", {{"Frequency_step", "20kHz"}},
                  "; set FirmwareVer=R2 and a Frequency above 175 MHz with it"},
        Assigning{"NoSuchStep", {{"Frequency_step", "7kHz"}}, "its items are \"6.25kHz\", \"5kHz\""},
        Assigning{"GreyedToneNamesTheAddress", {{"Urgent_call_tone", "TONE B"}}, "Urgent_call_addr other than DISABLE"},
        Assigning{"UnknownCaseBlind", {{"baud_rate", "512 bps"}}, "did you mean Baud_rate?"},
        // Text the pager cannot show is refused, named, before anything is typed.
        Assigning{"UnstorableNamedOnce", {{"N_canned_msg3", "a-b-c."}}, "N_canned_msg3: \"-.\" cannot be stored"},
        Assigning{"LowerCaseTextIsCapitals", {{"T_only_msg1", "call me"}}, "", {{"T_only_msg1", "CALL ME"}}},
        // Equal enabled addresses are refused; a disabled row may repeat one.
        Assigning{"EqualButDisabled", {{"sc_addractv2", "false"}, {"sc_address2", "2004000"}}, ""},
        // An error box of the rules stops the settings too, in its place among the notices.
        Assigning{"ErrorBoxStops", {{"Num_message", ""}, {"Serial_no", "1"}}, "is not a valid integer value",
                  {{"Serial_no", "12345678"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace q5::rules
