#include "register/event_json.h"

namespace q5::reg {

namespace {

nlohmann::json addresses_json(const PagerEvent& event) {
  nlohmann::json addresses = nlohmann::json::array();
  for (const AddressSlot& slot : event.addresses) {
    addresses.push_back({{"address", slot.address}, {"enabled", slot.enabled}});
  }
  return addresses;
}

nlohmann::json sha_or_null(const std::string& sha, const std::optional<image::Image>& image) {
  if (!sha.empty()) return sha;
  if (image) return sha256_hex(*image);
  return nullptr;
}

std::string image_hex(const image::Image& image) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t byte : image) {
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
  }
  return out;
}

std::optional<image::Image> image_of(const nlohmann::json& value) {
  if (value.is_null()) return std::nullopt;
  const std::string text = value.get<std::string>();
  if (text.size() != 2 * image::kImageSize) throw RegisterError("an image is not 256 bytes");
  image::Image image{};
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
  return image;
}

}  // namespace

nlohmann::json event_summary(const PagerEvent& event) {
  return {{"time", event.time_utc},
          {"bench", event.bench},
          {"operator", event.operator_name},
          {"cable", event.cable},
          {"command", event.command},
          {"result", event.result},
          {"serial_read", event.serial_read},
          {"serial_written", event.serial_written},
          {"addresses", addresses_json(event)},
          {"image_before_sha256", sha_or_null(event.image_before_sha256, event.image_before)},
          {"image_after_sha256", sha_or_null(event.image_after_sha256, event.image_after)}};
}

nlohmann::json event_to_json(const PagerEvent& event) {
  nlohmann::json json = event_summary(event);
  json["program_version"] = event.program_version;
  json["verified"] = event.verified;
  json["frequency"] = event.frequency;
  json["step"] = event.step;
  json["baud_rate"] = event.baud_rate;
  json["synthesiser"] = event.synthesiser;
  json["firmware"] = event.firmware;
  json["image_before"] = event.image_before ? nlohmann::json(image_hex(*event.image_before)) : nlohmann::json();
  json["image_after"] = event.image_after ? nlohmann::json(image_hex(*event.image_after)) : nlohmann::json();
  return json;
}

PagerEvent event_from_json(const nlohmann::json& json) {
  try {
    PagerEvent e;
    e.time_utc = json.at("time").get<std::string>();
    e.bench = json.at("bench").get<std::string>();
    e.operator_name = json.at("operator").get<std::string>();
    e.program_version = json.at("program_version").get<std::string>();
    e.cable = json.at("cable").get<std::string>();
    e.command = json.at("command").get<std::string>();
    e.result = json.at("result").get<std::string>();
    e.verified = json.at("verified").get<bool>();
    e.serial_read = json.at("serial_read").get<std::string>();
    e.serial_written = json.at("serial_written").get<std::string>();
    const auto& addresses = json.at("addresses");
    if (!addresses.is_array() || addresses.size() != e.addresses.size()) throw RegisterError("four addresses expected");
    for (std::size_t n = 0; n < e.addresses.size(); ++n) {
      e.addresses[n] = {addresses[n].at("address").get<std::string>(), addresses[n].at("enabled").get<bool>()};
    }
    e.frequency = json.at("frequency").get<std::string>();
    e.step = json.at("step").get<std::string>();
    e.baud_rate = json.at("baud_rate").get<std::string>();
    e.synthesiser = json.at("synthesiser").get<std::string>();
    e.firmware = json.at("firmware").get<std::string>();
    e.image_before = image_of(json.at("image_before"));
    e.image_after = image_of(json.at("image_after"));
    return e;
  } catch (const nlohmann::json::exception& error) {
    throw RegisterError(std::string("not a kept event: ") + error.what());
  } catch (const std::invalid_argument&) {
    throw RegisterError("not a kept event: an image is not hexadecimal");
  }
}

}  // namespace q5::reg
