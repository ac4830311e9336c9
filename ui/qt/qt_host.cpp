#include "ui/qt/qt_host.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QImageReader>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

#include "ui/qt/byte_text.h"
#include "ui/qt/kestrin_window.h"
#include "ui/qt/list_box.h"
#include "ui/qt/picture_box.h"
#include "ui/resource_ids.h"
#include "ui/texts.h"

namespace kestrin::qt {
namespace {

QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToBytes(const QString& text) { return text.toUtf8().toStdString(); }

// A file URL that carries the path's own bytes, so a name that is not valid UTF-8 still names the right
// file. A relative path (a typed output folder) is taken from the working folder, as the file calls take it.
QUrl LocalFileUrl(const std::string& path) {
  QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
  if (!bytes.startsWith('/')) bytes.prepend(QFile::encodeName(QDir::currentPath()) + '/');
  return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
}

// How long after its start a failure of xdg-open still counts as "no program for the file": later, it
// is the status of the program it ran and the user has long since closed.
constexpr qint64 kOpenFailureWindowMs = 10000;

// The settings store's organisation and application name.
constexpr char kSettingsName[] = "kestrin";

}  // namespace

std::string QtDialogHost::GetText(int id) {
  QWidget* control = m_window.Control(id);
  if (auto* edit = dynamic_cast<ByteEdit*>(control)) return edit->Bytes();
  if (auto* picture = dynamic_cast<PictureBox*>(control)) return ToBytes(picture->Text());
  if (auto* button = qobject_cast<QAbstractButton*>(control)) return ToBytes(button->text());
  return {};
}

void QtDialogHost::SetText(int id, std::string_view text) {
  QWidget* control = m_window.Control(id);
  if (auto* edit = dynamic_cast<ByteEdit*>(control)) {
    edit->SetBytes(text);
    edit->setCursorPosition(0);  // the box shows the text from its start
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(ToQString(text));
  } else if (auto* picture = dynamic_cast<PictureBox*>(control)) {
    picture->SetText(ToQString(text));
  }
}

bool QtDialogHost::IsChecked(int id) {
  auto* button = m_window.Button(id);
  return button != nullptr && button->isCheckable() && button->isChecked();
}

void QtDialogHost::SetChecked(int id, bool checked) {
  if (auto* button = m_window.Button(id)) button->setChecked(checked);
}

void QtDialogHost::ListReset(int id) {
  if (ListBox* list = m_window.List(id)) list->Reset();
}

void QtDialogHost::ListAdd(int id, std::string_view text) {
  if (ListBox* list = m_window.List(id)) list->Add(ShowBytes(text).text);
}

int QtDialogHost::ListCurSel(int id) {
  ListBox* list = m_window.List(id);
  return list ? list->CurSel() : -1;
}

std::vector<int> QtDialogHost::ListSelection(int id) {
  ListBox* list = m_window.List(id);
  return list ? list->Selection() : std::vector<int>{};
}

void QtDialogHost::ListAddMarked(int id, std::string_view text, std::size_t begin, std::size_t length) {
  ListBox* list = m_window.List(id);
  if (!list) return;
  // The mark in characters of the text as shown: the bytes before it, and its own, each shown alike.
  begin = std::min(begin, text.size());
  length = std::min(length, text.size() - begin);
  const QString before = ShowBytes(text.substr(0, begin)).text;
  const QString marked = ShowBytes(text.substr(begin, length)).text;
  list->AddMarked(ShowBytes(text).text, static_cast<int>(before.size()), static_cast<int>(marked.size()));
}

void QtDialogHost::SetProgressRange(int lower, int upper) {
  // A run over one item has an empty range, which a QProgressBar would show as a busy animation; the
  // bar stays still and empty instead, as an empty range shows elsewhere.
  if (QProgressBar* bar = m_window.Progress()) bar->setRange(lower, upper > lower ? upper : lower + 1);
}

void QtDialogHost::SetProgressPos(int position) {
  // The bar repaints itself at once whenever its filled part visibly grows, so it advances on screen
  // while the command keeps the event loop waiting.
  if (QProgressBar* bar = m_window.Progress()) bar->setValue(position);
}

void QtDialogHost::Show(int id, bool visible) {
  QWidget* control = m_window.Control(id);
  if (!control || control->isVisibleTo(&m_window) == visible) return;
  control->setVisible(visible);
  // Paint the place now: a command that follows keeps the event loop waiting, and the progress bar and
  // the status box share their place, so the one hidden must not stay on screen under the one shown.
  if (m_window.isVisible()) m_window.repaint(control->geometry());
}

void QtDialogHost::Enable(int id, bool enabled) {
  if (QWidget* control = m_window.Control(id)) control->setEnabled(enabled);
}

void QtDialogHost::SetCaption(int id, std::string_view caption) {
  if (QAbstractButton* button = m_window.Button(id)) button->setText(ToQString(caption));
}

void QtDialogHost::SetToolTip(int id, std::string_view text) {
  if (QWidget* control = m_window.Control(id)) control->setToolTip(ToQString(text));
}

void QtDialogHost::BeginListFill(int id, std::size_t expectedLines) {
  if (ListBox* list = m_window.List(id)) list->BeginFill(static_cast<qsizetype>(expectedLines));
}

void QtDialogHost::EndListFill(int id) {
  if (ListBox* list = m_window.List(id)) list->EndFill();
}

std::string QtDialogHost::Translate(const char* text) { return ToBytes(TranslateText(text)); }

std::optional<std::string> QtDialogHost::BrowseForFolder(const char* title, const std::string& startFolder) {
  QString start = QFile::decodeName(QByteArray(startFolder.data(), static_cast<qsizetype>(startFolder.size())));
  if (!start.isEmpty() && !QFileInfo(start).isDir()) start.clear();
  const QString folder = QFileDialog::getExistingDirectory(&m_window, QString::fromUtf8(title), start,
                                                           QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return std::nullopt;
  const QByteArray bytes = QFile::encodeName(folder);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtDialogHost::ShowMessage(std::string_view text, std::string_view caption) {
  QMessageBox box(QMessageBox::NoIcon, ToQString(caption), ToQString(text), QMessageBox::Ok, &m_window);
  box.exec();
}

bool QtDialogHost::ShellOpen(const std::string& path) {
  const QUrl url = LocalFileUrl(path);
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) return QDesktopServices::openUrl(url);
  // Without a parent: the process object outlives the window if it must, so that closing Kestrin never
  // ends a program the user opened. It goes once xdg-open has ended.
  auto* process = new QProcess;
  process->setProgram(opener);
  process->setArguments({QString::fromLatin1(url.toEncoded())});
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  QElapsedTimer clock;
  clock.start();
  QObject::connect(process, &QProcess::finished, process,
                   [process, clock, path, window = QPointer<KestrinWindow>(&m_window)](int code,
                                                                                    QProcess::ExitStatus status) {
                     const bool failed = status != QProcess::NormalExit || code != 0;
                     if (failed && clock.elapsed() < kOpenFailureWindowMs && window) window->OpenFailed(path);
                     process->deleteLater();
                   });
  process->start();
  if (!process->waitForStarted()) {
    delete process;
    return false;
  }
  return true;
}

void QtDialogHost::CopyToClipboard(const std::string& text) {
  auto* mime = new QMimeData;
  mime->setText(ToQString(text));
  QList<QUrl> urls;
  for (std::string_view rest = text; !rest.empty();) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    const std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.front() == '/') urls.append(LocalFileUrl(std::string(line)));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  if (!urls.isEmpty()) mime->setUrls(urls);
  QGuiApplication::clipboard()->setMimeData(mime);
}

std::optional<std::string> QtDialogHost::SaveFileName(const char* title, const std::string& suggestedName) {
  const QString file = QFileDialog::getSaveFileName(&m_window, QString::fromUtf8(title),
                                                    QDir::home().filePath(ToQString(suggestedName)));
  if (file.isEmpty()) return std::nullopt;
  const QByteArray bytes = QFile::encodeName(file);
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::optional<Picture> QtDialogHost::DecodePicture(int /*id*/, std::string_view bytes) {
  QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  reader.setAutoTransform(true);
  const QSize size = reader.size();
  if (size.isValid() && (size.width() > kPictureBound || size.height() > kPictureBound)) {
    reader.setScaledSize(size.scaled(kPictureBound, kPictureBound, Qt::KeepAspectRatio));
  }
  QImage image = reader.read();
  if (image.isNull()) return std::nullopt;
  const QSize full = size.isValid() ? size : image.size();
  return Picture{full.width(), full.height(), std::make_shared<const QImage>(std::move(image))};
}

void QtDialogHost::ShowPicture(int id, const Picture* picture) {
  PictureBox* box = m_window.PictureControl(id);
  if (!box) return;
  const auto* image = picture ? static_cast<const QImage*>(picture->shown.get()) : nullptr;
  box->SetPicture(image ? *image : QImage());
}

std::optional<std::string> QtDialogHost::ReadSetting(const char* name) {
  const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSettingsName, kSettingsName);
  const QVariant value = settings.value(QString::fromLatin1(name));
  if (!value.isValid()) return std::nullopt;
  const QByteArray bytes = value.toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtDialogHost::WriteSetting(const char* name, const std::string& value) {
  QSettings settings(QSettings::NativeFormat, QSettings::UserScope, kSettingsName, kSettingsName);
  settings.setValue(QString::fromLatin1(name), QByteArray(value.data(), static_cast<qsizetype>(value.size())));
}

void QtDialogHost::ShowFailures(const std::vector<FailureLine>& failures) {
  QString lines;
  for (const FailureLine& failure : failures) {
    // A path keeps its bytes where they are not UTF-8: as the file system names it.
    lines += QFile::decodeName(QByteArray::fromStdString(failure.path)) + QStringLiteral(": ") +
             ToQString(failure.reason) + QLatin1Char('\n');
  }
  QDialog box(&m_window);
  box.setWindowTitle(ToQString(Translate(text::kFailuresCaption)));
  auto* layout = new QVBoxLayout(&box);
  auto* list = new QPlainTextEdit(lines, &box);
  list->setObjectName(QStringLiteral("failures"));
  list->setReadOnly(true);
  list->setLineWrapMode(QPlainTextEdit::NoWrap);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
  QPushButton* copy = buttons->addButton(ToQString(Translate(text::kCopyAll)), QDialogButtonBox::ActionRole);
  QObject::connect(copy, &QPushButton::clicked, &box, [lines] { QGuiApplication::clipboard()->setText(lines); });
  QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
  layout->addWidget(buttons);
  box.resize(m_window.width() * 2 / 3, m_window.height() / 2);
  box.exec();
}

void QtDialogHost::ShowPreview(const RenamePreview& preview) {
  auto* box = new QDialog(&m_window);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setObjectName(QStringLiteral("preview"));
  box->setWindowTitle(ToQString(Translate(text::kPreviewCaption)));
  auto* layout = new QVBoxLayout(box);
  auto* count = new QLabel(ToQString(preview.count), box);
  count->setObjectName(QStringLiteral("previewCount"));
  layout->addWidget(count);
  auto* list = new QListWidget(box);
  list->setObjectName(QStringLiteral("previewList"));
  list->setUniformItemSizes(true);
  // Paths keep their bytes where they are not UTF-8: as the file system names them.
  const auto path = [](const std::string& bytes) { return QFile::decodeName(QByteArray::fromStdString(bytes)); };
  QStringList lines;
  lines.reserve(static_cast<qsizetype>(preview.renames.size() + preview.kept.size()));
  for (const RenamePreview::Rename& rename : preview.renames) {
    lines.push_back(path(rename.source) + QStringLiteral(" \u2192 ") + path(rename.target));
  }
  for (const FailureLine& kept : preview.kept) lines.push_back(path(kept.path) + QStringLiteral(": ") + ToQString(kept.reason));
  list->addItems(lines);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(box);
  QPushButton* run = buttons->addButton(ToQString(Translate(text::kPreviewRun)), QDialogButtonBox::AcceptRole);
  run->setObjectName(QStringLiteral("previewRun"));
  QPushButton* close = buttons->addButton(ToQString(Translate(text::kPreviewClose)), QDialogButtonBox::RejectRole);
  close->setObjectName(QStringLiteral("previewClose"));
  close->setDefault(true);  // Enter never renames by accident
  QObject::connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, box, &QDialog::reject);
  QObject::connect(box, &QDialog::finished, &m_window, [window = &m_window](int result) {
    window->PreviewAnswered(result == QDialog::Accepted ? IDC_PREVIEW_RUN : IDC_PREVIEW_CLOSE);
  });
  box->resize(m_window.width() * 2 / 3, m_window.height() * 2 / 3);
  box->open();
}

void QtDialogHost::PostToWindow(std::function<void()> call) {
  QMetaObject::invokeMethod(&m_window, std::move(call), Qt::QueuedConnection);
}

bool QtDialogHost::CtrlHeld() {
  if (const std::optional<bool> ctrl = m_window.DropCtrl()) return *ctrl;
  return (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
}

}  // namespace kestrin::qt
