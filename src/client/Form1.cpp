#include "client/Form1.h"

#include <QEvent>
#include <QPainter>
#include <QWindowStateChangeEvent>

#include "client/KeepOnTop.h"
#include "common/LeadingNumber.h"
#include "common/NumberText.h"
#include "host/DoEvents.h"
#include "host/EventProcedure.h"
#include "platform/Ansi.h"
#include "protocol/Wire.h"
#include "settings/INI32.h"
#include "settings/SettingsFile.h"

namespace client {
namespace {

// The layouts of the administrator switch, as outer heights in twips.
constexpr float kAdministratorHeight = 3180;
constexpr float kRestrictedHeight = 1300;
const std::string kAccessValue = "JQ";

// The client area as designed, and the controls' common left edge and width (twips).
constexpr int kClientWidth = 1920;
constexpr int kClientHeight = 2670;
constexpr int kControlLeft = 120;
constexpr int kControlWidth = 1695;

std::string Setting(const std::string& section, const std::string& key, const std::string& value,
                    int16_t mode) {
    return INI32::ProfileSetting(section, key, value, kSettingsFile, mode);
}

// The key of a message button: its index as number text (" 0", " 1", " 2").
std::string ButtonKey(int16_t Index) {
    return NumberText(static_cast<int64_t>(Index));
}

// Text between the system (UTF-8 in std::string) and Qt's widgets.
QString QtText(const std::string& text) {
    return QString::fromStdString(text);
}
std::string TextOf(const QLineEdit& box) {
    return box.text().toStdString();
}

// A text box shows the start of its text, as it would after being typed into from the left.
void SetText(QLineEdit& box, const std::string& text) {
    box.setText(QtText(text));
    box.setCursorPosition(0);
}

QRect Twips(int left, int top, int width, int height) {
    return QRect(host::ToPixels(left), host::ToPixels(top), host::ToPixels(width),
                 host::ToPixels(height));
}

host::Link::Options LinkOptions(std::function<void(bool, const std::string&)> onOutcome) {
    host::Link::Options options;
    options.advice = "set ip and port under [ecran] in " + INI32::SettingsFilePath(kSettingsFile);
    options.onOutcome = std::move(onOutcome);
    return options;
}

// The grips for the width stand in the client area's margins, left and right of the
// controls (which keep 8 pixels clear on the left and 7 on the right).
constexpr int kGripPixels = kBorderPixels + 4;

}  // namespace

Form1::Form1(const host::UserControlFactory& makeSavePosition)
    : form_(*this, kBorderPixels + kCaptionPixels),
      W(LinkOptions([this](bool delivered, const std::string& words) {
          if (caption_ != nullptr) caption_->Mark().Show(delivered, words);
      })) {
    setObjectName("Form1");
    setWindowTitle("Afficheur");
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    // Never narrower than designed, as a window manager's frame would hold it: a record with
    // no width would otherwise leave the window unseen, and the keeper would keep it so.
    setMinimumWidth(host::ToPixels(kClientWidth) + 2 * kBorderPixels);
    resize(host::ToPixels(kClientWidth) + 2 * kBorderPixels,
           host::ToPixels(kClientHeight) + kCaptionPixels + 2 * kBorderPixels);
    // The cash register keeps the keyboard: the window never takes it when it appears. Set
    // before the native window exists, which copies it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    CreateControls(makeSavePosition);
    winId();  // the window exists, with its handle, when its load handler runs
    host::RunEventProcedure("Form_Load", [this] { Form_Load(); });
}

Form1::~Form1() = default;

void Form1::CreateControls(const host::UserControlFactory& makeSavePosition) {
    caption_ = new CaptionStrip(*this);
    client_ = new QWidget(this);
    client_->setObjectName("ClientArea");
    client_->setAutoFillBackground(true);
    // Made after the client area, so that they lie above its edges.
    leftEdge_ = new EdgeGrip(*this, Qt::LeftEdge);
    rightEdge_ = new EdgeGrip(*this, Qt::RightEdge);
    LayOutFrame();

    const std::array<int, 3> tops = {120, 360, 600};
    for (int16_t index = 0; index < 3; ++index) {
        Command1[index] = new QPushButton("Command1", client_);
        Command1[index]->setObjectName(QString("Command1_%1").arg(index));
        Command1[index]->setGeometry(Twips(kControlLeft, tops[index], kControlWidth, 255));
        connect(Command1[index], &QPushButton::clicked, this, [this, index] {
            Press("Command1_Click", [this, index] { Command1_Click(index); });
        });
    }
    Text1 = new QLineEdit("Text1", client_);
    Text1->setObjectName("Text1");
    Text1->setGeometry(Twips(kControlLeft, 960, kControlWidth, 375));
    Command2 = new QPushButton("Changement Texte", client_);
    Command2->setObjectName("Command2");
    Command2->setGeometry(Twips(kControlLeft, 1440, kControlWidth, 255));
    connect(Command2, &QPushButton::clicked, this,
            [this] { Press("Command2_Click", [this] { Command2_Click(); }); });
    text2 = new QLineEdit("Text2", client_);
    text2->setObjectName("text2");
    text2->setGeometry(Twips(kControlLeft, 1800, kControlWidth, 375));
    Command3 = new QPushButton("Nom de Caisse", client_);
    Command3->setObjectName("Command3");
    Command3->setGeometry(Twips(kControlLeft, 2280, kControlWidth, 315));
    connect(Command3, &QPushButton::clicked, this,
            [this] { Press("Command3_Click", [this] { Command3_Click(); }); });

    setTabOrder(Command1[0], Command1[1]);
    setTabOrder(Command1[1], Command1[2]);
    setTabOrder(Command1[2], Text1);
    setTabOrder(Text1, Command2);
    setTabOrder(Command2, text2);
    setTabOrder(text2, Command3);

    if (makeSavePosition) {
        savePosition_ = std::make_unique<host::UserControlHost>(client_, &form_, kPositionKeeper);
        savePosition_->setGeometry(Twips(0, 0, 105, 105));
        // The keeper's properties as saved with the form; Form_Load replaces both.
        host::MemoryPropertyBag stored(std::map<std::string, std::string>{
            {"FichierINI", "QUORIX_Affich_client.ini"}, {"Section", "Form1"}});
        savePosition_->Load(makeSavePosition, stored);
    }
}

host::UserControl* Form1::Controls(const std::string& name) const {
    if (savePosition_ && platform::EqualNoCase(name, savePosition_->Name())) {
        return savePosition_->Control();
    }
    return nullptr;
}

void Form1::Form_Load() {
    StartPositionKeeper();
    for (int16_t index = 0; index < 3; ++index) {
        Command1[index]->setText(QtText(Setting("boutons", ButtonKey(index), "Erreur", 1)));
    }
    SetText(*Text1, Setting("deroulant", "texte", "", 2));
    SetText(*text2, Setting("NomCaisse", "texte", "Caisse", 2));
    KeepOnTop(static_cast<int32_t>(form_.hWnd()), true);
}

void Form1::StartPositionKeeper() {
    // INIT(Fenetre, FichierINI, Section_INI), called by name, under its own guard: a record
    // the window refuses (a state code out of range, a negative size) is logged, and the load
    // goes on to fill the captions and boxes. A window made without a keeper starts where the
    // window manager puts it.
    host::UserControl* keeper = Controls(kPositionKeeper);
    if (keeper == nullptr) return;
    host::RunEventProcedure("SavePosition.INIT", [&] {
        keeper->CallByName("INIT", {static_cast<host::Form*>(&form_), std::string(kSettingsFile),
                                    std::string("PositionFenetre")});
    });
}

void Form1::Form_Resize() {
    const std::string value = Setting("system", "admin", kAccessValue, 2);
    if (value == kAccessValue) {
        SetOuterHeight(kAdministratorHeight);
    } else {
        SetOuterHeight(kRestrictedHeight);
        Text1->setEnabled(false);
        Command2->setEnabled(false);
    }
}

void Form1::SetOuterHeight(float twips) {
    if (form_.WindowState() == host::kStateNormal) form_.SetHeight(twips);
}

void Form1::ConnectToDisplay() {
    const std::string host = Setting("ecran", "ip", "", 2);
    const std::string port = Setting("ecran", "port", "0", 2);
    W.Connect(host, LeadingNumber(port));
}

void Form1::Command1_Click(int16_t Index) {
    ConnectToDisplay();
    W.SendData(Setting("boutons", ButtonKey(Index), "Erreur", 1));
    W.Close();
    host::DoEvents();
    ConnectToDisplay();
    W.SendData(protocol::ComposeText(protocol::Kind::Colour,
                                     Setting("boutons", ButtonKey(Index) + " couleur", "0", 2)));
    W.Close();
}

void Form1::Command2_Click() {
    ConnectToDisplay();
    W.SendData(protocol::ComposeText(protocol::Kind::Scroll, TextOf(*Text1)));
    W.Close();
    Setting("deroulant", "texte", TextOf(*Text1), 0);
}

void Form1::Command3_Click() {
    ConnectToDisplay();
    W.SendData(protocol::ComposeText(protocol::Kind::Register, TextOf(*text2)));
    W.Close();
    Setting("NomCaisse", "texte", TextOf(*text2), 0);
}

void Form1::RunFormResize() {
    host::RunEventProcedure("Form_Resize", [this] { Form_Resize(); });
}

void Form1::Press(const char* procedure, std::function<void()> body) {
    waitingPresses_.push_back({procedure, std::move(body)});
    if (pressing_) return;
    pressing_ = true;
    while (!waitingPresses_.empty()) {
        WaitingPress next = std::move(waitingPresses_.front());
        waitingPresses_.pop_front();
        host::RunEventProcedure(next.procedure, next.body);
    }
    pressing_ = false;
}

void Form1::resizeEvent(QResizeEvent*) {
    LayOutFrame();
    RunFormResize();
    // A height set before the window is first shown raises no further resize event.
    LayOutFrame();
}

void Form1::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        caption_->update();
    } else if (event->type() == QEvent::WindowStateChange) {
        caption_->FollowWindow();
        // A window that comes back from minimized to the normal state gets no resize event
        // on X11 (a minimized window keeps its size there), so the administrator switch runs
        // here, as at a resize, once the state change is done. (From maximized, the window
        // manager's resize follows and runs it.)
        const Qt::WindowStates sized =
            Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if (!(windowState() & sized) && (change->oldState() & Qt::WindowMinimized)) {
            QMetaObject::invokeMethod(
                this, [this] { RunFormResize(); }, Qt::QueuedConnection);
        }
    }
}

void Form1::LayOutFrame() {
    const int clientTop = kBorderPixels + kCaptionPixels;
    const int clientHeight = std::max(0, height() - kCaptionPixels - 2 * kBorderPixels);
    client_->setGeometry(kBorderPixels, clientTop, std::max(0, width() - 2 * kBorderPixels),
                         clientHeight);
    caption_->setGeometry(kBorderPixels, kBorderPixels, std::max(0, width() - 2 * kBorderPixels),
                          kCaptionPixels);
    leftEdge_->setGeometry(0, clientTop, kGripPixels, clientHeight);
    rightEdge_->setGeometry(width() - kGripPixels, clientTop, kGripPixels, clientHeight);
}

void Form1::paintEvent(QPaintEvent*) {
    // The border; the caption strip and the client area paint themselves.
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
}

}  // namespace client
