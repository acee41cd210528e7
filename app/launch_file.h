// Opening a file with the program associated with it, for the book jump, Start Over and the
// exhibit window of every build.
#pragma once

#include <QString>
#include <string>

namespace app {

// The file-system path a caller's text names: the text is ANSI, except that a start equal to
// the program's folder (Ctx().Values.AppDir, file-system bytes) is kept as it stands. Every
// component is then found regardless of letter case when the exact name is missing
// (platform::ResolveCase). Empty text gives an empty path.
QString LaunchPath(const std::string& text);

// Opens FileName through the services' ShellOpen with the parameters Params (ANSI), the
// working folder DefaultDir (empty: none) and the show command ShowCmd. The file name and the
// folder become paths by LaunchPath, whole whatever their length. Returns ShellOpen's code
// (above 32 is success).
int LaunchFile(const std::string& FileName, const std::string& Params,
               const std::string& DefaultDir, int ShowCmd);

}  // namespace app
