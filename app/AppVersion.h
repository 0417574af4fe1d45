#pragma once

#include <QString>

namespace quorvane {

class Shell;

// The running editor's version as "major.minor" from its file version
// ("1.13.0.0" -> "1.13"); empty when the program carries no version.
QString get_app_version(Shell &shell);

} // namespace quorvane
