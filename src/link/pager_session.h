// One pager command from start to end, without any window: Read from pager
// and Write to pager as sequences of link operations, each ending in one
// result that the window and the command line turn into their messages.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "image/image.h"
#include "link/cable.h"

namespace q5::link {

// ------------------------------------------------------------ cable access

enum class ClaimStatus {
  claimed,      // the cable is ours until release()
  in_use,       // another program holds it; nothing was sent
  unavailable,  // no such cable (a device that did not open, a board not found)
};

struct Claim {
  ClaimStatus status = ClaimStatus::unavailable;
  std::string cause;  // for in_use and unavailable: why, for the log
};

// A cable together with the right to use it. A cable is held only while a
// command runs, so that other programs (a print job, a second q5prog) get
// the port in between.
class CableAccess {
 public:
  virtual ~CableAccess() = default;
  // How the technician knows the cable: "LPT1 (/dev/parport0)".
  virtual std::string name() const = 0;
  // Takes the cable for one command. Never blocks for long: a cable held
  // elsewhere gives in_use after a bounded wait.
  virtual Claim claim() = 0;
  // Gives back a claimed cable.
  virtual void release() = 0;
  virtual Cable& cable() = 0;
};

// ------------------------------------------------------------ results

enum class Outcome { ok, port_in_use, link_error, verify_error, model_refused };

struct SessionResult {
  Outcome outcome = Outcome::link_error;
  std::string port;   // the cable's name
  std::string cause;  // why the cable could not be used, when known ("" otherwise)
  // The 256 bytes read from the pager, once a whole read has passed the
  // link check after it (a read, and the read that starts a write).
  std::optional<image::Image> pager;
  // The image a write sent (set once it was prepared).
  std::optional<image::Image> written;
  // WRITE commands a write sent: the words that differed from the pager's,
  // or all 128 with WriteOptions::all_words. 0 until the write began.
  int words_written = 0;
};

struct WriteOptions {
  // Every word written, not only the words that differ from what the
  // pager held.
  bool all_words = false;
};

// What a link check found. in_use and not_connected carry the cause where
// there is one (a port held elsewhere, no device, a USB board gone).
enum class LinkState { connected, not_connected, port_in_use };

struct LinkCheck {
  LinkState state = LinkState::not_connected;
  std::string cause;
};

// The messages the program shows for a result, exactly as the window's log
// and boxes give them: "Write eeprom OK!" or "Read from eeprom OK!" for ok,
// "<port> is in use by another program", "Link error, please check
// Connection", "Verify error, please check Connection", "Model Error, please
// check...".
std::string write_message(const SessionResult& result);
std::string read_message(const SessionResult& result);

// ------------------------------------------------------------ progress

enum class Transfer { reading, writing };

// What a command shows while bytes move. A read advances once per byte, as
// its data arrives; a write once per word, written or skipped, and then once
// per byte of the read that verifies it (128 + 256 while the write is shown).
// The read that starts a write advances too, without being shown.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void shown(Transfer) {}
  virtual void advanced() {}
  virtual void hidden() {}
};

// ------------------------------------------------------------ the session

class PagerSession {
 public:
  // `progress` may be null.
  PagerSession(CableAccess& access, Progress* progress);

  // Claim, open the link, read 256 bytes, check the link again, close it,
  // release. ok and model_refused carry the bytes in `pager`; a pager with
  // the model bit is model_refused.
  SessionResult read();

  // The image to write, built from the pager's own bytes: the caller takes
  // the pager's synthesiser and firmware into its settings, runs its rules
  // and encodes. It may throw to end the command; the link is closed and the
  // cable released then, and nothing has been written.
  using Prepare = std::function<image::Image(const image::Image& pager)>;

  // Claim; open, read the pager, check the link, close; refuse the model
  // bit; prepare; open, write the words that differ from the pager's (all
  // of them with `options.all_words`), read all 128 back and compare, check
  // the link. ok leaves the link open (release lines low), as a verified
  // write always has; every other outcome closes it. The cable is released
  // in every case, its lines left as the command left them.
  SessionResult write(const Prepare& prepare, const WriteOptions& options = {});

  // Whether a pager answers on the cable, for a batch that waits for the
  // next pager: claim, open the link (which checks it), close it, release.
  // Nothing is read or written; the cable is held for this one check only.
  LinkCheck check_link();

 private:
  CableAccess& access_;
  Progress* progress_;
};

}  // namespace q5::link
