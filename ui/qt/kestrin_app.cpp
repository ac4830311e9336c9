#include "ui/qt/kestrin_app.h"

#include <QTimer>
#include <string_view>

#include "platform/user_folders.h"
#include "ui/kestrin_dlg.h"
#include "ui/qt/kestrin_window.h"
#include "ui/qt/qt_host.h"

namespace kestrin::qt {

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
  window.Start(dialog);
  if (folderArgument) {
    // Inside the window's loop, so that the window is up when the walk runs or the message box shows.
    QTimer::singleShot(0, &window, [&dialog, folder = AbsolutePath(*folderArgument)] {
      dialog.OnOpenFolderArgument(folder);
    });
  }
  window.exec();  // until the window is closed through its frame; Enter and Escape never end it
  window.Attach(nullptr);
  return false;
}

}  // namespace kestrin::qt
