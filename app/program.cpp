#include "app/program.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/dialog_units.h"
#include "app/main_dialog.h"
#include "app/splash.h"
#include "common/ini.h"
#include "link/link.h"
#include "link/port.h"
#include "resources/messages.h"

// The resources live in a static library: nothing would pull them in
// unless they are registered by name.
static void RegisterQuirelResources() { Q_INIT_RESOURCE(quirel); }

namespace quirel::app {

void RegisterResources() {
  static const bool registered = [] {
    RegisterQuirelResources();
    return true;
  }();
  static_cast<void>(registered);
}

bool ParseCommandLine(const QStringList& arguments, StartOptions& options, QString& error) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    auto value = [&](const QString& name, std::string& into) {
      if (argument.startsWith(name + QLatin1Char('='))) {
        into = argument.mid(name.size() + 1).toStdString();
        return true;
      }
      if (argument != name) return false;
      if (i + 1 >= arguments.size()) {
        error = QStringLiteral("%1 缺少取值").arg(name);
        return true;
      }
      into = arguments[++i].toStdString();
      return true;
    };
    if (argument == QLatin1String("--no-splash")) {
      options.splash = false;
    } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
      options.help = true;
    } else if (argument == QLatin1String("--version")) {
      options.version = true;
    } else if (value(QStringLiteral("--port"), options.port) || value(QStringLiteral("--home"), options.home) ||
               value(QStringLiteral("--system-dir"), options.systemDir)) {
      if (!error.isEmpty()) return false;
    } else {
      error = QStringLiteral("未知选项：%1").arg(argument);
      return false;
    }
  }
  return true;
}

QString UsageText() {
  return QStringLiteral(
      "usage: quirel40 [--no-splash] [--port PORT] [--home DIR] [--system-dir DIR]\n"
      "       quirel40 --help | --version\n"
      "  --no-splash       start without the splash picture\n"
      "  --port PORT       auto (default), ppdev[:/dev/parportN], direct, serial:/dev/ttyUSBN,\n"
      "                    virtual[:DIR][,OPTION...],\n"
      "                    bridge:unix:PATH or bridge:tcp:127.0.0.1:PORT (also QUIREL_PORT)\n"
      "  --home DIR        program directory: config.ini, the phonebook (also QUIREL_HOME)\n"
      "  --system-dir DIR  system directory: the reader's system files, the help page (also QUIREL_SYSTEM_DIR)\n"
      "  --help            show this text\n"
      "  --version         show the program's version\n");
}

bool BrowserAvailableFromEnvironment() {
  const char* value = std::getenv("QUIREL_NO_BROWSER");
  return value == nullptr || std::string(value) != "1";
}

bool InstallQtTranslations() {
  static const bool installed = [] {
    // Owned by the application for the rest of the run.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      delete translator;
      return false;
    }
    return QCoreApplication::installTranslator(translator);
  }();
  return installed;
}

// A help page that an earlier release of the program installed, byte for byte,
// is replaced by this release's; any other page there is the user's and kept.
bool IsEarlierShippedHelpPage(const std::string& path) {
  static constexpr std::string_view kEarlierPages[] = {
      "b631baaf4649c4a97dfb28b7e4b825c71bdff42d52b9d58ecceb0344f32f5185",
  };
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray digest = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
  for (std::string_view known : kEarlierPages)
    if (digest == QByteArray(known.data(), static_cast<qsizetype>(known.size()))) return true;
  return false;
}

bool InstallHelpPage(const Environment& env) {
  RegisterResources();
  const std::string target = env.SystemFile("qrlhelp.htm");
  std::error_code ec;
  if (std::filesystem::exists(target, ec) && !IsEarlierShippedHelpPage(target)) return true;
  // The installed page (a packager may have adapted it) before the built-in one.
  QFile page(QCoreApplication::applicationDirPath() + QStringLiteral("/" QUIREL_DATADIR_FROM_BIN "/qrlhelp.htm"));
  if (!page.exists()) page.setFileName(QStringLiteral(":/quirel/qrlhelp.htm"));
  if (!page.open(QIODevice::ReadOnly)) return false;
  const QByteArray bytes = page.readAll();
  return WriteFileAtomically(target, std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

Program::Program(StartOptions options) : options_(std::move(options)) { RegisterResources(); }

Program::~Program() {
  if (splash_ != nullptr) delete splash_.data();
  dialog_.reset();
}

void Program::UsePort(Port& port, Clock& clock) {
  port_ = &port;
  clock_ = &clock;
}

SplashWindow* Program::splash() const { return splash_.data(); }

bool Program::Start(std::string& error) {
  env_ = Environment::Resolve(options_.home, options_.systemDir);
  ui_.SetLogFile(env_.HomeFile("quirel40.log"));

  if (port_ == nullptr) {
    const std::string choice = reader::ChosenPortSpec(options_.port);
    opened_ = reader::OpenPort(choice, env_, error);
    if (opened_.port == nullptr) {
      if (error.empty()) error = "无法打开端口 " + choice;
      return false;
    }
    port_ = opened_.port.get();
    claim_ = std::make_unique<reader::PortClaim>(reader::PortLockPath(choice, env_), "卓卷电子书窗口", ui_);
    ownClock_ = std::make_unique<SystemClock>();
    clock_ = ownClock_.get();
  }

  QApplication::setFont(DialogFont());
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/quirel/quirel.png")));

  browserAvailable_ = BrowserAvailableFromEnvironment();
  if (!browserAvailable_) ui_.ShowMessage(msg::kNoBrowserPreview, msg::kCaptionFramework, Icon::Warning);
  if (!browserAvailable_) ui_.ShowMessage(msg::kNoBrowserHelp, msg::kCaptionFramework, Icon::Warning);
  InstallHelpPage(env_);

  link_ = std::make_unique<Link>(*port_, *clock_, ui_);
  link_->portProblem = opened_.note;
  if (claim_) {
    // Held while a command runs; the window lets go between commands.
    link_->claimPort = [this] { return claim_->Take(); };
    link_->releasePort = [this] { claim_->Release(); };
  }
  dialog_ = std::make_unique<CMyFileDialog>(env_, *link_, ui_, browserAvailable_);
  if (options_.splash) splash_ = SplashWindow::ShowFor(dialog_.get());
  dialog_->Initialise();
  dialog_->show();
  return true;
}

int Program::Run() {
  std::string error;
  if (!Start(error)) {
    std::fprintf(stderr, "quirel40: %s\n", error.c_str());
    ui_.ShowMessage(error, msg::kCaptionFramework, Icon::Error);
    return 64;
  }
  dialog_->exec();
  return 0;
}

}  // namespace quirel::app
