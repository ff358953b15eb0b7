#include "app/main_dialog.h"

#include "app/phonebook_window.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>

#include "app/browser_pane.h"
#include "app/preview.h"
#include "app/qt_ui.h"
#include "app/small_dialogs.h"
#include "common/pacer_loader.h"
#include "link/clear.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/receive.h"
#include "resources/messages.h"

namespace quirel::app {

// The send list as the last run left it, in the program directory.
constexpr const char* kSendListFile = "sendlist.dat";

// Marks a command as running, and makes sure the window takes input again
// when it ends, whichever way the operation left it.
class CMyFileDialog::Busy {
 public:
  explicit Busy(CMyFileDialog& dialog) : dialog_(dialog) { ++dialog_.busy_; }
  ~Busy() {
    if (--dialog_.busy_ != 0) return;
    dialog_.link_.ReleasePort();
    if (!dialog_.isEnabled()) dialog_.setEnabled(true);
  }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;

 private:
  CMyFileDialog& dialog_;
};

CMyFileDialog::CMyFileDialog(const Environment& env, Link& link, QtUserInterface& ui, bool browserAvailable,
                             QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      env_(env),
      link_(link),
      ui_(ui),
      browserAvailable_(browserAvailable),
      units_(DialogFont()),
      // The extra height goes to the panes above and below the middle row
      // of buttons; the two rows of buttons keep theirs.
      layout_(ClassicSize(), {}, {{units_.Y(109), units_.Y(134)}, {units_.Y(220), units_.Y(245)}}) {
  setFont(DialogFont());
  setWindowTitle(Text(msg::kMainDialogTitle));
  setMinimumSize(ClassicSize());
  resize(ClassicSize());
  ui_.SetMainWindow(this);
  Build();
}

CMyFileDialog::~CMyFileDialog() {
  if (ui_.mainWindow() == this) ui_.SetMainWindow(nullptr);
  ui_.expandHook = nullptr;
}

void CMyFileDialog::Build() {
  const DialogUnits& du = units_;
  tree_ = Place(new FolderTree(this), du, 1003, 2, 2, 101, 128);
  layout_.Add(tree_, Follow::kGrow, Follow::kGrow);

  const struct {
    int id;
    std::string_view text;
    int x, y, width, height;
    void (CMyFileDialog::*command)();
  } buttons[] = {
      {1007, msg::kPhonebookButton, 141, 111, 44, 22, &CMyFileDialog::OnPhonebook},
      {1005, msg::kPreviewButton, 190, 111, 55, 22, &CMyFileDialog::OnPreview},
      {1011, msg::kHelpButton, 287, 111, 44, 22, &CMyFileDialog::OnHelp},
      {1000, msg::kSendButton, 6, 222, 62, 22, &CMyFileDialog::OnSend},
      {1001, msg::kCreateDirectoryButton, 78, 222, 75, 22, &CMyFileDialog::OnCreateDirectory},
      {1066, msg::kReceiveButton, 164, 222, 60, 22, &CMyFileDialog::OnReceive},
      {1002, msg::kClearButton, 235, 222, 56, 22, &CMyFileDialog::OnClear},
      {1070, msg::kExitButton, 315, 222, 31, 22, &CMyFileDialog::OnExit},
  };
  // The window's default button is a hidden, disabled OK: Return presses
  // the button that has the focus, and in the tree or a list it starts nothing.
  auto* ok = new QPushButton(Text(msg::kConfirm), this);
  ok->setProperty("controlId", 1);
  ok->setDefault(true);
  ok->setEnabled(false);
  ok->setFocusPolicy(Qt::NoFocus);
  ok->hide();
  for (const auto& b : buttons) {
    auto* button = Place(new QPushButton(Text(b.text), this), du, b.id, b.x, b.y, b.width, b.height);
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, b.command);
    layout_.Add(button, Follow::kKeep, Follow::kKeep);
  }

  // The frame of the preview area: an edit that takes no input.
  auto* frame = Place(new QPlainTextEdit(this), du, 1006, 2, 134, 344, 86);
  frame->setEnabled(false);
  frame->setFocusPolicy(Qt::NoFocus);
  layout_.Add(frame, Follow::kGrow, Follow::kGrow);

  layout_.Add(Place(new QLabel(Text(msg::kCurrentFileName), this), du, kNoId, 105, 196, 44, 13), Follow::kKeep,
              Follow::kKeep);
  auto* current = Place(new QLabel(this), du, 1100, 149, 196, 192, 18);
  current->setTextFormat(Qt::PlainText);
  layout_.Add(current, Follow::kGrow, Follow::kKeep);

  auto* line = Place(new QFrame(this), du, kNoId, 107, 109, 236, 1);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setMinimumHeight(2);
  layout_.Add(line, Follow::kGrow, Follow::kKeep);
}

QSize CMyFileDialog::OuterSize() const {
  // The panes are placed before the window is shown and framed, and each
  // window manager frames it differently: count a title bar and a border as
  // the style draws them, so that the layout is the same everywhere.
  const int border = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, this);
  const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
  const QSize classic = ClassicSize();
  return {classic.width() + 2 * border, classic.height() + title + 2 * border};
}

void CMyFileDialog::FitInto(const QRect& available) {
  const QSize classic = ClassicSize();
  const QSize frame = OuterSize() - classic;
  const QSize room = available.size() - frame;
  if (room.width() < classic.width() || room.height() < classic.height()) {
    // A small screen, or a large scale: the panes give up what the screen
    // lacks, down to half of their classic size.
    const QSize fitted = classic.boundedTo(room).expandedTo(classic / 2);
    setMinimumSize(fitted);
    resize(fitted);
  }
  QPoint at = available.center() - rect().center();
  at.setX(std::max(available.left(), std::min(at.x(), available.right() + 1 - width() - frame.width())));
  at.setY(std::max(available.top(), std::min(at.y(), available.bottom() + 1 - height() - frame.height())));
  move(at);
}

void CMyFileDialog::Initialise() {
  if (initialised_) return;
  initialised_ = true;

  setWindowIcon(QIcon(QStringLiteral(":/quirel/quirel.png")));
  const QSize outer = OuterSize();
  const int w = outer.width();
  const int h = outer.height();

  LoadPacer(QCoreApplication::applicationDirPath().toStdString());

  if (browserAvailable_) {
    if (browserPane_ == nullptr) browserPane_ = new BrowserPane(this, units_);
    browserPane_->move(static_cast<int>(w * 0.017), static_cast<int>(h * 0.528));
    browserPane_->show();
    layout_.Add(browserPane_, Follow::kGrow, Follow::kGrow);
  }

  if (filePane_ == nullptr) {
    filePane_ = new FilePane(this, units_, ui_);
    filePane_->KeepSendListIn(env_.HomeFile(kSendListFile));
    connect(tree_, &FolderTree::folderSelected, filePane_, &FilePane::FolderSelected);
    connect(tree_, &FolderTree::treeClicked, filePane_, &FilePane::TreeClicked);
    ui_.expandHook = [this](std::string_view path) {
      return tree_->ExpandToPath(QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())));
    };
  }
  filePane_->move(static_cast<int>(w / 3.4), 0);
  filePane_->show();
  layout_.Add(filePane_, Follow::kGrow, Follow::kGrow);
  // The window may have been given its size before the panes came.
  layout_.Apply(size());
  tree_->Fill();

  OnHelp();
  link_.DetectParallelPort();
  link_.ReleasePort();
}

void CMyFileDialog::showEvent(QShowEvent* event) {
  if (!initialised_) Initialise();
  if (!centred_) {
    centred_ = true;
    if (QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr) FitInto(screen->availableGeometry());
  }
  QDialog::showEvent(event);
}

void CMyFileDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  layout_.Apply(size());
}

void CMyFileDialog::reject() {
  // The close box and Escape end the program without asking, but not in
  // the middle of a transfer.
  if (busy()) return;
  QDialog::reject();
}

void CMyFileDialog::ClearFolderPick() {
  if (filePane_ != nullptr) filePane_->ClearFolderPick();
  if (folderPickHook) folderPickHook();
}

void CMyFileDialog::ShowPreview(bool show) {
  if (browserPane_ != nullptr) browserPane_->setVisible(show);
}

void CMyFileDialog::OnHelp() {
  ClearFolderPick();
  if (!browserAvailable_ || browserPane_ == nullptr) return;
  ShowPreview(true);
  browserPane_->Navigate(QString::fromStdString(env_.SystemFile("qrlhelp.htm")));
}

void CMyFileDialog::OnPreview() {
  ClearFolderPick();
  Busy busy(*this);
  if (previewCommand)
    previewCommand(*this);
  else
    PreviewFromWindow(*this);
}

void CMyFileDialog::OnPhonebook() {
  ClearFolderPick();
  Busy busy(*this);
  if (phonebookCommand)
    phonebookCommand(*this);
  else
    RunPhonebookCommand(this, link_, env_, ui_);
}

void CMyFileDialog::OnSend() {
  ClearFolderPick();
  Busy busy(*this);
  if (sendCommand)
    sendCommand(*this);
  else
    (void)SendFromWindow(*this);  // every outcome has been shown to the user
}

void CMyFileDialog::OnCreateDirectory() {
  ClearFolderPick();
  Busy busy(*this);
  CreateDirectoryDialog dialog(this);
  if (ui_.RunDialog(dialog) != QDialog::Accepted) return;
  (void)CreateDirectoryCommand(link_, dialog.Name().toStdString());  // its outcome has been shown
}

void CMyFileDialog::OnReceive() {
  ClearFolderPick();
  Busy busy(*this);
  const std::optional<ReceiveOptions> options = ui_.AskReceiveOptions();
  if (!options) return;
  (void)ReceiveFiles(link_, options->mode, options->target);  // every outcome has been shown
}

void CMyFileDialog::OnClear() {
  ClearFolderPick();
  Busy busy(*this);
  (void)ClearDevice(link_, env_);  // every outcome has been shown
}

void CMyFileDialog::OnExit() {
  ClearFolderPick();
  if (ui_.ShowMessage(msg::kConfirmExit, msg::kCaption, Icon::Question, Buttons::YesNo) == Answer::Yes) accept();
}

}  // namespace quirel::app
