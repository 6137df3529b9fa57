#include "rules/batch_row.h"

#include "image/frequency.h"
#include "image/number_text.h"
#include "rules/address_rules.h"

namespace q5::rules {

namespace {

// The frame an address is sent in; nothing for a text that is no number.
std::string frame_of(const std::string& address) {
  try {
    return std::string(1, frame_digit(strict_to_int(address)));
  } catch (const ConversionError&) {
    return {};
  }
}

}  // namespace

files::BatchLogRow batch_log_row(std::time_t when, const std::string& result, const Form* written) {
  files::BatchLogRow row;
  row.time = files::local_iso8601(when);
  row.result = result;
  if (!written) return row;

  row.serial = written->Serial_no.text;
  for (std::size_t i = 0; i < row.addresses.size(); ++i) {
    row.addresses[i].enabled.assign(1, written->sc_addractv[i].checked ? '1' : '0');
    row.addresses[i].address = written->sc_address[i].text;
    row.addresses[i].frame = frame_of(written->sc_address[i].text);
  }
  row.frequency = written->Frequency.text;
  row.step = written->Frequency_step.text();
  row.baud_rate = written->Baud_rate.text();
  // A pager with an RX8308 shows no item, but that is the chip it was written with.
  row.synthesiser = written->PLL_select.index == kNoSelection ? "RX8308" : written->PLL_select.text();
  row.firmware = written->FirmwareVer.text();
  return row;
}

}  // namespace q5::rules
