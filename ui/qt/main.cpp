// The program's entry: the one application object, and Qt's application around it.

#include <QApplication>

#include "ui/qt/kestrin_app.h"
#include "ui/qt/kestrin_window.h"
#include "ui/qt/translations.h"

namespace {

kestrin::qt::CKestrinApp theApp;  // exists before main runs, as the one application object

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  const kestrin::qt::Translations translations(kestrin::SystemUiLanguage());
  QGuiApplication::setDesktopFileName(QStringLiteral("kestrin"));
  QApplication::setWindowIcon(kestrin::qt::KestrinIcon());
  theApp.folderArgument = kestrin::qt::FolderArgument(argc, argv);
  theApp.InitInstance();  // false: the application has nothing more to run
  return 0;
}
