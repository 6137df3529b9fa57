// Every setting the configuration image holds, as plain values.
//
// Lists are held by item position (-1 = no selection, which only a decode
// produces), check boxes as bools, texts as Latin-1 strings, numbers typed as
// text by their value. The member defaults are the form's defaults, so
// encode(Settings{}) gives the default image.
#pragma once

#include <array>
#include <string>

namespace q5::image {

constexpr int kNoSelection = -1;

struct Settings {
  // Page 1, address rows (index 0 is row 1).
  std::array<std::string, 4> address{"2004000", "2004008", "2004016", "2004024"};  // sc_address1..4
  std::array<bool, 4> address_enabled{true, true, true, true};                     // sc_addractv1..4

  // Page 1, left column.
  int pll_chip = 1;                    // PLL_select: chip code 0 KS8809, 1 SM5170, 2 RX8308
  int baud_rate = 2;                   // Baud_rate: "2400 bps", "512   bps", "1200 bps"
  std::string frequency = "138.97500"; // Frequency, DDD.DDDDD
  int step_code = 2;                   // Frequency_step position + Step_offset (0 to 3)
  int data_polarity = 0;               // Date_polarity: "NORMAL", "INVERT"
  std::string serial = "12345678";     // Serial_no
  std::string hello = "HAPPY EVERYDAY";// Hello_msg
  int model = 0;                       // ModelCB: "Orbit", "Normal"
  int firmware = 0;                    // FirmwareVer: "R1", "R2"

  // Page 1, lower left.
  bool daily_alarm = true;             // Daily_Alarm_checkbox
  bool date_time_display = true;       // Date_time_disp_checkbox
  bool sleep_timer = true;             // Sleep_timer_checkbox
  bool pager_off_menu = true;          // Pager_off_menu_checkbox

  // Hidden RE edits: E512bs1, E512bs3, E1200bs1, E1200bs3, E2400bs1, E2400bs3.
  std::array<int, 6> re_values{3, 9, 31, 31, 31, 31};

  // Page 1, right column.
  int alert_reset = 0;                 // Alert_reset
  int urgent_call_addr = 0;            // Urgent_call_addr
  int urgent_call_tone = 0;            // Urgent_call_tone
  int select_tone = 0;                 // Select_tone
  int alert_duration = 5;              // Alert_duration position: 1,2,3,4,8,16,32,64
  int alert_type = 0;                  // Alert_type
  int vib_pattern = 0;                 // Vib_pattern
  int special_vib_time = 12;           // Special_vib_time, seconds
  int time_format = 1;                 // Time_format: "24 hr", "12 hr"
  int date_format = 0;                 // Date_format
  int char_set = 0;                    // Char_set

  // Page 2.
  bool canned_messages = true;         // CanMsg_checkbox
  int canned_command = 0;              // CannedMsg_command: "--", "[[", "]]"
  std::array<std::string, 4> tone_only{"TONE ONLY A", "TONE ONLY B ", "TONE ONLY C ", "TONE ONLY D "};
  std::array<std::string, 20> canned{"PLEASE", "CALL  ", "ME    ", "YOU",   "IN",   "AT",  "OFFICE",
                                     "MEET",   "HOME",   "TO",     "GO",    "WHY",  "WHERE", "WHAT",
                                     "WHO",    "HOW",    "TIME",   "DATE",  "HAPPY", "SCHOOL"};

  // Page 3, "Message Set".
  bool dup_msg_rejection = true;       // Dup_msg_rejection_chekbox
  int dup_msg_time = 0;                // Dup_msg_time: "1 min" .. "6 min"
  int repeat_msg_tone = 0;             // Repeat_msg_tone
  bool msg_time_stamp = true;          // Msg_time_stamp_checkbox
  bool message_status = true;          // Message_status_checkbox
  bool unread_display = true;          // Unread_disp_checkbox
  bool unread_reminder = true;         // Unread_reminder
  int unread_reminder_time = 0;        // Uread_reminder_time
  bool full_msg = true;                // Full_msg
  bool error_correction = true;        // Error_eduction_checkbox
  bool protect_menu = true;            // Protect_menu_checkbox
  int message_order = 0;               // Message_order
  int num_message = 12;                // Num_message

  // Page 3, "Hand coding".
  bool hand_code_password = true;      // Hand_code_pss_checkbox
  bool baud_handcode = true;           // Baud_handcode_checkbox
  bool freq_handcode = true;           // Freq_handcode_checkbox
  bool addr_handcode = true;           // Addr_handcode_checkbox
  std::string password = "7316";       // Password

  // Page 3, "OTA".
  bool ota_autotime = true;            // OTA_autotime_checkbox
  bool ota_poweroff = true;            // OTA_poweroff_checkbox
  bool ota_msgdel = true;              // OTA_msgdel_checkbox
  bool ota_alertmode = true;           // OTA_alertmode_checkbox

  // Page 3, below the groups.
  bool out_range_func = true;          // Out_range_func_checkbox
  int in_out_range = 1;                // In_out_range: "Out", "In"
  bool no_service = true;              // No_service
  int outrange_time = 2;               // Outrange_time: 1 to 15 minutes
  int low_batt = 0;                    // LowbattComb
  int lcd_order = 0;                   // LcdorderComb
  int lcd_manual = 1;                  // lcdmannulCB: "DISABLE", "ENABLE"

  // Test page.
  bool re1_active = false;             // Re1Chk
  bool re2_active = false;             // Re2Chk
  bool re3_active = false;             // Re3Chk
  bool orctl_ds = false;               // ORCTChk
  int call_termination = 3;            // CtRadio

  bool operator==(const Settings&) const = default;
};

}  // namespace q5::image
