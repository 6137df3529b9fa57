#include "jobs/report.h"

namespace q5::jobs {

void pass_on_notices(rules::Form& form, const Reporter& report) {
  for (rules::Notice& notice : form.take_notices()) {
    switch (notice.kind) {
      case rules::Notice::Kind::log:
        report({Report::Kind::log, std::move(notice.text)});
        break;
      case rules::Notice::Kind::beep:
        report({Report::Kind::beep, {}});
        break;
      case rules::Notice::Kind::error:
        report({Report::Kind::error_box, std::move(notice.text)});
        break;
      case rules::Notice::Kind::focus:
        report({Report::Kind::focus, std::move(notice.text)});
        break;
    }
  }
}

}  // namespace q5::jobs
