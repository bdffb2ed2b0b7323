#include "app/gui/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <clocale>
#include <cmath>
#include <exception>

#include "app/command_line.h"
#include "app/gui/dialogs.h"
#include "app/gui/disclaimer_form.h"
#include "app/gui/form_style.h"
#include "app/gui/options_form.h"
#include "app/gui/path_text.h"
#include "app/gui/program_icon.h"
#include "app/settings_file.h"
#include "crypto/cipher.h"
#include "crypto/key_rules.h"
#include "app/gui/password_form.h"

// ---------------------------------------------------------------------------
// Plain rules

namespace pt::gui {

bool KeepClipboardAfterExit() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (!clipboard || !clipboard->ownsClipboard()) return false;
  const QByteArray text = clipboard->text().toUtf8();
  const struct {
    const char* program;
    QStringList args;
  } helpers[] = {
      {"xclip", {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-in")}},
      {"xsel", {QStringLiteral("--clipboard"), QStringLiteral("--input")}},
  };
  for (const auto& helper : helpers) {
    const QString exe = QStandardPaths::findExecutable(QLatin1String(helper.program));
    if (exe.isEmpty()) continue;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(exe, helper.args);
    if (!process.waitForStarted(2000)) continue;
    process.write(text);
    process.closeWriteChannel();
    // Both read the text, leave a copy of themselves serving it and return.
    if (process.waitForFinished(3000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
      return true;
    process.kill();
    process.waitForFinished(1000);
  }
  return false;
}

}  // namespace pt::gui

namespace {

// Every log line is exactly kLogLineHeight pixels high, so that the height
// of the list divided by it is the number of lines it shows.
class LogLineDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override {
    QSize s = QStyledItemDelegate::sizeHint(option, index);
    s.setHeight(pt::window::kLogLineHeight);
    return s;
  }
};

QRect ToRect(const pt::window::Box& b) { return {b.x, b.y, b.w, b.h}; }

// The client area: designed at 729 x 430, never smaller; the window lays
// its panels out again whenever it changes size.
class ClientArea : public QWidget {
 public:
  using QWidget::QWidget;
  QSize sizeHint() const override {
    return {pt::window::kClientWidth, pt::window::kClientHeight};
  }
};

}  // namespace

// The job's view of the progress bar.
class TpixelTuck_Form::Bar : public pt::ProgressBar {
 public:
  Bar(TpixelTuck_Form* form, QProgressBar* bar) : form_(form), bar_(bar) {}
  void SetVisible(bool visible) override { bar_->setVisible(visible); }
  void SetPosition(int percent) override {
    bar_->setValue(percent);
    // A job does not return to the event loop: paint the bar now.
    bar_->repaint();
    form_->KeepAlive(false);
  }
  int Position() const override { return bar_->value(); }

 private:
  TpixelTuck_Form* form_;
  QProgressBar* bar_;
};

// ---------------------------------------------------------------------------
// Construction

TpixelTuck_Form::TpixelTuck_Form(std::vector<std::string> args,
                                 pt::SettingsLocation configPath,
                                 pt::gui::Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent),
      args_(std::move(args)),
      configPath_(std::move(configPath)),
      dialogs_(dialogs) {
  setObjectName(QStringLiteral("pixelTuck_Form"));
  setWindowTitle(QStringLiteral("pixelTuck"));
  setWindowIcon(pt::gui::ProgramIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setFont(pt::gui::FormFont(12));
  // Creation state: the defaults arrive at the first activation.
  settings_.disclaimerAccepted = false;
  settings_.compressedExtensions.clear();

  CreateActions();
  CreateMenus();
  CreateWidgets();
  CreateDialogs();
  ConnectSignals();
  setAcceptDrops(true);
  adjustSize();
  LayOut();
  if (QScreen* s = screen()) {
    const QRect area = s->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
}

TpixelTuck_Form::~TpixelTuck_Form() {
  if (busy_) QApplication::restoreOverrideCursor();
}

void TpixelTuck_Form::CreateActions() {
  mOpen = new QAction(QStringLiteral("&EnCode/DeCode"), this);
  mOpen->setObjectName(QStringLiteral("mOpen"));
  mOpen->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  mOptions = new QAction(QStringLiteral("Options"), this);
  mOptions->setObjectName(QStringLiteral("mOptions"));
  mOptions->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  mClose = new QAction(QStringLiteral("&Close"), this);
  mClose->setObjectName(QStringLiteral("mClose"));
  mClose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
  Info1 = new QAction(QStringLiteral("&Info"), this);
  Info1->setObjectName(QStringLiteral("Info1"));
  mDisclaimer = new QAction(QStringLiteral("&Disclaimer ..."), this);
  mDisclaimer->setObjectName(QStringLiteral("mDisclaimer"));
  mCopyLog = new QAction(QStringLiteral("&Copy"), this);
  mCopyLog->setObjectName(QStringLiteral("mCopyLog"));
  mCopyLine = new QAction(QStringLiteral("Copy &Line"), this);
  mCopyLine->setObjectName(QStringLiteral("mCopyLine"));
}

void TpixelTuck_Form::CreateMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu"));
  QMenu* file = bar->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  file->addAction(mOpen);
  file->addSeparator();
  file->addAction(mOptions);
  file->addSeparator();
  file->addAction(mClose);
  QMenu* help = bar->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  help->addAction(Info1);
  help->addAction(mDisclaimer);
}

void TpixelTuck_Form::CreateWidgets() {
  auto* client = new ClientArea(this);
  client->setObjectName(QStringLiteral("Client"));
  client->setMinimumSize(pt::window::kClientWidth, pt::window::kClientHeight);
  setCentralWidget(client);

  pTop = new QFrame(client);
  pTop->setObjectName(QStringLiteral("pTop"));
  pTop->setFrameStyle(QFrame::Panel | QFrame::Raised);
  pTop->setGeometry(0, 0, 729, 36);
  bbOpen = new QPushButton(style()->standardIcon(QStyle::SP_DialogOpenButton),
                           QStringLiteral("EnCode/DeCode"), pTop);
  bbOpen->setObjectName(QStringLiteral("bbOpen"));
  bbOptions = new QPushButton(
      style()->standardIcon(QStyle::SP_FileDialogDetailedView),
      QStringLiteral("Options"), pTop);
  bbOptions->setObjectName(QStringLiteral("bbOptions"));
  bbClose = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton),
                            QStringLiteral("Close"), pTop);
  bbClose->setObjectName(QStringLiteral("bbClose"));
  for (QPushButton* b : {bbOpen, bbOptions, bbClose}) {
    b->setFixedHeight(28);
    b->setAutoDefault(false);
  }
  Label1 = new QLabel(QStringLiteral("Encrypting algorithm :"), pTop);
  Label1->setObjectName(QStringLiteral("Label1"));
  cbEncMethod = new QComboBox(pTop);
  cbEncMethod->setObjectName(QStringLiteral("cbEncMethod"));
  cbEncMethod->setEditable(false);
  cbEncMethod->setFont(pt::gui::FixedFont(13, true));
  QPalette red = cbEncMethod->palette();
  red.setColor(QPalette::ButtonText, Qt::red);
  red.setColor(QPalette::Text, Qt::red);
  red.setColor(QPalette::WindowText, Qt::red);
  cbEncMethod->setPalette(red);
  FillCipherList();
  cbEncMethod->setCurrentIndex(2);
  cbEncMethod->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  cbShow = new QCheckBox(QStringLiteral("Show Bitmap"), pTop);
  cbShow->setObjectName(QStringLiteral("cbShow"));

  auto* top = new QHBoxLayout(pTop);
  top->setContentsMargins(4, 2, 6, 2);
  top->setSpacing(4);
  top->addWidget(bbOpen);
  top->addWidget(bbOptions);
  top->addWidget(bbClose);
  top->addSpacing(10);
  top->addWidget(Label1);
  top->addWidget(cbEncMethod);
  top->addSpacing(6);
  top->addWidget(cbShow);
  top->addStretch(1);

  ListBox = new QListWidget(client);
  ListBox->setObjectName(QStringLiteral("ListBox"));
  ListBox->setGeometry(10, 50, 356, 336);
  ListBox->setFont(pt::gui::FixedFont(12));
  ListBox->setItemDelegate(new LogLineDelegate(ListBox));
  ListBox->setUniformItemSizes(true);
  ListBox->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  // A horizontal scroll bar would cover the last of the 22 lines that
  // ShowLogEnd counts on; long lines are elided instead, and each line
  // shows its whole text on hover (the copies keep them whole).
  ListBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  ListBox->setTextElideMode(Qt::ElideMiddle);
  ListBox->setSelectionMode(QAbstractItemView::SingleSelection);
  ListBox->setContextMenuPolicy(Qt::ActionsContextMenu);
  ListBox->addAction(mCopyLog);
  ListBox->addAction(mCopyLine);

  iPanel = new QFrame(client);
  iPanel->setObjectName(QStringLiteral("iPanel"));
  iPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  iPanel->setGeometry(378, 36, 349, 365);
  Image = new QLabel(iPanel);
  Image->setObjectName(QStringLiteral("Image"));
  Image->setAlignment(Qt::AlignCenter);
  Image->setGeometry(2, 2, 344, 360);
  Image->hide();

  pBottom = new QFrame(client);
  pBottom->setObjectName(QStringLiteral("pBottom"));
  pBottom->setFrameStyle(QFrame::Panel | QFrame::Raised);
  pBottom->setGeometry(0, 401, 729, 29);
  ProgressBar = new QProgressBar(pBottom);
  ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
  ProgressBar->setRange(0, 100);
  ProgressBar->setValue(0);
  ProgressBar->setGeometry(6, 5, 717, 19);
  ProgressBar->hide();
  bar_ = std::make_unique<Bar>(this, ProgressBar);

  bbOpen->setToolTip(QString::fromUtf8(pt::window::kOpenTip));
  bbOptions->setToolTip(QString::fromUtf8(pt::window::kOptionsTip));
  bbClose->setToolTip(QString::fromUtf8(pt::window::kCloseTip));
  cbEncMethod->setToolTip(QString::fromUtf8(pt::window::kCipherTip));
  cbShow->setToolTip(QString::fromUtf8(pt::window::kShowTip));
  ListBox->setToolTip(QString::fromUtf8(pt::window::kLogTip));
}

void TpixelTuck_Form::LayOut() {
  QWidget* client = centralWidget();
  const pt::window::MainLayout l = pt::window::MainLayoutFor(client->width(), client->height());
  pTop->setGeometry(0, 0, l.bottom.w, 36);
  ListBox->setGeometry(ToRect(l.log));
  iPanel->setGeometry(ToRect(l.preview));
  pBottom->setGeometry(ToRect(l.bottom));
  ProgressBar->setGeometry(6, 5, l.bottom.w - 12, 19);
  PlacePreview();
}

void TpixelTuck_Form::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  LayOut();
}

void TpixelTuck_Form::CreateDialogs() {
  OptionsForm = new TOptionsForm(this);
  Password_Form = new TPassword_Form(this);
  Password_Form->errorBox = [this](const QString& text) {
    dialogs_.Message(Password_Form, pt::MsgKind::Error,
                     text.toUtf8().toStdString(), pt::MsgButtons::Ok);
  };
  DisclaimerForm = new TDisclaimerForm(this);
}

void TpixelTuck_Form::ConnectSignals() {
  connect(bbOpen, &QPushButton::clicked, this, &TpixelTuck_Form::mOpenClick);
  connect(mOpen, &QAction::triggered, this, &TpixelTuck_Form::mOpenClick);
  connect(bbOptions, &QPushButton::clicked, this, &TpixelTuck_Form::mOptionsClick);
  connect(mOptions, &QAction::triggered, this, &TpixelTuck_Form::mOptionsClick);
  connect(bbClose, &QPushButton::clicked, this, &TpixelTuck_Form::mExitClick);
  connect(mClose, &QAction::triggered, this, &TpixelTuck_Form::mExitClick);
  connect(Info1, &QAction::triggered, this, &TpixelTuck_Form::Info1Click);
  connect(mDisclaimer, &QAction::triggered, this, &TpixelTuck_Form::mDisclaimerClick);
  connect(mCopyLog, &QAction::triggered, this, &TpixelTuck_Form::CopyLogToClipboard);
  connect(mCopyLine, &QAction::triggered, this, [this] {
    const QListWidgetItem* item = ListBox->currentItem();
    if (!item) return;
    if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(item->text());
  });
  // A double-click anywhere in the log copies it, also below the last line.
  ListBox->viewport()->installEventFilter(this);
}

void TpixelTuck_Form::FillCipherList() {
  cbEncMethod->clear();
  for (const char* item : pt::kCipherListItems)
    cbEncMethod->addItem(QString::fromLatin1(item));
}

// An exception that escapes a handler is shown, and the program goes on.
template <typename F>
void TpixelTuck_Form::Guarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowMessage(pt::MsgKind::Plain, e.what(), pt::MsgButtons::Ok);
  }
}

// ---------------------------------------------------------------------------
// Start-up

void TpixelTuck_Form::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // The start-up sequence, and with it a command-line job, waits until the
  // window is exposed and drawn: repaints of a window that is not on the
  // screen yet are dropped, and the job would run in a black window.
  // Activation is not reported by every platform, so the first expose
  // counts; a window that is never exposed (started minimised) starts after
  // a few seconds all the same.
  if (!firstActivation_ || activationQueued_ || !windowHandle()) return;
  windowHandle()->installEventFilter(this);
  QTimer::singleShot(3000, this, [this] {
    if (!firstActivation_ || activationQueued_) return;
    activationQueued_ = true;
    FormActivate();
  });
}

void TpixelTuck_Form::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
      !firstActivation_)
    FormActivate();
}

void TpixelTuck_Form::FormActivate() {
  Guarded([this] {
    if (firstActivation_) StartUp();
    // A close asked for before the start-up is acted on now that the
    // settings are loaded; no automatic job starts then.
    if (closeRequested_ && !jobRunning_) {
      closeRequested_ = false;
      close();
      return;
    }
    // The automatic job runs once: the guard covers activations caused by
    // its own dialogs, and the file is emptied when it returns.
    if (!state_.commandLineFile.empty() && !jobRunning_) RunJob(true);
  });
}

struct TpixelTuck_Form::StartupHost : pt::window::StartupHost {
  TpixelTuck_Form& form;
  explicit StartupHost(TpixelTuck_Form& f) : form(f) {}
  bool AskDisclaimer() override {
    form.dialogs_.Exec(*form.DisclaimerForm);
    return !form.DisclaimerForm->rbNo->isChecked();
  }
  void InvalidCommandLineKey() override {
    form.ShowMessage(pt::MsgKind::Plain, pt::kCommandLineKeyInvalid, pt::MsgButtons::Ok);
  }
};

void TpixelTuck_Form::StartUp() {
  firstActivation_ = false;
  QLocale::setDefault(QLocale::c());
  std::setlocale(LC_NUMERIC, "C");
  setWindowTitle(QString::fromStdString(pt::window::MainCaption()));
  FillCipherList();

  StartupHost host(*this);
  const pt::window::StartupResult r =
      pt::window::RunStartup(settings_, state_, configPath_, args_, host);
  if (!r.commandEnabled) {
    bbOpen->setEnabled(false);
    mOpen->setEnabled(false);
    for (const std::string& line : pt::window::DisclaimerRefusedLog()) AddLogLine(line);
  }
  Password_Form->pendingKeyMode = r.keyModePreset;
  cbShow->setChecked(r.showBitmap);
  cbEncMethod->setCurrentIndex(r.cipherIndex);
}

// ---------------------------------------------------------------------------
// Commands

pt::JobOutcome TpixelTuck_Form::RunOneJob(bool byCommandLine) {
  ClearLog();
  HidePreview();
  std::string file;
  if (byCommandLine) {
    file = state_.commandLineFile;
  } else {
    std::optional<std::string> chosen = ChooseFile();
    if (!chosen) return {};
    file = std::move(*chosen);
  }
  return pt::RunJob(
      pt::window::MakeJobRequest(cbEncMethod->currentIndex(), byCommandLine, std::move(file),
                                 settings_),
      state_, *this);
}

void TpixelTuck_Form::RunJob(bool byCommandLine) {
  if (byCommandLine) RememberFolderOf(state_.commandLineFile);
  jobRunning_ = true;
  stopRequested_ = false;
  ShowJobRunning(true);
  ++jobsStarted_;
  sinceKeptAlive_.start();
  const auto finish = [this, byCommandLine] {
    jobRunning_ = false;
    stopRequested_ = false;
    ShowJobRunning(false);
    SetBusyCursor(false);
    // The job is done with its key: the dialog keeps no copy.
    Password_Form->WipeFields();
    keyInDialog_ = false;
    // The automatic job runs once, also when the steps below activate the
    // window again.
    if (byCommandLine) state_.commandLineFile.clear();
    DiscardQueuedInput();
    const pt::window::AfterJob after =
        pt::window::AfterJobFor(byCommandLine, settings_, lastOutcome_, closeRequested_);
    closeRequested_ = false;
    if (after.warnChecksum)
      ShowMessage(pt::MsgKind::Warning, pt::window::kChecksumWarning, pt::MsgButtons::Ok);
    if (after.exitStatus) exitStatus_ = *after.exitStatus;
    // A close asked for during the job (by the user or by the job itself)
    // is acted on now that the job has returned.
    if (after.close) close();
  };
  lastOutcome_ = {};  // a job that throws has no outcome
  try {
    lastOutcome_ = RunOneJob(byCommandLine);
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

// Eats the user's mouse, key, wheel and touch events while the window
// processes its events in the middle of a job, except what may act during
// a job: a click on EnCode/DeCode (then "Stop"), Close or "Show Bitmap",
// Escape (stops the job) and Ctrl+F4 (stops it and closes the window).
class TpixelTuck_Form::InputSwallower : public QObject {
 public:
  explicit InputSwallower(TpixelTuck_Form* form) : form_(form) {
    QCoreApplication::instance()->installEventFilter(this);
  }
  ~InputSwallower() override { QCoreApplication::instance()->removeEventFilter(this); }
  InputSwallower(const InputSwallower&) = delete;
  InputSwallower& operator=(const InputSwallower&) = delete;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!event->spontaneous()) return false;
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::HoverEnter:
      case QEvent::HoverMove:
        // A window passes its input on to the widget under the mouse,
        // where it is judged.
        if (watched->isWindowType()) return false;
        return !MayAct(watched);
      case QEvent::KeyPress:
        if (watched->isWindowType()) return false;
        Key(static_cast<QKeyEvent*>(event));
        return true;
      case QEvent::KeyRelease:
      case QEvent::ShortcutOverride:
      case QEvent::Wheel:
      case QEvent::ContextMenu:
      case QEvent::TouchBegin:
      case QEvent::TouchUpdate:
      case QEvent::TouchEnd:
        return !watched->isWindowType();
      default:
        return false;
    }
  }

 private:
  bool MayAct(QObject* watched) const {
    return watched == form_->bbOpen || watched == form_->bbClose || watched == form_->cbShow;
  }
  void Key(const QKeyEvent* key) {
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
      form_->StopJob();
    } else if (key->key() == Qt::Key_F4 && key->modifiers() == Qt::ControlModifier) {
      form_->mExitClick();
    }
  }

  TpixelTuck_Form* form_;
};

void TpixelTuck_Form::KeepAlive(bool now) {
  if (!now && sinceKeptAlive_.isValid() && sinceKeptAlive_.elapsed() < pt::window::kKeepAliveMs)
    return;
  // Paint, expose, window-manager and timer events, but no user input.
  // Qt's X11 backend counts the window manager's close request as user
  // input, so QEventLoop::ExcludeUserInputEvents would hold it back until
  // the job ends; the user's input is filtered out here instead (and so
  // dropped, not queued up for after the job).
  InputSwallower swallower(this);
  QCoreApplication::processEvents();
  sinceKeptAlive_.start();
}

void TpixelTuck_Form::DiscardQueuedInput() {
  // Nothing of it acts any more: the job has returned.
  class All : public QObject {
   public:
    All() { QCoreApplication::instance()->installEventFilter(this); }
    ~All() override { QCoreApplication::instance()->removeEventFilter(this); }
    All(const All&) = delete;
    All& operator=(const All&) = delete;
    bool eventFilter(QObject*, QEvent* event) override {
      switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
          return event->spontaneous();
        default:
          return false;
      }
    }
  } swallower;
  QCoreApplication::processEvents();
}

void TpixelTuck_Form::ShowJobRunning(bool running) {
  // mOpen itself stays as the start-up left it: it says whether the command
  // is enabled for the run; during a job the menu bar is off as a whole.
  const pt::window::MainControls c = pt::window::MainControlsFor(running, mOpen->isEnabled());
  bbOpen->setText(QString::fromUtf8(c.openCaption));
  bbOpen->setIcon(style()->standardIcon(running ? QStyle::SP_BrowserStop
                                                : QStyle::SP_DialogOpenButton));
  bbOpen->setToolTip(QString::fromUtf8(c.openTip));
  bbOpen->setEnabled(c.openButton);
  bbOptions->setEnabled(c.options);
  cbEncMethod->setEnabled(c.cipherList);
  Label1->setEnabled(c.cipherList);
  menuBar()->setEnabled(c.menu);
  for (QAction* a : {mOptions, Info1, mDisclaimer, mCopyLog, mCopyLine}) a->setEnabled(c.menu);
  if (!running) ProgressBar->resetFormat();
}

void TpixelTuck_Form::StopJob() {
  if (jobRunning_) stopRequested_ = true;
}

void TpixelTuck_Form::RememberFolderOf(const std::string& file) {
  if (file.empty()) return;
  lastFolder_ = pt::gui::ProgramText(QFileInfo(pt::gui::QtText(file)).absolutePath());
}

std::optional<std::string> TpixelTuck_Form::DroppableFile(const QMimeData* mime) const {
  if (!mime || !mime->hasUrls()) return std::nullopt;
  const QList<QUrl> urls = mime->urls();
  const bool local = urls.size() == 1 && urls.front().isLocalFile();
  const QString path = local ? urls.front().toLocalFile() : QString();
  if (!pt::window::TakesDroppedFile(static_cast<int>(urls.size()), local && QFileInfo(path).isFile(),
                                    jobRunning_, mOpen->isEnabled()))
    return std::nullopt;
  return pt::gui::ProgramText(path);
}

void TpixelTuck_Form::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppableFile(event->mimeData())) event->acceptProposedAction();
}

void TpixelTuck_Form::dropEvent(QDropEvent* event) {
  const std::optional<std::string> file = DroppableFile(event->mimeData());
  if (!file) return;
  event->acceptProposedAction();
  // A dropped file is taken as if chosen in the file dialog. The job runs
  // once the drop has been answered, so that the program the file came
  // from is not kept waiting for the whole job.
  QTimer::singleShot(0, this, [this, path = *file] {
    if (jobRunning_ || !mOpen->isEnabled()) return;
    droppedFile_ = path;
    Guarded([this] { RunJob(false); });
    droppedFile_.reset();
  });
}

void TpixelTuck_Form::mOpenClick() {
  // While a job runs the button reads "Stop".
  if (jobRunning_) {
    StopJob();
    return;
  }
  // Refused disclaimer: the command stays off for the run, however reached.
  if (!mOpen->isEnabled()) return;
  Guarded([this] { RunJob(false); });
}

void TpixelTuck_Form::mOptionsClick() {
  Guarded([this] {
    OptionsForm->ShowSettings(settings_);
    const TOptionsForm::ControlState before = OptionsForm->CaptureState();
    if (dialogs_.Exec(*OptionsForm) == QDialog::Accepted) {
      OptionsForm->ReadSettings(settings_);
    } else {
      OptionsForm->RestoreState(before);
    }
  });
}

void TpixelTuck_Form::mExitClick() { close(); }

void TpixelTuck_Form::Info1Click() { dialogs_.About(this, pt::window::AboutText()); }

void TpixelTuck_Form::mDisclaimerClick() {
  Guarded([this] {
    if (jobRunning_) return;
    StartupHost host(*this);
    if (pt::window::AcceptDisclaimerAgain(settings_, host)) {
      bbOpen->setEnabled(true);
      mOpen->setEnabled(true);
    }
  });
}

void TpixelTuck_Form::ListBoxDblClick() { CopyLogToClipboard(); }

bool TpixelTuck_Form::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox->viewport() && event->type() == QEvent::MouseButtonDblClick)
    ListBoxDblClick();
  if (watched == windowHandle() && event->type() == QEvent::Expose &&
      windowHandle()->isExposed() && firstActivation_ && !activationQueued_) {
    activationQueued_ = true;
    windowHandle()->removeEventFilter(this);
    // Queued behind the paint that this expose brings.
    QTimer::singleShot(0, this, &TpixelTuck_Form::FormActivate);
  }
  return QMainWindow::eventFilter(watched, event);
}

void TpixelTuck_Form::closeEvent(QCloseEvent* event) {
  if (jobRunning_ || firstActivation_) {
    // Acted on when the job returns (the job stops at its next block,
    // removes what it had begun and logs that it was interrupted), or once
    // the start-up has loaded the settings: saving the window's creation
    // state would overwrite the user's file.
    closeRequested_ = true;
    event->ignore();
    return;
  }
  if (!pt::SaveSettings(settings_, configPath_)) {
    ShowMessage(pt::MsgKind::Error, pt::SaveSettingsFailedMessage(configPath_),
                pt::MsgButtons::Ok);
  }
  pt::gui::KeepClipboardAfterExit();
  event->accept();
}

// ---------------------------------------------------------------------------
// JobUi

void TpixelTuck_Form::ClearLog() {
  ListBox->clear();
  ShowLogEnd();
}

void TpixelTuck_Form::AddLogLine(const std::string& line) {
  auto* item = new QListWidgetItem(pt::gui::QtText(line));
  item->setToolTip(item->text());  // the whole line, also when elided
  ListBox->addItem(item);
  ShowLogEnd();
}

void TpixelTuck_Form::ShowLogEnd() {
  const int first = pt::window::FirstVisibleLogLine(ListBox->count(), ListBox->height());
  // The list lays new rows out lazily (after the job, left to itself), and
  // the scroll range follows the item count only after a layout pass: lay
  // them out now, so that the scroll and the repaint show them.
  ListBox->doItemsLayout();
  ListBox->verticalScrollBar()->setValue(first);
  ListBox->viewport()->repaint();
  if (jobRunning_) KeepAlive(false);
}

int TpixelTuck_Form::FirstVisibleLine() const {
  return ListBox->verticalScrollBar()->value();
}

pt::ProgressBar& TpixelTuck_Form::Progress() { return *bar_; }

void TpixelTuck_Form::Working(pt::JobPhase phase, std::int64_t, std::int64_t) {
  ProgressBar->setFormat(QString::fromStdString(pt::window::PhaseCaption(phase)) +
                         QStringLiteral(" %p%"));
  // Bulk work has begun, so the job has its key bytes.
  if (keyInDialog_) {
    Password_Form->WipeFields();
    keyInDialog_ = false;
  }
  KeepAlive(false);
}

bool TpixelTuck_Form::StopRequested() { return closeRequested_ || stopRequested_; }

void TpixelTuck_Form::SetBusyCursor(bool busy) {
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

pt::MsgAnswer TpixelTuck_Form::ShowMessage(pt::MsgKind kind, const std::string& text,
                                           pt::MsgButtons buttons) {
  // The hourglass would hide that the box waits for the user.
  const bool wasBusy = busy_;
  SetBusyCursor(false);
  QWidget* parent = isVisible() ? this : nullptr;
  const pt::MsgAnswer answer = dialogs_.Message(parent, kind, text, buttons);
  SetBusyCursor(wasBusy);
  return answer;
}

pt::KeyReply TpixelTuck_Form::RequestKey(const pt::KeyRequest& request) {
  const bool wasBusy = busy_;
  SetBusyCursor(false);
  Password_Form->maskInput = request.maskInput;
  if (request.applyKeyMode) Password_Form->ApplyKeyMode();
  pt::KeyReply reply;
  reply.ok = dialogs_.Exec(*Password_Form) == QDialog::Accepted;
  reply.hexMode = Password_Form->HexMode();
  reply.text = Password_Form->KeyText();
  keyInDialog_ = true;
  SetBusyCursor(wasBusy);
  return reply;
}

void TpixelTuck_Form::HidePreview() { Image->hide(); }

bool TpixelTuck_Form::ShowCarrierWanted() const { return cbShow->isChecked(); }

void TpixelTuck_Form::ShowPreview(const std::string& path) {
  if (!cbShow->isChecked()) return;
  const QString file = pt::gui::QtText(path);
  const QFileInfo info(file);
  const long long size = info.exists() && info.isFile() ? info.size() : -1;
  if (size > pt::window::kMaxPreviewBytes) {
    ShowMessage(pt::MsgKind::Warning, pt::window::kPreviewTooLarge, pt::MsgButtons::Ok);
    return;
  }
  const int W = iPanel->width() - 5;
  const int H = iPanel->height() - 5;
  Image->setGeometry(2, 2, W, H);
  Image->hide();
  Image->setScaledContents(true);

  QImageReader reader(file);
  reader.setDecideFormatFromContent(true);
  // Only bitmaps are shown; any other picture type counts as empty.
  if (reader.format() != "bmp") return;
  const QImage picture = reader.read();
  if (picture.isNull()) return;
  pictureSize_ = picture.size();
  const QRect place = ToRect(pt::window::PreviewPlace(iPanel->width(), iPanel->height(),
                                                      picture.width(), picture.height()));
  if (place.isEmpty()) return;
  Image->setPixmap(QPixmap::fromImage(picture));
  Image->setGeometry(place);
  Image->show();
}

void TpixelTuck_Form::PlacePreview() {
  if (Image->isHidden() || pictureSize_.isEmpty()) return;
  Image->setGeometry(ToRect(pt::window::PreviewPlace(iPanel->width(), iPanel->height(),
                                                     pictureSize_.width(),
                                                     pictureSize_.height())));
}

void TpixelTuck_Form::CopyLogToClipboard() {
  QString text;
  for (int i = 0; i < ListBox->count(); ++i)
    text += ListBox->item(i)->text() + QStringLiteral("\r\n");
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(text);
  QApplication::beep();
}

std::optional<std::string> TpixelTuck_Form::ChooseFile() {
  std::optional<std::string> file;
  if (droppedFile_) {
    file.swap(droppedFile_);
  } else {
    file = dialogs_.OpenFile(this, lastFolder_);
  }
  if (file) RememberFolderOf(*file);
  return file;
}
