// What a batch of writes keeps between pagers: the configuration file
// stepped on after each verified pager, and the progress bar.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "image/image.h"
#include "link/pager_session.h"
#include "rules/form.h"

namespace q5::cli {

// `file` with the form's four addresses, and with `with_serial` its serial
// number, in place of the file's own: every other byte stays, each address
// slot's disable switch included, and the checksum is sealed again. So the
// pager's firmware and synthesiser, which the form took from the pager,
// never reach the file. nullopt when a value has no place in the file (an
// address stepped past seven digits, a serial past eight), naming it.
std::optional<std::string> step_file(image::Image& file, const rules::Form& form, bool with_serial);

// A bar that redraws one line of a terminal as the transfer goes on.
class TerminalProgress final : public link::Progress {
 public:
  explicit TerminalProgress(std::ostream& terminal) : terminal_(terminal) {}
  void shown(link::Transfer transfer) override;
  void advanced() override;
  void hidden() override;

 private:
  void draw();

  std::ostream& terminal_;
  const char* label_ = "";
  int total_ = 1;
  int done_ = 0;
  int drawn_percent_ = -1;
  bool visible_ = false;
};

}  // namespace q5::cli
