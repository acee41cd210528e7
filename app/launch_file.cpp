#include "app/launch_file.h"

#include <QFile>

#include "app/app_context.h"
#include "platform/core/paths.h"
#include "platform/gui/services.h"
#include "platform/gui/text.h"

namespace app {

QString LaunchPath(const std::string& text) {
  if (text.empty()) return QString();
  const std::string& folder = Ctx().Values.AppDir;
  std::string path;
  if (!folder.empty() && text.compare(0, folder.size(), folder) == 0) {
    path =
        folder +
        QFile::encodeName(platform::gui::AnsiToQString(text.substr(folder.size()))).toStdString();
  } else {
    path = QFile::encodeName(platform::gui::AnsiToQString(text)).toStdString();
  }
  return QFile::decodeName(QByteArray::fromStdString(platform::ResolveCase(path)));
}

int LaunchFile(const std::string& FileName, const std::string& Params,
               const std::string& DefaultDir, int ShowCmd) {
  return platform::gui::Services::Current().ShellOpen(
      LaunchPath(FileName), platform::gui::AnsiToQString(Params), LaunchPath(DefaultDir), ShowCmd);
}

}  // namespace app
