// Files saved by the real window: show tells what the window shows, set
// rebuilds the same file from those values, and diff names exactly the
// settings the window shows differently.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <nlohmann/json.hpp>
#include <random>
#include <set>

#include "cli_run.h"
#include "support/random_form.h"
#include "support/window_fixture.h"

namespace {

using namespace q5::test;
using q5::image::Settings;
using Json = nlohmann::ordered_json;

constexpr int kForms = 60;

// Random settings as a technician could leave them in the window: the
// synthesiser one of the two the list offers (the third only comes from a
// pager), and the lists that an option greys keeping what they showed when
// it greyed them.
Settings technician_settings(std::mt19937& rng) {
  Settings s = random_settings(rng);
  if (s.pll_chip == q5::image::kChipRX8308) s.pll_chip = q5::image::kChipKS8809;  // the same frequency limits
  if (s.urgent_call_addr == 0) s.urgent_call_tone = 0;
  if (s.lcd_manual == 0) s.lcd_order = 0;
  return s;
}

class CliWindowTest : public WindowTest {
 protected:
  Bytes save_as(const std::string& path) {
    prompts.save_answers.push_back(QString::fromStdString(path));
    ui().Save1->trigger();
    return read_file(path);
  }

  // What the window shows for each setting named, as show writes it.
  Json window_values(const Json& names) {
    Json values = Json::object();
    for (const auto& [name, unused] : names.items()) {
      if (name == "CtRadio") {
        const int index = ui().ct_radio_index();
        values[name] = index < 0 ? Json(nullptr) : Json(ui().CtRadioButton[index]->text().toStdString());
        continue;
      }
      QWidget* widget = ui().client->findChild<QWidget*>(QString::fromStdString(name));
      if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        values[name] = edit->text().toStdString();
      } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        values[name] = combo->currentIndex() < 0 ? Json(nullptr) : Json(combo->currentText().toStdString());
      } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
        values[name] = check->isChecked();
      } else {
        ADD_FAILURE() << "no control " << name;
      }
    }
    return values;
  }

  Json shown(const std::string& path) {
    const CliRun run = run_cli({"show", "--json", path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return Json::parse(run.out);
  }

  ScratchFolder dir;
};

TEST_F(CliWindowTest, WindowShowAndSetAgreeOnRandomForms) {
  std::mt19937 rng(20251208);
  Json previous_values;
  Bytes previous_bytes;
  std::string previous_file;
  for (int round = 0; round < kForms; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    set_form(*window, technician_settings(rng));
    ASSERT_TRUE(prompts.errors.isEmpty());
    const std::string file = dir / ("form" + std::to_string(round) + ".eep");
    const Bytes saved = save_as(file);
    ASSERT_EQ(saved.size(), 256U);

    const Json settings = shown(file);
    const Json values = window_values(settings);
    EXPECT_EQ(settings, values);

    // The values, in show's order, set on the defaults: the same file.
    std::vector<std::string> args{"set", dir / "again.eep", "--new", "--force"};
    for (const auto& [name, value] : settings.items()) {
      ASSERT_FALSE(value.is_null()) << name;
      args.push_back(name + "=" + (value.is_string() ? value.get<std::string>() : value.dump()));
    }
    const CliRun set = run_cli(args);
    ASSERT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(read_file(dir / "again.eep"), saved);
    EXPECT_EQ(shown(dir / "again.eep"), settings);

    if (round > 0) {
      const CliRun diff = run_cli({"diff", "--json", previous_file, file});
      EXPECT_EQ(diff.status, 1);
      const Json differences = Json::parse(diff.out);
      std::set<std::string> named;
      for (const auto& [name, pair] : differences["settings"].items()) {
        named.insert(name);
        EXPECT_EQ(pair, Json::array({previous_values[name], values[name]})) << name;
      }
      std::set<std::string> expected;
      for (const auto& [name, value] : values.items()) {
        if (previous_values[name] != value) expected.insert(name);
      }
      EXPECT_EQ(named, expected);
      Json offsets = Json::array();
      for (std::size_t at = 0; at < saved.size(); ++at) {
        if (saved[at] != previous_bytes[at]) offsets.push_back(at);
      }
      EXPECT_EQ(differences["bytes"], offsets);
    }
    previous_values = values;
    previous_bytes = saved;
    previous_file = file;
  }
}

// The set that the window's user would have made by hand, key by key,
// gives the bytes the window saves after the same edits.
TEST_F(CliWindowTest, SetMatchesTheWindowAfterTheSameEdits) {
  type_into(ui().Frequency, "13891");
  leave();
  choose(ui().Frequency_step, 1);  // "5kHz"
  type_into(ui().Frequency, "13891");
  leave();
  type_into(ui().Num_message, "13");
  leave();
  type_into(ui().Hello_msg, "quiet please");
  leave();
  choose(ui().Alert_type, 6);  // "T only": the vibrate pattern greys
  const Bytes saved = save_as(dir / "window.eep");

  const CliRun set = run_cli({"set", dir / "cli.eep", "--new", "Frequency_step=5kHz", "Frequency=138.91",
                              "Num_message=13", "Hello_msg=quiet please", "Alert_type=T only"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(read_file(dir / "cli.eep"), saved);
  // And the window shows that file as show does.
  prompts.open_answers.push_back(QString::fromStdString(dir / "cli.eep"));
  ui().Open1->trigger();
  const Json settings = shown(dir / "cli.eep");
  EXPECT_EQ(window_values(settings), settings);
}

}  // namespace
