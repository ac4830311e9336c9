#include "ui/qt/kestrin_window.h"

#include <algorithm>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QUrl>

#include "ui/qt/byte_limit_validator.h"
#include "ui/qt/byte_text.h"
#include "ui/qt/list_box.h"
#include "ui/qt/picture_box.h"
#include "ui/resource_ids.h"
#include "ui/texts.h"

namespace kestrin::qt {
namespace {

// The virtual key the dialog's pre-translation knows a key by, or 0 for keys it leaves alone.
int VirtualKeyOf(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return kVkReturn;
    case Qt::Key_Escape:
      return kVkEscape;
    default:
      return 0;
  }
}

// A read-only box looks like one: the window's colour behind its text, as a read-only edit control has.
void MarkReadOnly(QLineEdit& edit) {
  edit.setReadOnly(true);
  QPalette palette = edit.palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Window));
  edit.setPalette(palette);
}

}  // namespace

std::vector<std::string> LocalDropPaths(const QMimeData& mime) {
  std::vector<std::string> paths;
  for (const QUrl& url : mime.urls()) {
    if (!url.isLocalFile()) continue;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) continue;
    // The fully encoded path keeps bytes that are not UTF-8 as %XX; decoding gives the name's own bytes.
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!bytes.isEmpty()) paths.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  return paths;
}

QString TranslateText(const char* text) { return QCoreApplication::translate("Kestrin", text); }

// Every size the build put into the program's resources; each image tells its own size.
QIcon KestrinIcon() {
  QIcon icon;
  const QDir images(QStringLiteral(":/kestrin/icons"), QStringLiteral("kestrin-*.png"));
  for (const QString& name : images.entryList(QDir::Files)) icon.addFile(images.filePath(name));
  return icon;
}

KestrinWindow::KestrinWindow(QWidget* parent) : QDialog(parent) {
  const DialogDef& dialog = KestrinDialog();
  // A resizable frame with a title, a system menu, a minimise, a maximise and a close button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(TranslateText(dialog.caption));
  setWindowIcon(KestrinIcon());
  setFont(DialogFont(dialog));
  m_units = BaseUnitsOf(font());
  m_defaultSize = ToPixels(dialog, m_units);
  setMinimumSize(MinimumSize());
  resize(m_defaultSize);
  setSizeGripEnabled(false);  // the frame resizes it; a grip would lie over the status box
  setModal(true);  // modal from its first showing on, which comes before the modal loop starts

  // Frames and labels first, controls after them in tab order, so that controls lie above the frames.
  QWidget* previous = nullptr;
  for (const ControlDef& def : KestrinControls()) {
    QWidget* widget = Create(def);
    widget->setGeometry(ToPixels(def, m_units));
    m_placed.push_back(Placed{widget, ToPixels(def, m_units), def.anchor});
    if (def.styles & kHiddenAtStart) widget->hide();
    if (def.id < 0) continue;
    m_controls[def.id] = widget;
    widget->setObjectName(QString::fromLatin1(def.name));
    widget->installEventFilter(this);
    if (def.styles & kTabStop) {
      if (previous) QWidget::setTabOrder(previous, widget);
      previous = widget;
      m_tabOrder.push_back(widget);
    } else {
      widget->setFocusPolicy(Qt::NoFocus);
    }
  }
  installEventFilter(this);

  // Drops anywhere on the window reach the window: no child takes them for itself (an edit box would
  // otherwise insert a dropped file's URL as text).
  setAcceptDrops(true);
  for (QWidget* child : findChildren<QWidget*>()) child->setAcceptDrops(false);
}

QWidget* KestrinWindow::Create(const ControlDef& def) {
  const QString caption = def.caption[0] != '\0' ? TranslateText(def.caption) : QString();
  switch (def.kind) {
    case ControlKind::GroupBox:
      return new QGroupBox(caption, this);
    case ControlKind::Label: {
      auto* label = new QLabel(caption, this);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);  // static text starts at its top-left corner
      return label;
    }
    case ControlKind::Edit: {
      auto* edit = new ByteEdit(caption, this);
      if (def.styles & kReadOnly) MarkReadOnly(*edit);
      if (def.id == IDC_RENAME_OLD || def.id == IDC_RENAME_NEW) {
        edit->setValidator(new ByteLimitValidator(kRenameBoxLimit, edit));
      }
      return edit;
    }
    case ControlKind::PushButton: {
      auto* button = new QPushButton(caption, this);
      // Never a default button: Enter must not press it.
      button->setAutoDefault(false);
      button->setDefault(false);
      const int id = def.id;
      connect(button, &QPushButton::clicked, this, [this, id] { Route(id, Notify::Clicked); });
      return button;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(caption, this);
      const int id = def.id;
      connect(box, &QCheckBox::clicked, this, [this, id] { Route(id, Notify::Clicked); });
      return box;
    }
    case ControlKind::ListBox: {
      auto* list = new ListBox(this);
      list->SetExtendedSelection((def.styles & kExtendedSel) != 0);
      const int id = def.id;
      list->onSelChange = [this, id] { Route(id, Notify::SelChange); };
      // doubleClicked, not activated: some styles activate on a single click or on Enter.
      connect(list, &QListView::doubleClicked, this, [this, id] { Route(id, Notify::DblClk); });
      list->onContextMenu = [this, id](int row, QPoint at) { ShowEntryMenu(id, row, at); };
      return list;
    }
    case ControlKind::Picture:
      return new PictureBox(this);
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(this);
      bar->setTextVisible(false);
      bar->setRange(0, 100);
      bar->setValue(0);
      return bar;
    }
  }
  return new QWidget(this);
}

void KestrinWindow::Attach(CKestrinDlg* dialog) { m_dialog = dialog; }

QSize KestrinWindow::MinimumSize() const {
  const DialogDef& dialog = KestrinDialog();
  return QSize(MulDiv(dialog.minWidth, m_units.x, 4), MulDiv(dialog.minHeight, m_units.y, 8));
}

QSize FittedSize(QSize defaultSize, QSize minimum, QSize room) {
  return QSize(std::max(minimum.width(), std::min(defaultSize.width(), room.width())),
               std::max(minimum.height(), std::min(defaultSize.height(), room.height())));
}

void KestrinWindow::FitToScreen() {
  const QScreen* screen = this->screen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  // The frame is the window manager's and is known only once the window is shown: what it took last
  // time, or a title bar's worth before the first showing.
  QSize frame = frameGeometry().size() - size();
  if (frame.isEmpty()) frame = QSize(0, fontMetrics().height() * 2);
  const QSize fitted = FittedSize(m_defaultSize, MinimumSize(), available.size() - frame);
  resize(fitted);
  if (fitted != m_defaultSize) move(available.topLeft());
}

void KestrinWindow::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const int extraWidth = width() - m_defaultSize.width();
  const int extraHeight = height() - m_defaultSize.height();
  for (const Placed& placed : m_placed) {
    const QRect& at = placed.atDefaultSize;
    const ControlRect rect =
        AnchoredRect(placed.anchor, ControlRect{at.x(), at.y(), at.width(), at.height()}, extraWidth, extraHeight);
    placed.widget->setGeometry(rect.x, rect.y, rect.width, rect.height);
  }
}

void KestrinWindow::Start(CKestrinDlg& dialog) {
  Attach(&dialog);
  showNormal();
  if (dialog.OnInitDialog()) FocusFirstControl();
}

QWidget* KestrinWindow::Control(int id) const {
  const auto it = m_controls.find(id);
  return it == m_controls.end() ? nullptr : it->second;
}

QLineEdit* KestrinWindow::Edit(int id) const { return qobject_cast<QLineEdit*>(Control(id)); }
QAbstractButton* KestrinWindow::Button(int id) const { return qobject_cast<QAbstractButton*>(Control(id)); }
ListBox* KestrinWindow::List(int id) const { return dynamic_cast<ListBox*>(Control(id)); }
PictureBox* KestrinWindow::PictureControl(int id) const { return dynamic_cast<PictureBox*>(Control(id)); }
QProgressBar* KestrinWindow::Progress() const { return qobject_cast<QProgressBar*>(Control(IDC_PROGRESS)); }

void KestrinWindow::FocusFirstControl() {
  for (QWidget* widget : m_tabOrder) {
    if (widget->isVisible() && widget->isEnabled()) {
      widget->setFocus(Qt::TabFocusReason);
      return;
    }
  }
}

void KestrinWindow::Route(int id, Notify notify) {
  if (m_dialog) m_dialog->OnCommand(id, notify);
}

void KestrinWindow::OpenFailed(const std::string& path) {
  if (m_dialog) m_dialog->OnOpenFailed(path);
}

void KestrinWindow::PreviewAnswered(int button) { Route(button, Notify::Clicked); }

void KestrinWindow::ShowEntryMenu(int listId, int row, QPoint globalPos) {
  if (!m_dialog || !m_dialog->EntryPath(listId, row)) return;
  QMenu menu(this);
  const std::pair<const char*, EntryCommand> items[] = {{text::kMenuOpen, EntryCommand::Open},
                                                        {text::kMenuOpenFolder, EntryCommand::OpenFolder},
                                                        {text::kMenuCopyPath, EntryCommand::CopyPath}};
  std::vector<std::pair<QAction*, EntryCommand>> actions;
  for (const auto& [caption, command] : items) actions.emplace_back(menu.addAction(TranslateText(caption)), command);
  if (listId == IDC_RESULT_LIST) {
    // The list's own commands, on its selected lines or all of them.
    menu.addSeparator();
    const std::pair<const char*, EntryCommand> listItems[] = {{text::kMenuCopySelected, EntryCommand::CopySelectedPaths},
                                                              {text::kMenuCopyAll, EntryCommand::CopyAllPaths},
                                                              {text::kMenuExport, EntryCommand::ExportList}};
    for (const auto& [caption, command] : listItems) {
      actions.emplace_back(menu.addAction(TranslateText(caption)), command);
    }
  }
  QAction* chosen = menu.exec(globalPos);
  for (const auto& [action, command] : actions) {
    if (action == chosen && m_dialog) m_dialog->OnEntryCommand(listId, row, command);
  }
}

bool KestrinWindow::eventFilter(QObject* watched, QEvent* event) {
  // A click on the status box lists the last command's failures.
  if (event->type() == QEvent::MouseButtonRelease && watched == Control(IDC_STATUS)) {
    if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) Route(IDC_STATUS, Notify::Clicked);
    return false;
  }
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const int virtualKey = VirtualKeyOf(*key);
  if (virtualKey == 0) return false;
  if (m_dialog && !m_dialog->PreTranslateKeyDown(virtualKey)) return false;
  // Enter and Escape go to their control and no further: the window's own keyboard handling, which would
  // press a default button or close the window, never sees them.
  static_cast<QObject*>(watched)->event(event);
  return true;
}

void KestrinWindow::done(int result) {
  if (m_dialog) m_dialog->Shutdown();
  QDialog::done(result);
}

void KestrinWindow::keyPressEvent(QKeyEvent* event) {
  if (VirtualKeyOf(*event) != 0) {
    event->accept();  // neither accept() nor reject() of the dialog
    return;
  }
  QDialog::keyPressEvent(event);
}

void KestrinWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData() && !LocalDropPaths(*event->mimeData()).empty()) {
    event->setDropAction(Qt::CopyAction);  // never a move: the source keeps its files
    event->accept();
  } else {
    event->ignore();
  }
}

void KestrinWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (event->mimeData() && !LocalDropPaths(*event->mimeData()).empty()) {
    event->setDropAction(Qt::CopyAction);
    event->accept();
  } else {
    event->ignore();
  }
}

void KestrinWindow::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = event->mimeData() ? LocalDropPaths(*event->mimeData())
                                                           : std::vector<std::string>{};
  if (paths.empty()) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
  if (!m_dialog) return;
  // The Ctrl key as it was when the items were dropped, which the dialog asks for while it handles them.
  m_dropCtrl = (event->modifiers() & Qt::ControlModifier) != 0;
  m_dialog->OnDropFiles(paths);
  m_dropCtrl.reset();
}

}  // namespace kestrin::qt
