// The preview command ("文件字体"): the selected send-list entry shown either
// as it is, in the browser pane, or converted to e-book rows in the viewer
// quirel-viewer, at the font size chosen in the preview-format dialog.
#pragma once

#include <QDialog>
#include <QProcessEnvironment>
#include <QString>

class QRadioButton;

namespace quirel::app {

class CMyFileDialog;

// "预览格式" (dialog 1003): the format (1 keep, 2 convert) and the font (1
// large, 2 small), each opened at the value given.
class PreviewFormatDialog final : public QDialog {
  Q_OBJECT
 public:
  PreviewFormatDialog(QWidget* parent, int format, int font);
  int Format() const;
  int Font() const;

 private:
  QRadioButton* keep_;
  QRadioButton* convert_;
  QRadioButton* large_;
  QRadioButton* small_;
};

// How the viewer is started: the program, its working directory and its
// environment, which names the program and system directories.
struct ViewerLaunch {
  QString program;
  QStringList arguments;
  QString workingDirectory;
  QProcessEnvironment environment;
};

// The viewer beside the program, or in the build tree next to the program's
// own folder (viewer/ beside app/ or tests/).
QString FindViewer(const QString& programDir);

// Writes config.ini and starts the viewer without waiting for it.
void StartViewer(CMyFileDialog& dialog);

// The command behind button 1005.
void PreviewFromWindow(CMyFileDialog& dialog);

}  // namespace quirel::app
