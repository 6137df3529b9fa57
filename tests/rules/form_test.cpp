// The form without a window, as the command line drives it: typing through
// the fields' key filters, the order of the settings a file holds, and the
// batch log's row. The window's own behaviour is tested through the window.
#include "rules/form.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "image/codec.h"
#include "image/frequency.h"
#include "rules/batch_row.h"
#include "rules/form_probe.h"
#include "rules/pager_text.h"

namespace q5::rules {
namespace {

using Kind = Notice::Kind;

struct Typing {
  const char* field;
  std::string keys;
  std::optional<std::string> shown;  // nullopt: refused, and nothing changes
  std::vector<std::string> warnings{};
};
void PrintTo(const Typing& t, std::ostream* out) { *out << t.field << " <- \"" << t.keys << '"'; }

class TypeOver : public ::testing::TestWithParam<Typing> {};

TEST_P(TypeOver, GoesThroughTheFieldsKeyFilterLimitAndChangeRule) {
  const Typing& t = GetParam();
  Form form;
  form.start_up();
  Edit& edit = *std::get<Edit*>(*form.find(t.field));
  const std::string before = edit.text;
  const std::optional<std::string> refusal = form.type_over(edit, t.keys);
  if (!t.shown) {
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->rfind(t.field, 0), 0u) << *refusal;  // names the field
    EXPECT_EQ(edit.text, before);
    EXPECT_TRUE(form.take_notices().empty());
    return;
  }
  ASSERT_FALSE(refusal.has_value()) << *refusal;
  EXPECT_EQ(edit.text, *t.shown);
  EXPECT_EQ(logged(form.take_notices()), t.warnings);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, TypeOver,
    ::testing::Values(
        // The third digit brings the point; a point typed there is that point.
        Typing{"Frequency", "138.98", "138.98"}, Typing{"Frequency", "13898", "138.98"},
        Typing{"Frequency", "25", "25"}, Typing{"Frequency", "1.5", std::nullopt},
        Typing{"Frequency", "138..9", std::nullopt}, Typing{"Frequency", "138.975001", std::nullopt},
        Typing{"Frequency", "13a", std::nullopt},
        // Digit fields: digits only, up to their width.
        Typing{"sc_address2", "2004099", "2004099"}, Typing{"sc_address2", "20040990", std::nullopt},
        Typing{"sc_address2", "20-4", std::nullopt}, Typing{"Serial_no", "1234x", std::nullopt},
        Typing{"Password", "12", "12"}, Typing{"E512bs1", "255", "255"},
        // Each key runs the change rule: 13 becomes 12 with its warning.
        Typing{"Num_message", "13", "12", {"The number of message value range out,the max is 12  "}},
        Typing{"Special_vib_time", "15", "12",
               {"The Special vibrate time value range out,the max is 12 seconds "}},
        // The message texts: digits, letters as capitals and space, which the
        // pager can show; an accented letter would be stored as "0".
        Typing{"Hello_msg", "good day", "GOOD DAY"}, Typing{"N_canned_msg1", "\xE9t\xE9", std::nullopt},
        Typing{"N_canned_msg1", "\xFF", std::nullopt}, Typing{"N_canned_msg1", "TOOLONG", std::nullopt},
        Typing{"T_only_msg2", "HI!", std::nullopt}, Typing{"T_only_msg2", "R2 D2", "R2 D2"},
        Typing{"Hello_msg", "", ""}));

// What a message text keeps of a paste, and which characters it names as
// ones the pager cannot show; the capitals of Latin-1 letters, as set text
// (a decoded one) shows them.
TEST(PagerText, PasteKeepsWhatCanBeStoredAndNamesTheRest) {
  const std::tuple<const char*, const char*, const char*> cases[] = {  // before, after the paste, kept
      {"HELLO", "HELLO world!", "HELLO WORLD"}, {"AB", "Agr\xFC\xDF" "eB", "AGREB"},
      {"A!B", "A!xB", "A!XB"},  // a decoded '!' stays where it was
      {"", "", ""}, {"ABC", "AC", "AC"}};
  for (const auto& [before, after, kept] : cases) EXPECT_EQ(keep_storable_insert(before, after), kept) << after;
  EXPECT_EQ(unstorable_characters("HELLO WORLD!!"), "!");
  EXPECT_EQ(unstorable_characters("Gr\xFC\xDF" "e 42"), "\xFC\xDF");
  EXPECT_EQ(storable_pager_text("a-b c"), "AB C");
  for (const char c : {'0', '9', 'A', 'Z', 'a', 'z', ' ', '\b'}) EXPECT_TRUE(pager_text_key_passes(c)) << c;
  for (const char c : {'!', '.', '-', '\xE9', '\t', '\0'}) EXPECT_FALSE(pager_text_key_passes(c)) << int{c};
  EXPECT_EQ(upper_case_latin1('\xE9'), '\xC9');
  EXPECT_EQ(upper_case_latin1('\xF7'), '\xF7');
  EXPECT_EQ(upper_case_latin1('\xFF'), '?');
}

TEST(TypeOver, NothingTypedIntoANumberFieldIsTheConversionError) {
  Form form;
  ASSERT_FALSE(form.type_over(form.Num_message, "").has_value());
  EXPECT_EQ(logged(form.take_notices(), Kind::error), std::vector<std::string>{"'' is not a valid integer value"});
}

TEST(TypeOver, FrequencyLeftIsSnappedOnTheStepShown) {
  Form form;
  ASSERT_FALSE(form.type_over(form.Frequency, "138.98").has_value());
  form.user_left(form.Frequency);
  EXPECT_EQ(form.Frequency.text, "138.98125");
  ASSERT_FALSE(form.type_over(form.Frequency, "280").has_value());
  form.user_left(form.Frequency);
  EXPECT_EQ(form.Frequency.text, "280.00000");
  EXPECT_EQ(form.Frequency_step.items, (std::vector<std::string>{"12.5kHz", "10kHz"}));
}

TEST(StoredControls, AreTheImagesSettingsEachListBeforeTheOptionThatGreysIt) {
  Form form;
  std::vector<std::string> names;
  for (const NamedControl& c : form.stored_controls()) names.emplace_back(c.name);
  EXPECT_EQ(names.size(), 98u);
  for (const char* never : {"CheckBox1", "sc_framno1", "sc_autoinc4"}) {
    EXPECT_EQ(std::count(names.begin(), names.end(), never), 0) << never;
  }
  auto at = [&names](const char* name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
  const std::pair<const char*, const char*> greyed_by[] = {
      {"Vib_pattern", "Alert_type"},          {"Urgent_call_tone", "Urgent_call_addr"},
      {"CannedMsg_command", "CanMsg_checkbox"}, {"Dup_msg_time", "Dup_msg_rejection_chekbox"},
      {"Uread_reminder_time", "Unread_reminder"}, {"In_out_range", "Out_range_func_checkbox"},
      {"LcdorderComb", "lcdmannulCB"}};
  for (const auto& [list, option] : greyed_by) {
    if (std::string(list) == "Urgent_call_tone") {
      // Greyed from the start: its address has to be chosen first.
      EXPECT_GT(at(list), at(option));
    } else {
      EXPECT_LT(at(list), at(option)) << list;
    }
  }
  EXPECT_EQ(names.front(), "sc_addractv1");
  EXPECT_EQ(names.back(), "CtRadio");
}

// The row holds what was written, the frames derived from the addresses and
// the chip the pager has, also one the list has no item for.
TEST(BatchLogRow, HoldsTheFormAsWrittenOrOnlyTheResult) {
  image::Settings pager;
  pager.address = {"0000013", "2004008", "2004016", "2097143"};
  pager.address_enabled = {true, false, true, true};
  pager.pll_chip = image::kChipRX8308;
  pager.firmware = 1;
  Form form;
  form.decode(image::encode(pager));

  const files::BatchLogRow row = batch_log_row(0, "Write eeprom OK!", &form);
  EXPECT_EQ(row.result, "Write eeprom OK!");
  EXPECT_EQ(row.serial, "12345678");
  EXPECT_EQ(row.addresses[0].address, "0000013");
  EXPECT_EQ(row.addresses[0].frame, "5");
  EXPECT_EQ(row.addresses[1].enabled, "0");
  EXPECT_EQ(row.addresses[3].frame, "7");
  EXPECT_EQ(row.synthesiser, "RX8308");
  EXPECT_EQ(row.firmware, "R2");
  EXPECT_EQ(row.step, "6.25kHz");
  EXPECT_EQ(row.baud_rate, "1200 bps");

  const files::BatchLogRow refused = batch_log_row(0, "Link error, please check Connection", nullptr);
  EXPECT_EQ(refused.serial, "");
  EXPECT_EQ(refused.frequency, "");
  EXPECT_FALSE(refused.time.empty());
}

}  // namespace
}  // namespace q5::rules
