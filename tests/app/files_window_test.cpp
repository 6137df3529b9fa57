// File > Save and File > Open through the window: what the log and the boxes
// say, which controls a load may touch, and that a form survives the trip
// through a file exactly.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "image/codec.h"
#include "image/frequency.h"
#include "rules/address_rules.h"
#include "support/window_fixture.h"

namespace {

using q5::image::Image;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const Image& image) { return {image.begin(), image.end()}; }

// Every control's value and whether it can be used, by name, plus the
// window's own state that a load sets.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const TMain_Page& window) {
  Snapshot s;
  for (QWidget* widget : window.ui.client->findChildren<QWidget*>()) {
    const std::string name = widget->objectName().toStdString();
    if (name.empty()) continue;
    std::string value;
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      value = "text '" + edit->text().toStdString() + "' max " + std::to_string(edit->maxLength());
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
      value = "index " + std::to_string(combo->currentIndex()) + " of";
      for (int i = 0; i < combo->count(); ++i) value += " '" + combo->itemText(i).toStdString() + "'";
    } else if (qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget)) {
      value = static_cast<QAbstractButton*>(widget)->isChecked() ? "checked" : "unchecked";
    } else {
      continue;
    }
    s[name] = value;
    s[name + ".enabled"] = widget->isEnabled() ? "yes" : "no";
  }
  s["model_flag"] = std::to_string(window.model_flag());
  s["step_offset"] = std::to_string(window.step_offset());
  s["high_band_list"] = window.high_band_list() ? "yes" : "no";
  return s;
}

// The controls that differ, one line each ("" when none do), so that a
// failure names them instead of printing two whole forms.
std::string differences(const Snapshot& actual, const Snapshot& expected) {
  std::string lines;
  auto value_in = [](const Snapshot& s, const std::string& key) {
    const auto it = s.find(key);
    return it == s.end() ? std::string("<none>") : it->second;
  };
  Snapshot keys = actual;
  keys.insert(expected.begin(), expected.end());
  for (const auto& [key, unused] : keys) {
    const std::string is = value_in(actual, key);
    const std::string was = value_in(expected, key);
    if (is != was) lines += key + ": " + is + " instead of " + was + "\n";
  }
  return lines;
}

// A load runs only the alert-type and duplicate-message interlocks; the
// greying that the urgent-call and LCD lists' own handlers do is left as the
// form had it, so a form loaded over another may differ there.
Snapshot without_list_interlocks(Snapshot s) {
  s.erase("Urgent_call_tone.enabled");
  s.erase("LcdorderComb.enabled");
  return s;
}

Bytes read_file(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray data = file.readAll();
  return {data.begin(), data.end()};
}

void write_file(const QString& path, const Bytes& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())),
            static_cast<qint64>(bytes.size()));
}

QString random_text(std::mt19937& rng, int width) {
  static const QString kPagerCharacters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ ";
  QString text;
  for (int i = 0; i < width; ++i) text += kPagerCharacters[static_cast<int>(rng() % kPagerCharacters.size())];
  return text;
}

QString random_digits(std::mt19937& rng, int width) {
  QString text;
  for (int i = 0; i < width; ++i) text += QChar('0' + static_cast<int>(rng() % 10));
  return text;
}

int pick(std::mt19937& rng, int count) { return static_cast<int>(rng() % static_cast<unsigned>(count)); }
bool coin(std::mt19937& rng) { return (rng() & 1U) != 0; }

class FilesWindowTest : public WindowTest {
 protected:
  QString path(const QString& name) const { return dir.filePath(name); }

  void save_as(const QString& file) {
    prompts.save_answers.push_back(file);
    window->ui.Save1->trigger();
  }
  void open(const QString& file) {
    prompts.open_answers.push_back(file);
    window->ui.Open1->trigger();
  }

  // The log lines after the last one that starts a file command.
  QStringList lines_since(const QString& command_line) const {
    const QStringList lines = log();
    const qsizetype at = lines.lastIndexOf(command_line);
    return at < 0 ? QStringList{"<missing: " + command_line + ">"} : lines.mid(at + 1);
  }

  // The image this window's form encodes to, taken through a save.
  Bytes saved_bytes(const QString& name) {
    save_as(path(name));
    return read_file(path(name));
  }

  // A user's choice in a list: the item, then the list's change handler.
  void choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
  }

  // Fills every stored control with a random value that the form's rules
  // accept as it stands (texts at full width, digit fields at full width,
  // addresses in range and distinct, a frequency on its step's raster
  // without counter warnings), so that a load shows it back unchanged.
  void fill_random_form(std::mt19937& rng) {
    MainPageForm& ui = window->ui;
    std::vector<std::int64_t> used;
    for (int row = 0; row < 4; ++row) {
      std::int64_t address = 0;
      do {
        address = 8 + static_cast<std::int64_t>(rng() % 2097136);
      } while (!q5::rules::address_in_range(address) || std::find(used.begin(), used.end(), address) != used.end());
      used.push_back(address);
      ui.sc_address[row]->setText(QString::number(address).rightJustified(7, '0'));
      ui.sc_addractv[row]->setChecked(coin(rng));
    }

    ui.PLL_select->setCurrentIndex(pick(rng, 2));
    choose(ui.Baud_rate, pick(rng, 3));
    choose(ui.Date_polarity, pick(rng, 2));
    set_random_frequency(rng);
    ui.Serial_no->setText(random_digits(rng, 8));
    ui.Hello_msg->setText(random_text(rng, 14));
    ui.Daily_Alarm_checkbox->setChecked(coin(rng));
    ui.Date_time_disp_checkbox->setChecked(coin(rng));
    ui.Sleep_timer_checkbox->setChecked(coin(rng));
    ui.Pager_off_menu_checkbox->setChecked(coin(rng));
    for (QLineEdit* re : {ui.E512bs1, ui.E512bs3, ui.E1200bs1, ui.E1200bs3, ui.E2400bs1, ui.E2400bs3}) {
      re->setText(QString::number(pick(rng, 256)));
    }

    choose(ui.Alert_reset, pick(rng, 6));
    choose(ui.Urgent_call_addr, pick(rng, 6));
    choose(ui.Urgent_call_tone, pick(rng, 6));
    choose(ui.Select_tone, pick(rng, 2));
    choose(ui.Alert_duration, pick(rng, 8));
    choose(ui.Vib_pattern, pick(rng, 4));
    choose(ui.Alert_type, pick(rng, 9));
    ui.Special_vib_time->setText(QString::number(pick(rng, 13)));
    choose(ui.Time_format, pick(rng, 2));
    choose(ui.Date_format, pick(rng, 2));
    choose(ui.Char_set, pick(rng, 2));

    ui.CanMsg_checkbox->setChecked(coin(rng));
    choose(ui.CannedMsg_command, pick(rng, 3));
    for (QLineEdit* message : ui.T_only_msg) message->setText(random_text(rng, 12));
    for (QLineEdit* message : ui.N_canned_msg) message->setText(random_text(rng, 6));

    ui.Dup_msg_rejection_chekbox->setChecked(coin(rng));
    choose(ui.Dup_msg_time, pick(rng, 6));
    choose(ui.Repeat_msg_tone, pick(rng, 2));
    ui.Msg_time_stamp_checkbox->setChecked(coin(rng));
    ui.Message_status_checkbox->setChecked(coin(rng));
    ui.Unread_disp_checkbox->setChecked(coin(rng));
    ui.Unread_reminder->setChecked(coin(rng));
    choose(ui.Uread_reminder_time, pick(rng, 2));
    ui.Full_msg->setChecked(coin(rng));
    ui.Error_eduction_checkbox->setChecked(coin(rng));
    ui.Protect_menu_checkbox->setChecked(coin(rng));
    choose(ui.Message_order, pick(rng, 2));
    ui.Num_message->setText(QString::number(1 + pick(rng, 12)));

    ui.Hand_code_pss_checkbox->setChecked(coin(rng));
    ui.Baud_handcode_checkbox->setChecked(coin(rng));
    ui.Freq_handcode_checkbox->setChecked(coin(rng));
    ui.Addr_handcode_checkbox->setChecked(coin(rng));
    ui.Password->setText(random_digits(rng, 4));
    ui.OTA_autotime_checkbox->setChecked(coin(rng));
    ui.OTA_poweroff_checkbox->setChecked(coin(rng));
    ui.OTA_msgdel_checkbox->setChecked(coin(rng));
    ui.OTA_alertmode_checkbox->setChecked(coin(rng));

    ui.Out_range_func_checkbox->setChecked(coin(rng));
    choose(ui.In_out_range, pick(rng, 2));
    ui.No_service->setChecked(coin(rng));
    choose(ui.Outrange_time, pick(rng, 15));
    choose(ui.LowbattComb, pick(rng, 2));
    choose(ui.LcdorderComb, pick(rng, 2));
    choose(ui.lcdmannulCB, pick(rng, 2));

    ui.Re1Chk->setChecked(coin(rng));
    ui.Re2Chk->setChecked(coin(rng));
    ui.Re3Chk->setChecked(coin(rng));
    ui.ORCTChk->setChecked(coin(rng));
    ui.set_ct_radio_index(pick(rng, 4));
  }

  // Firmware, step and a frequency already on that step's raster.
  void set_random_frequency(std::mt19937& rng) {
    MainPageForm& ui = window->ui;
    const int firmware = pick(rng, 2);
    const bool high_band = coin(rng);
    const q5::image::StepList list = q5::image::step_list(firmware == 0, high_band);
    const int step = pick(rng, static_cast<int>(list.items.size()));
    const int raster = q5::image::raster_hz(high_band, step + list.step_offset);
    const int chip = ui.PLL_select->currentIndex();
    std::string text;
    for (;;) {
      const std::int64_t low = high_band ? 176'000'000 : 40'000'000;
      const std::int64_t high = high_band ? 990'000'000 : 175'000'000;
      const std::int64_t n = (low - q5::image::kIfOffsetHz) / raster +
                             static_cast<std::int64_t>(rng() % static_cast<unsigned>((high - low) / raster));
      text = q5::image::format_frequency_hz(q5::image::kIfOffsetHz + n * raster);
      const q5::image::Frequency f = q5::image::parse_frequency(text);
      const q5::image::SnapResult snap = q5::image::check_and_snap(f, raster, chip);
      if (q5::image::is_high_band(f) == high_band && snap.warnings.empty() && snap.text == text) break;
    }
    ui.Frequency->setText(QString::fromStdString(text));
    ui.FirmwareVer->setCurrentIndex(firmware);
    window->FirmwareVerChange();
    choose(ui.Frequency_step, step);
    ui.Frequency->setText(QString::fromStdString(text));  // the first item's raster may have moved it
    window->FrequencyExit();
    ASSERT_EQ(ui.Frequency->text().toStdString(), text);
  }

  // A valid image of a form unlike the defaults, built without the window
  // so that the window's form is left alone.
  Image random_image(std::uint32_t seed) {
    std::mt19937 rng(seed);
    q5::image::Settings s;
    s.serial = random_digits(rng, 8).toStdString();
    s.hello = random_text(rng, 14).toStdString();
    s.alert_type = pick(rng, 9);
    s.vib_pattern = pick(rng, 4);
    s.dup_msg_rejection = coin(rng);
    s.canned_messages = coin(rng);
    s.num_message = 1 + pick(rng, 12);
    s.password = random_digits(rng, 4).toStdString();
    for (auto& message : s.canned) message = random_text(rng, 6).toStdString();
    s.address_enabled[static_cast<std::size_t>(pick(rng, 4))] = false;
    return q5::image::encode(s);
  }

  QTemporaryDir dir;
};

// --- Dialogs -----------------------------------------------------------------

TEST_F(FilesWindowTest, CancelledDialogDoesNothingAtAll) {
  const QStringList log_before = log();
  const Snapshot form_before = snapshot(*window);
  const Image image_before = window->image();
  save_as("");
  open("");
  EXPECT_EQ(log(), log_before);
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_EQ(window->image(), image_before);
  EXPECT_EQ(differences(snapshot(*window), form_before), "");
  EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

// --- Save ----------------------------------------------------------------------

TEST_F(FilesWindowTest, SaveAtTheDefaultsWritesTheDefaultImage) {
  const QString file = path("default.eep");
  save_as(file);
  EXPECT_EQ(lines_since("Save data to " + file), QStringList{"File saved.OK !"});
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(prompts.errors.isEmpty());

  const Bytes bytes = read_file(file);
  ASSERT_EQ(bytes.size(), 256U);
  EXPECT_EQ(bytes, bytes_of(q5::image::encode(q5::image::Settings{})));
  EXPECT_EQ(bytes[60], 0x73);  // password "7316"
  EXPECT_EQ(bytes[61], 0x16);
  EXPECT_EQ(bytes[254], 0x23);  // 0x22E4 + 0x73 + 0x16
  EXPECT_EQ(bytes[255], 0x6D);
  EXPECT_EQ(window->image(), q5::image::encode(q5::image::Settings{}));
}

TEST_F(FilesWindowTest, SaveWithAnEmptiedNumberStopsAfterTheErrorBox) {
  window->ui.Num_message->setText("");  // its change rule already complains
  prompts.clear();
  const QString file = path("never.eep");
  save_as(file);
  EXPECT_EQ(last_log(), "Save data to " + file);
  EXPECT_EQ(prompts.errors, QStringList{"'' is not a valid integer value"});
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST_F(FilesWindowTest, SaveThatCannotCreateTheFileReportsAnOpenError) {
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  for (const QString& file : {path("missing/a.eep"), path("folder")}) {
    SCOPED_TRACE(file.toStdString());
    save_as(file);
    EXPECT_EQ(lines_since("Save data to " + file), QStringList{"File open error"});
  }
  EXPECT_TRUE(QFileInfo(path("folder")).isDir());
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(prompts.errors.isEmpty());
}

// A disk that fills up part way must not cost the technician the file that
// was there before.
TEST_F(FilesWindowTest, FailedWriteReportsAndKeepsTheFileItWasReplacing) {
  const QString file = path("keep.eep");
  const Bytes old_bytes = bytes_of(random_image(7));
  write_file(file, old_bytes);

  // A file size limit below 256 bytes makes the write fail part way.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 100;
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  save_as(file);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);

  EXPECT_EQ(lines_since("Save data to " + file), QStringList{"File write error"});
  EXPECT_EQ(read_file(file), old_bytes);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"keep.eep"});
}

// --- Open: accepted files --------------------------------------------------------

TEST_F(FilesWindowTest, OpenAfterSaveAtTheDefaultsLoadsAndSavesTheSameBytes) {
  const Bytes first = saved_bytes("a.eep");
  open(path("a.eep"));
  EXPECT_EQ(lines_since("Load data from " + path("a.eep")), QStringList{"File loaded.OK !"});
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(saved_bytes("b.eep"), first);
}

// Save, put another form in its place, open: the form and the next file are
// the first ones exactly.
TEST_F(FilesWindowTest, RandomFormsComeBackExactlyFromTheirFiles) {
  constexpr int kForms = 40;
  std::mt19937 rng(20240611);
  for (int round = 0; round < kForms; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fill_random_form(rng);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
    const Snapshot form = snapshot(*window);
    ASSERT_TRUE(form.count("sc_address4") && form.count("E2400bs3") && form.count("CtRadioButton4") &&
                form.count("N_canned_msg20") && form.count("Frequency_step"));
    const QString file = path(QString("form%1.eep").arg(round));
    const Bytes first = saved_bytes(QString("form%1.eep").arg(round));
    ASSERT_EQ(first.size(), 256U);
    EXPECT_EQ(differences(snapshot(*window), form), "");  // saving changes nothing on the form

    fill_random_form(rng);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_NE(differences(snapshot(*window), form), "");
    open(file);
    EXPECT_EQ(lines_since("Load data from " + file), QStringList{"File loaded.OK !"});
    EXPECT_EQ(differences(without_list_interlocks(snapshot(*window)), without_list_interlocks(form)), "");
    EXPECT_EQ(saved_bytes("again.eep"), first);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(prompts.beeps, 0);
  }
}

TEST_F(FilesWindowTest, ExtensionMakesNoDifference) {
  std::mt19937 rng(5);
  fill_random_form(rng);
  const Snapshot form = snapshot(*window);
  const Bytes eep = saved_bytes("form.eep");
  for (const QString name : {"form.txt", "form.obj", "form"}) {
    SCOPED_TRACE(name.toStdString());
    EXPECT_EQ(saved_bytes(name), eep);
    EXPECT_TRUE(QFile::exists(path(name)));  // the name as chosen, nothing appended
  }
  std::mt19937 other(6);
  for (const QString name : {"form.eep", "form.txt", "form.obj", "form"}) {
    SCOPED_TRACE(name.toStdString());
    fill_random_form(other);
    open(path(name));
    EXPECT_EQ(last_log(), "File loaded.OK !");
    EXPECT_EQ(differences(without_list_interlocks(snapshot(*window)), without_list_interlocks(form)), "");
  }
}

TEST_F(FilesWindowTest, BytesAfterTheImageAreIgnored) {
  std::mt19937 rng(11);
  fill_random_form(rng);
  const Snapshot form = snapshot(*window);
  Bytes bytes = saved_bytes("form.eep");
  for (int i = 0; i < 44; ++i) bytes.push_back(static_cast<std::uint8_t>(rng()));
  write_file(path("long.eep"), bytes);

  fill_random_form(rng);
  open(path("long.eep"));
  EXPECT_EQ(lines_since("Load data from " + path("long.eep")), QStringList{"File loaded.OK !"});
  EXPECT_EQ(differences(without_list_interlocks(snapshot(*window)), without_list_interlocks(form)), "");
}

// The load brings the alert and duplicate-message greying up to date, both
// ways.
TEST_F(FilesWindowTest, OpenRunsTheAlertTypeAndDuplicateMessageInterlocks) {
  q5::image::Settings quiet;
  quiet.alert_type = 6;   // "T only"
  quiet.vib_pattern = 2;  // "Special", which alone would enable the seconds
  quiet.dup_msg_rejection = false;
  write_file(path("quiet.eep"), bytes_of(q5::image::encode(quiet)));
  q5::image::Settings loud = quiet;
  loud.alert_type = 5;  // "V/M"
  loud.dup_msg_rejection = true;
  write_file(path("loud.eep"), bytes_of(q5::image::encode(loud)));

  open(path("quiet.eep"));
  ASSERT_EQ(last_log(), "File loaded.OK !");
  EXPECT_EQ(window->ui.Alert_type->currentText(), "T only");
  EXPECT_FALSE(window->ui.Vib_pattern->isEnabled());
  EXPECT_FALSE(window->ui.Special_vib_time->isEnabled());
  EXPECT_FALSE(window->ui.Dup_msg_time->isEnabled());

  open(path("loud.eep"));
  ASSERT_EQ(last_log(), "File loaded.OK !");
  EXPECT_EQ(window->ui.Alert_type->currentText(), "V/M");
  EXPECT_TRUE(window->ui.Vib_pattern->isEnabled());
  EXPECT_TRUE(window->ui.Special_vib_time->isEnabled());
  EXPECT_TRUE(window->ui.Dup_msg_time->isEnabled());
}

// --- Open: refused files ---------------------------------------------------------

class RefusedFileTest : public FilesWindowTest {
 protected:
  // Opens `file` and checks that only `lines` followed the "Load data from"
  // line, that `boxes` were shown, and that no control changed.
  void expect_refused(const QString& file, const QStringList& lines, const QStringList& boxes) {
    prompts.clear();
    const Snapshot form = snapshot(*window);
    open(file);
    EXPECT_EQ(lines_since("Load data from " + file), lines);
    EXPECT_EQ(prompts.messages, boxes);
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(differences(snapshot(*window), form), "");
  }
};

TEST_F(RefusedFileTest, AnyChangedByteFailsTheChecksum) {
  const Image valid = random_image(3);
  for (std::size_t at = 0; at < 256; ++at) {
    SCOPED_TRACE("byte " + std::to_string(at));
    Bytes bytes = bytes_of(valid);
    bytes[at] = static_cast<std::uint8_t>(bytes[at] + 1);
    const QString file = path(QString("changed%1.eep").arg(at));
    write_file(file, bytes);
    expect_refused(file, {}, {"checksum is error!"});
  }
  // A change in the other direction, and one that keeps the low byte right.
  Bytes lowered = bytes_of(valid);
  lowered[254] = static_cast<std::uint8_t>(lowered[254] - 1);
  write_file(path("lowered.eep"), lowered);
  expect_refused(path("lowered.eep"), {}, {"checksum is error!"});
  Bytes shifted = bytes_of(valid);
  shifted[100] = static_cast<std::uint8_t>(shifted[100] ^ 0x80);
  shifted[101] = static_cast<std::uint8_t>(shifted[101] ^ 0x80);
  write_file(path("shifted.eep"), shifted);
  expect_refused(path("shifted.eep"), {}, {"checksum is error!"});
}

TEST_F(RefusedFileTest, ModelBitIsRefusedAfterTheChecksum) {
  Image normal = random_image(4);
  normal[80] |= q5::image::kModelBitMask;
  q5::image::seal(normal);
  write_file(path("normal.eep"), bytes_of(normal));
  expect_refused(path("normal.eep"), {}, {"Model Error, please check..."});

  normal[255] = static_cast<std::uint8_t>(normal[255] + 1);  // both faults: one box, the first check's
  write_file(path("both.eep"), bytes_of(normal));
  expect_refused(path("both.eep"), {}, {"checksum is error!"});
}

TEST_F(RefusedFileTest, ShortFileIsAReadErrorAndTheLoadStops) {
  const Bytes valid = bytes_of(random_image(5));
  for (const std::size_t size : {0U, 1U, 128U, 254U, 255U}) {
    SCOPED_TRACE("size " + std::to_string(size));
    const QString file = path(QString("short%1.eep").arg(size));
    write_file(file, Bytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(size)));
    expect_refused(file, {"File read error"}, {});
  }
}

TEST_F(RefusedFileTest, WhatIsNotARegularFileIsAnOpenError) {
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder.eep"));
  const QString fifo = path("fifo.eep");
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  // If the load ever opened the FIFO for reading it would wait for a writer;
  // this one arrives for such a reader and lets the test fail instead of
  // hanging. Opening the FIFO for reading afterwards releases it either way.
  std::thread writer([&fifo] {
    const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY);
    if (fd >= 0) ::close(fd);
  });
  for (const QString& file : {path("folder.eep"), fifo, QString("/dev/null"), path("missing.eep")}) {
    SCOPED_TRACE(file.toStdString());
    expect_refused(file, {"File open error"}, {});
  }
  const int release = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
  writer.join();
  if (release >= 0) ::close(release);
}

// Rejected bytes never reach a file: the next save writes the form.
TEST_F(RefusedFileTest, SaveAfterARefusedFileWritesTheForm) {
  const Bytes before = saved_bytes("before.eep");
  Image normal = random_image(8);
  normal[80] |= q5::image::kModelBitMask;
  q5::image::seal(normal);
  write_file(path("normal.eep"), bytes_of(normal));
  Bytes broken = bytes_of(random_image(9));
  broken[10] ^= 0x01;
  write_file(path("broken.eep"), broken);

  open(path("normal.eep"));
  EXPECT_EQ(saved_bytes("after_model.eep"), before);
  open(path("broken.eep"));
  EXPECT_EQ(saved_bytes("after_checksum.eep"), before);
}

}  // namespace
