#pragma once
// The Kestrin window: every frame, label and control of the layout table at its place, converted from
// dialog units with the dialog font; notifications, keys and drops routed to the attached CKestrinDlg.

#include <QDialog>
#include <QIcon>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/kestrin_dlg.h"
#include "ui/qt/dialog_units.h"

class QAbstractButton;
class QLineEdit;
class QMimeData;
class QProgressBar;

namespace kestrin::qt {

class ListBox;
class PictureBox;

// The local files of a drop, in order, as the bytes the file system knows them by (a name that is not
// valid UTF-8 keeps its bytes). Items that are not local files are left out.
std::vector<std::string> LocalDropPaths(const QMimeData& mime);

// A text of the window (ui/texts.h, the layout) through the application's translators.
QString TranslateText(const char* text);

// The program's icon in every size the icon generator made; empty when none was built in.
QIcon KestrinIcon();

// The size a window is given: its default where room holds it, else as much as there is room for, never
// less than minimum.
QSize FittedSize(QSize defaultSize, QSize minimum, QSize room);

class KestrinWindow : public QDialog {
 public:
  explicit KestrinWindow(QWidget* parent = nullptr);

  // Routes notifications, keys and drops to dialog from now on.
  void Attach(CKestrinDlg* dialog);
  // The window's first moments: attaches dialog, shows the window, runs OnInitDialog and, when it asks
  // for it, gives the focus to the first control in tab order.
  void Start(CKestrinDlg& dialog);

  // Controls by identifier; null for an unknown identifier or the wrong kind.
  QWidget* Control(int id) const;
  QLineEdit* Edit(int id) const;
  QAbstractButton* Button(int id) const;
  ListBox* List(int id) const;
  PictureBox* PictureControl(int id) const;
  QProgressBar* Progress() const;

  BaseUnits Units() const { return m_units; }
  // The window's size in pixels as the template gives it, and the smallest it can be made.
  QSize DefaultSize() const { return m_defaultSize; }
  QSize MinimumSize() const;
  // Gives the window its default size where the screen's available area holds it (with the frame), else
  // the largest size that fits, though never less than its minimum, at the area's top left.
  void FitToScreen();
  // The tab-stop controls in the order the focus moves through them.
  const std::vector<QWidget*>& TabOrder() const { return m_tabOrder; }
  void FocusFirstControl();

  // While a drop is being handled: whether Ctrl was held when the items were dropped.
  std::optional<bool> DropCtrl() const { return m_dropCtrl; }

  // The desktop reported, after the fact, that it could not open path.
  void OpenFailed(const std::string& path);
  // The rename's preview was closed with button (IDC_PREVIEW_RUN or IDC_PREVIEW_CLOSE).
  void PreviewAnswered(int button);
  // The context menu of line row of a list, at a point of the screen; its command goes to the dialog.
  void ShowEntryMenu(int listId, int row, QPoint globalPos);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // Lays the controls out for the new size: each row follows the window as its anchor says.
  void resizeEvent(QResizeEvent* event) override;
  // Closing the window stops the running command and waits for it first.
  void done(int result) override;

 private:
  QWidget* Create(const ControlDef& def);
  void Route(int id, Notify notify);

  BaseUnits m_units;
  QSize m_defaultSize;
  struct Placed {
    QWidget* widget;
    QRect atDefaultSize;
    ControlAnchor anchor;
  };
  std::vector<Placed> m_placed;  // every frame, label and control
  std::map<int, QWidget*> m_controls;
  std::vector<QWidget*> m_tabOrder;
  CKestrinDlg* m_dialog = nullptr;
  std::optional<bool> m_dropCtrl;
};

}  // namespace kestrin::qt
