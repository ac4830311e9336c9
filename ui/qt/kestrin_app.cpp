#include "ui/qt/kestrin_app.h"

#include <QTimer>
#include <string_view>

#include "platform/user_folders.h"
#include "ui/kestrin_dlg.h"
#include "ui/qt/kestrin_window.h"
#include "ui/qt/qt_host.h"

namespace kestrin::qt {

namespace {

// Where the window's size and place are remembered, with the other settings.
constexpr char kWindowGeometrySetting[] = "WindowGeometry";

}  // namespace

std::optional<std::string> FolderArgument(int argc, const char* const* argv) {
  int first = 1;
  if (first < argc && std::string_view(argv[first]) == "--") ++first;
  if (first >= argc || argv[first] == nullptr) return std::nullopt;
  return std::string(argv[first]);
}

bool CKestrinApp::InitInstance() {
  KestrinWindow window;
  QtDialogHost host(window);
  CKestrinDlg dialog(host);
  // The size and place the window had when it was last closed, on a screen that is still there; else
  // the default size, or what the screen has room for.
  const std::optional<std::string> saved = host.ReadSetting(kWindowGeometrySetting);
  const QByteArray geometry =
      saved ? QByteArray::fromBase64(QByteArray(saved->data(), static_cast<qsizetype>(saved->size()))) : QByteArray();
  if (geometry.isEmpty() || !window.restoreGeometry(geometry)) window.FitToScreen();
  window.Start(dialog);
  if (folderArgument) {
    // Inside the window's loop, so that the window is up when the walk runs or the message box shows.
    QTimer::singleShot(0, &window, [&dialog, folder = AbsolutePath(*folderArgument)] {
      dialog.OnOpenFolderArgument(folder);
    });
  }
  window.exec();  // until the window is closed through its frame; Enter and Escape never end it
  window.Attach(nullptr);
  host.WriteSetting(kWindowGeometrySetting, window.saveGeometry().toBase64().toStdString());
  return false;
}

}  // namespace kestrin::qt
