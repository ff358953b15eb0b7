#include "app/preview.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <fstream>

#include "app/browser_pane.h"
#include "app/dialog_units.h"
#include "app/file_pane.h"
#include "app/main_dialog.h"
#include "app/qt_ui.h"
#include "common/text.h"
#include "convert/convert.h"
#include "resources/messages.h"

namespace quirel::app {
namespace fs = std::filesystem;
namespace {

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

// Programs, libraries, templates, lock files and system files: nothing the
// browser pane could show.
bool RefusedForKeepFormat(const std::string& lowerName) {
  for (const char* part : {".exe", ".com", ".obj", ".dll", ".dot", "~$", ".sys"})
    if (Contains(lowerName, part)) return true;
  return false;
}

QRadioButton* Radio(QDialog* dialog, QButtonGroup* group, const DialogUnits& du, int id, std::string_view text, int x,
                    int y, int width) {
  auto* radio = Place(new QRadioButton(Text(text), dialog), du, id, x, y, width, 12);
  group->addButton(radio, id);
  return radio;
}

// A Word document in keep format: its text through the word processor,
// shown from vantrel.txt. The text is made beside a copy in the system
// directory, so that a text file of the same name beside the document is
// neither overwritten nor deleted. False when nothing can be shown.
bool WordDocumentAsText(CMyFileDialog& dialog, const std::string& document, std::string& shown) {
  QtUserInterface& ui = dialog.ui();
  if (!convert::WordInstalled()) {
    ui.ShowMessage(msg::kNoWordPreview, msg::kCaption, Icon::Information);
    return false;
  }
  convert::Context ctx{dialog.env(), ui, dialog.settings().rowWidth};
  const std::string copy = convert::WordWorkCopy(ctx, document);
  if (copy.empty()) {
    ui.ShowMessage(msg::kWordError, msg::kCaption, Icon::Error);
    return false;
  }
  if (convert::WordToText(ctx, copy) != convert::ConvertResult::kDone) {
    convert::RemoveWordWorkCopy(copy);
    return false;
  }
  const std::string preview = dialog.env().WorkFile(convert::kPreviewFile);
  std::error_code ec;
  fs::remove(preview, ec);
  fs::copy_file(convert::TextPathFor(copy), preview, fs::copy_options::overwrite_existing, ec);
  convert::RemoveWordWorkCopy(copy);
  shown = preview;
  return true;
}

// A book in keep format: its text, shown from vantrel.txt (the browser pane
// cannot show the book itself). False when nothing can be shown.
bool BookAsText(CMyFileDialog& dialog, const std::string& book, convert::FileKind kind, std::string& shown) {
  convert::Context ctx{dialog.env(), dialog.ui(), dialog.settings().rowWidth};
  std::string text;
  if (convert::BookToText(ctx, book, kind, text) != convert::ConvertResult::kDone) return false;
  const std::string preview = dialog.env().WorkFile(convert::kPreviewFile);
  std::ofstream out(preview, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) return false;
  shown = preview;
  return true;
}

}  // namespace

PreviewFormatDialog::PreviewFormatDialog(QWidget* parent, int format, int font) : QDialog(parent) {
  setWindowTitle(Text(msg::kPreviewFormatTitle));
  setFont(DialogFont());
  setModal(true);
  const DialogUnits du(this->font());
  Place(new QGroupBox(Text(msg::kPreviewFormatGroup), this), du, kNoId, 8, 4, 164, 46);
  Place(new QGroupBox(Text(msg::kFontGroup), this), du, kNoId, 8, 54, 164, 30);
  auto* formats = new QButtonGroup(this);
  auto* fonts = new QButtonGroup(this);
  keep_ = Radio(this, formats, du, 1083, msg::kPreviewKeep, 18, 18, 148);
  convert_ = Radio(this, formats, du, 1084, msg::kPreviewConvert, 18, 33, 148);
  large_ = Radio(this, fonts, du, 1095, msg::kLargeFont, 18, 67, 64);
  small_ = Radio(this, fonts, du, 1096, msg::kSmallFont, 92, 67, 64);
  (format == 2 ? convert_ : keep_)->setChecked(true);
  (font == 1 ? large_ : small_)->setChecked(true);

  auto* ok = Place(new QPushButton(Text(msg::kConfirm), this), du, 1, 32, 90, 50, 16);
  auto* cancel = Place(new QPushButton(Text(msg::kCancel), this), du, 2, 98, 90, 50, 16);
  ok->setDefault(true);
  cancel->setAutoDefault(false);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(du.Size(180, 114));
}

int PreviewFormatDialog::Format() const { return convert_->isChecked() ? 2 : 1; }

int PreviewFormatDialog::Font() const { return large_->isChecked() ? 1 : 2; }

QString FindViewer(const QString& programDir) {
  QString beside = QDir(programDir).filePath(QStringLiteral("quirel-viewer"));
  const QString built = QDir::cleanPath(programDir + QStringLiteral("/../viewer/quirel-viewer"));
  for (const QString& candidate : {beside, built}) {
    const QFileInfo info(candidate);
    if (info.isFile() && info.isExecutable()) return candidate;
  }
  return beside;
}

void StartViewer(CMyFileDialog& dialog) {
  const Environment& env = dialog.env();
  if (!WriteViewerConfig(env, dialog.settings()))
    dialog.ui().Diagnostic("config.ini could not be written: " + ViewerConfigPath(env));

  ViewerLaunch launch;
  const QString programDir = QCoreApplication::applicationDirPath();
  launch.program = FindViewer(programDir);
  launch.workingDirectory = programDir;
  launch.environment = QProcessEnvironment::systemEnvironment();
  // The preview is this window's own: another window may be making its own
  // at the same moment.
  launch.arguments = {QStringLiteral("--font"),
                      dialog.settings().fontChoice == 1 ? QStringLiteral("large") : QStringLiteral("small"),
                      QString::fromStdString(env.WorkFile(convert::kPreviewFile))};
  launch.environment.insert(QStringLiteral("QUIREL_HOME"), QString::fromStdString(env.home));
  launch.environment.insert(QStringLiteral("QUIREL_SYSTEM_DIR"), QString::fromStdString(env.systemDir));
  if (dialog.viewerStarter) {
    dialog.viewerStarter(launch);
    return;
  }
  QProcess process;
  process.setProgram(launch.program);
  process.setArguments(launch.arguments);
  process.setWorkingDirectory(launch.workingDirectory);
  process.setProcessEnvironment(launch.environment);
  if (!process.startDetached())
    dialog.ui().Diagnostic("quirel-viewer could not be started: " + launch.program.toStdString());
}

void PreviewFromWindow(CMyFileDialog& dialog) {
  FilePane* pane = dialog.files();
  if (pane == nullptr) return;
  pane->ClearFolderPick();
  QtUserInterface& ui = dialog.ui();
  const send::SendEntryItem* selected = pane->SelectedEntry();
  if (selected == nullptr) {
    ui.ShowMessage(msg::kChoosePreviewFile, msg::kCaption, Icon::Information);
    return;
  }
  const send::SendEntryItem entry = *selected;

  RunSettings& settings = dialog.settings();
  PreviewFormatDialog formatDialog(ui.Owner(), settings.previewFormat, settings.fontChoice);
  if (ui.RunDialog(formatDialog) != QDialog::Accepted) return;
  settings.SetFontChoice(formatDialog.Font());

  // The file as it is on disk (a folder entry gives the folder); the tests
  // below look at its lower-cased name.
  std::string previewPath = entry.realPath;
  pane->SetPreviewPath(previewPath);
  if (!dialog.browserAvailable()) return;
  const std::string name = LowerAscii(fs::path(previewPath).filename().string());

  if (formatDialog.Format() == 1 && !Contains(name, ".ebk")) {
    settings.previewFormat = 1;
    if (RefusedForKeepFormat(name)) {
      ui.ShowMessage(msg::kCannotPreviewType, msg::kCaption, Icon::Information);
      return;
    }
    const convert::FileKind kind = convert::ClassifyName(name);
    if (kind == convert::kWordDocument || convert::IsBookKind(kind)) {
      std::string text;
      const bool shown = kind == convert::kWordDocument ? WordDocumentAsText(dialog, previewPath, text)
                                                        : BookAsText(dialog, previewPath, kind, text);
      if (!shown) return;
      previewPath = text;
      pane->SetPreviewPath(previewPath);
    }
    dialog.ShowPreview(true);
    if (BrowserPane* browser = dialog.browserPane(); browser != nullptr)
      browser->Navigate(QString::fromStdString(previewPath));
    return;
  }

  settings.previewFormat = 2;
  convert::Context ctx{dialog.env(), ui, settings.rowWidth};
  const int shown = ui.MessagesShown();
  if (convert::ConvertForPreview(ctx, previewPath) != convert::ConvertResult::kDone) {
    // The conversion's own box (a file that is no text, a damaged book) is
    // the one box of this failure; otherwise the preview's.
    if (ui.MessagesShown() == shown) ui.ShowMessage(msg::kPreviewFailed, msg::kCaption, Icon::Error);
    return;
  }
  StartViewer(dialog);
}

}  // namespace quirel::app
