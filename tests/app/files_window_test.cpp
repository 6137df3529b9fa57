// File > Save and File > Open through the window: what the log and the boxes
// say, which controls a load may touch, and that a form survives the trip
// through a file exactly.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <cstdlib>
#include <random>
#include <thread>

#include "image/codec.h"
#include "support/default_image.h"
#include "support/file_bytes.h"
#include "support/form_snapshot.h"
#include "support/random_form.h"
#include "support/window_fixture.h"

namespace {

using namespace q5::test;
using q5::image::Image;

Bytes bytes_of(const Image& image) { return {image.begin(), image.end()}; }

// A valid image of a form unlike the defaults, built without the window so
// that the window's form is left alone.
Image random_image(std::uint32_t seed) {
  std::mt19937 rng(seed);
  return q5::image::encode(random_settings(rng));
}

constexpr uid_t kNobody = 65534;

// Runs the scope with another effective user id when the test runs as root
// (who may write anywhere), and as itself otherwise.
class EffectiveUser {
 public:
  explicit EffectiveUser(uid_t user) : switched_(::geteuid() == 0 && ::seteuid(user) == 0) {}
  ~EffectiveUser() {
    if (switched_ && ::seteuid(0) != 0) std::abort();
  }
  EffectiveUser(const EffectiveUser&) = delete;
  EffectiveUser& operator=(const EffectiveUser&) = delete;

 private:
  bool switched_;
};

class FilesWindowTest : public WindowTest {
 protected:
  QString path(const QString& name) const { return dir.filePath(name); }
  bool folder_is_empty() const { return QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

  void save_as(const QString& file) {
    prompts.save_answers.push_back(file);
    ui().Save1->trigger();
  }
  void open(const QString& file) {
    prompts.open_answers.push_back(file);
    ui().Open1->trigger();
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
    return read_bytes(path(name));
  }

  // Opens `file` and checks that only `lines` followed the "Load data from"
  // line, that `boxes` were shown, and that no control changed.
  void expect_refused(const QString& file, const QStringList& lines, const QStringList& boxes) {
    prompts.clear();
    const FormSnapshot form = snapshot(*window);
    open(file);
    EXPECT_EQ(lines_since("Load data from " + file), lines);
    EXPECT_EQ(prompts.messages, boxes);
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(differences(snapshot(*window), form), "");
  }

  QTemporaryDir dir;
};

// --- Dialogs and Save ------------------------------------------------------------

TEST_F(FilesWindowTest, CancelledDialogDoesNothingAtAll) {
  const QStringList log_before = log();
  const FormSnapshot form_before = snapshot(*window);
  const Image image_before = window->image();
  save_as("");
  open("");
  EXPECT_EQ(log(), log_before);
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(prompts.errors.isEmpty());
  EXPECT_EQ(prompts.beeps, 0);
  EXPECT_EQ(window->image(), image_before);
  EXPECT_EQ(differences(snapshot(*window), form_before), "");
  EXPECT_TRUE(folder_is_empty());
}

TEST_F(FilesWindowTest, SaveAtTheDefaultsWritesTheDefaultImage) {
  const QString file = path("default.eep");
  save_as(file);
  EXPECT_EQ(lines_since("Save data to " + file), (QStringList{"File saved.OK !", "Saved to " + file}));
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(prompts.errors.isEmpty());
  const Bytes bytes = read_bytes(file);
  EXPECT_EQ(bytes, bytes_of(kDefaultImage));
  ASSERT_EQ(bytes.size(), 256U);
  EXPECT_EQ(bytes[60], 0x73);  // password "7316"
  EXPECT_EQ(bytes[61], 0x16);
  EXPECT_EQ(window->image(), kDefaultImage);
}

// Ctrl+S and Ctrl+O reach File > Save and File > Open whichever field has
// the focus, a list included.
TEST_F(FilesWindowTest, CtrlSSavesAndCtrlOOpens) {
  const QString file = path("keys.eep");
  for (QWidget* field : std::initializer_list<QWidget*>{ui().Serial_no, ui().Frequency_step, ui().Hello_msg}) {
    SCOPED_TRACE(field->objectName().toStdString());
    focus(field);
    ASSERT_EQ(focused(), field);
    prompts.save_answers.push_back(file);
    press(Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(lines_since("Save data to " + file), (QStringList{"File saved.OK !", "Saved to " + file}));
    prompts.open_answers.push_back(file);
    press(Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(lines_since("Load data from " + file), QStringList{"File loaded.OK !"});
  }
  EXPECT_TRUE(prompts.save_answers.empty());
  EXPECT_TRUE(prompts.open_answers.empty());
}

TEST_F(FilesWindowTest, SaveWithAnEmptiedNumberStopsAfterTheErrorBox) {
  ui().Num_message->setText("");  // its change rule already complains
  prompts.clear();
  const QString file = path("never.eep");
  save_as(file);
  EXPECT_EQ(last_log(), "Save data to " + file);
  EXPECT_EQ(prompts.errors, QStringList{"'' is not a valid integer value"});
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(folder_is_empty());
}

TEST_F(FilesWindowTest, SaveThatCannotCreateTheFileReportsAnOpenError) {
  ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
  for (const auto& [file, reason] : {std::pair{path("missing/a.eep"), QString("No such file or directory")},
                                      std::pair{path("folder"), QString("Is a directory")}}) {
    save_as(file);
    EXPECT_EQ(lines_since("Save data to " + file), (QStringList{"File open error", file + ": " + reason}))
        << file.toStdString();
  }
  EXPECT_TRUE(QFileInfo(path("folder")).isDir());
  EXPECT_TRUE(prompts.messages.isEmpty());
  EXPECT_TRUE(prompts.errors.isEmpty());
}

// A file the technician may write, in a folder where they may not create
// one (the temporary beside it), is saved in place.
TEST_F(FilesWindowTest, SaveIntoAFolderThatRefusesNewFilesOverwritesTheFileInPlace) {
  const QString file = path("shared.eep");
  ASSERT_TRUE(write_bytes(file, Bytes(300, 0x55)));
  ASSERT_EQ(::chmod(file.toLocal8Bit().constData(), 0666), 0);
  ASSERT_EQ(::chmod(dir.path().toLocal8Bit().constData(), 0555), 0);
  {
    // Root may write anywhere: save as an ordinary user, as the technician.
    const EffectiveUser technician(kNobody);
    save_as(file);
  }
  ::chmod(dir.path().toLocal8Bit().constData(), 0755);
  EXPECT_EQ(lines_since("Save data to " + file), (QStringList{"File saved.OK !", "Saved to " + file}));
  EXPECT_EQ(read_bytes(file), bytes_of(kDefaultImage));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"shared.eep"});
}

// A disk that fills up part way must not cost the technician the file that
// was there before.
TEST_F(FilesWindowTest, FailedWriteReportsAndKeepsTheFileItWasReplacing) {
  const QString file = path("keep.eep");
  const Bytes old_bytes = bytes_of(random_image(7));
  ASSERT_TRUE(write_bytes(file, old_bytes));

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

  EXPECT_EQ(lines_since("Save data to " + file), (QStringList{"File write error", file + ": File too large"}));
  EXPECT_EQ(read_bytes(file), old_bytes);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList{"keep.eep"});
}

// --- Open: accepted files --------------------------------------------------------

// Save, put another form in its place, open: the form and the next file are
// the first ones exactly.
TEST_F(FilesWindowTest, RandomFormsComeBackExactlyFromTheirFiles) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 100; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const q5::image::Settings settings = random_settings(rng);
    set_form(*window, settings);
    ASSERT_TRUE(prompts.errors.isEmpty()) << prompts.errors.join('\n').toStdString();
    const FormSnapshot form = snapshot(*window);
    const QString name = QString("form%1.eep").arg(round);
    const Bytes first = saved_bytes(name);
    ASSERT_EQ(first, bytes_of(q5::image::encode(settings)));  // every control went into the file
    EXPECT_EQ(differences(snapshot(*window), form), "");    // and saving changed none

    set_form(*window, random_settings(rng));
    ASSERT_NE(differences(snapshot(*window), form), "");
    open(path(name));
    EXPECT_EQ(lines_since("Load data from " + path(name)), QStringList{"File loaded.OK !"});
    EXPECT_EQ(differences(snapshot(*window), form), "");
    EXPECT_EQ(saved_bytes("again.eep"), first);
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(prompts.beeps, 0);
  }
}

// The name is taken as chosen, nothing appended, and whatever its extension
// the file loads; so does one with bytes after the image.
TEST_F(FilesWindowTest, AnyNameAndTrailingBytesLoad) {
  std::mt19937 rng(5);
  set_form(*window, random_settings(rng));
  const FormSnapshot form = snapshot(*window);
  const Bytes eep = saved_bytes("form.eep");
  for (const char* name : {"form.txt", "form.obj", "form"}) {
    EXPECT_EQ(saved_bytes(name), eep) << name;
  }
  Bytes long_file = eep;
  for (int i = 0; i < 44; ++i) long_file.push_back(static_cast<std::uint8_t>(rng()));
  ASSERT_TRUE(write_bytes(path("long.eep"), long_file));
  for (const char* name : {"form.eep", "form.txt", "form.obj", "form", "long.eep"}) {
    SCOPED_TRACE(name);
    set_form(*window, random_settings(rng));
    open(path(name));
    EXPECT_EQ(lines_since("Load data from " + path(name)), QStringList{"File loaded.OK !"});
    EXPECT_EQ(differences(snapshot(*window), form), "");
  }
}

// The load brings the alert and duplicate-message greying up to date, both
// ways.
TEST_F(FilesWindowTest, OpenRunsTheAlertTypeAndDuplicateMessageInterlocks) {
  q5::image::Settings quiet;
  quiet.alert_type = 6;   // "T only"
  quiet.vib_pattern = 2;  // "Special", which alone would enable the seconds
  quiet.dup_msg_rejection = false;
  ASSERT_TRUE(write_bytes(path("quiet.eep"), bytes_of(q5::image::encode(quiet))));
  q5::image::Settings loud = quiet;
  loud.alert_type = 5;  // "V/M"
  loud.dup_msg_rejection = true;
  ASSERT_TRUE(write_bytes(path("loud.eep"), bytes_of(q5::image::encode(loud))));

  for (const bool quiet_file : {true, false}) {
    open(path(quiet_file ? "quiet.eep" : "loud.eep"));
    ASSERT_EQ(last_log(), "File loaded.OK !");
    EXPECT_EQ(ui().Alert_type->currentText(), quiet_file ? "T only" : "V/M");
    EXPECT_EQ(ui().Vib_pattern->isEnabled(), !quiet_file);
    EXPECT_EQ(ui().Special_vib_time->isEnabled(), !quiet_file);
    EXPECT_EQ(ui().Dup_msg_time->isEnabled(), !quiet_file);
  }
}

// The lists that the urgent-call address and the manual display order grey
// follow the file; their selections are the file's, even "Right" under
// "DISABLE", which the display-order rule itself would have turned "Left".
TEST_F(FilesWindowTest, OpenGreysTheUrgentToneAndTheDisplayOrderAsTheFileSays) {
  q5::image::Settings urgent;
  urgent.urgent_call_addr = 2;  // "ADDRESS 2"
  urgent.urgent_call_tone = 3;
  urgent.lcd_manual = 0;  // "DISABLE"
  urgent.lcd_order = 1;   // "Right"
  ASSERT_TRUE(write_bytes(path("urgent.eep"), bytes_of(q5::image::encode(urgent))));
  q5::image::Settings plain;  // urgent calls off, manual order on
  ASSERT_TRUE(write_bytes(path("plain.eep"), bytes_of(q5::image::encode(plain))));

  for (const bool urgent_file : {true, false, true}) {
    open(path(urgent_file ? "urgent.eep" : "plain.eep"));
    ASSERT_EQ(last_log(), "File loaded.OK !");
    EXPECT_EQ(ui().Urgent_call_tone->isEnabled(), urgent_file);
    EXPECT_EQ(ui().Urgent_call_tone->currentText(), urgent_file ? "TONE C" : "DISABLE");
    EXPECT_EQ(ui().LcdorderComb->isEnabled(), !urgent_file);
    EXPECT_EQ(ui().LcdorderComb->currentText(), urgent_file ? "Right" : "Left");
  }
  // What was loaded is what a save writes back.
  open(path("urgent.eep"));
  EXPECT_EQ(saved_bytes("again.eep"), read_bytes(path("urgent.eep")));
}

// --- Open: refused files ---------------------------------------------------------

TEST_F(FilesWindowTest, AnyChangedByteFailsTheChecksum) {
  const Bytes valid = bytes_of(random_image(3));
  auto changed = [&valid](std::initializer_list<std::pair<std::size_t, int>> changes) {
    Bytes bytes = valid;
    for (const auto& [at, delta] : changes) bytes[at] = static_cast<std::uint8_t>(bytes[at] + delta);
    return bytes;
  };
  std::vector<Bytes> files;
  for (std::size_t at = 0; at < 256; ++at) files.push_back(changed({{at, 1}}));
  files.push_back(changed({{254, -1}}));             // the other direction
  files.push_back(changed({{100, 0x80}, {101, 0x80}}));  // a change that keeps the low byte of the sum
  for (std::size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE("file " + std::to_string(i));
    const QString file = path(QString("changed%1.eep").arg(i));
    ASSERT_TRUE(write_bytes(file, files[i]));
    expect_refused(file, {}, {"checksum is error!"});
  }
}

// Refused bytes never reach a file either: the next save writes the form.
TEST_F(FilesWindowTest, ModelBitIsRefusedAfterTheChecksum) {
  const Bytes before = saved_bytes("before.eep");
  Image normal = random_image(4);
  normal[80] |= q5::image::kModelBitMask;
  q5::image::seal(normal);
  ASSERT_TRUE(write_bytes(path("normal.eep"), bytes_of(normal)));
  expect_refused(path("normal.eep"), {}, {"Model Error, please check..."});
  EXPECT_EQ(saved_bytes("after_model.eep"), before);

  normal[255] = static_cast<std::uint8_t>(normal[255] + 1);  // both faults: one box, the first check's
  ASSERT_TRUE(write_bytes(path("both.eep"), bytes_of(normal)));
  expect_refused(path("both.eep"), {}, {"checksum is error!"});
  EXPECT_EQ(saved_bytes("after_checksum.eep"), before);
}

TEST_F(FilesWindowTest, ShortFileIsAReadErrorAndTheLoadStops) {
  const Bytes valid = bytes_of(random_image(5));
  for (const std::size_t size : {0U, 1U, 128U, 254U, 255U}) {
    SCOPED_TRACE("size " + std::to_string(size));
    const QString file = path(QString("short%1.eep").arg(size));
    ASSERT_TRUE(write_bytes(file, Bytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(size))));
    expect_refused(file,
                   {"File read error", file + ": " + QString::number(size) + (size == 1 ? " byte" : " bytes") +
                                           ", a configuration file has 256"},
                   {});
  }
}

TEST_F(FilesWindowTest, WhatIsNotARegularFileIsAnOpenError) {
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
  for (const auto& [file, reason] : {std::pair{path("folder.eep"), QString("Is a directory")},
                                      std::pair{fifo, QString("not a regular file")},
                                      std::pair{QString("/dev/null"), QString("not a regular file")},
                                      std::pair{path("missing.eep"), QString("No such file or directory")}}) {
    SCOPED_TRACE(file.toStdString());
    expect_refused(file, {"File open error", file + ": " + reason}, {});
  }
  const int release = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
  writer.join();
  if (release >= 0) ::close(release);
}

}  // namespace
