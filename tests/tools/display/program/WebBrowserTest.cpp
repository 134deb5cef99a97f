// afficheur-display --http opened in a real browser: Debian's chromium, headless, driven over
// its DevTools protocol on a pipe (no port of its own). Messages go to the display as the
// client sends them; the page is read through the browser's own document.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "LayoutRuleTable.h"
#include "QrReader.h"
#include "WebTestSupport.h"
#include "board/Palette.h"
#include "support/TempFolder.h"
#include "support/ToolSkip.h"

namespace {

using namespace displaytest;
using namespace webtest;
using displaytest::HaveQrReader;
using displaytest::kZbarimg;
using displaytest::ReadQrCodeIn;

constexpr const char* kChromium = "/usr/bin/chromium";

// Run in each document before its own scripts: keeps what its policy blocks.
const QString kWatchPolicy = QStringLiteral(R"JS(
window.policyViolations = [];
document.addEventListener("securitypolicyviolation", (e) => {
  window.policyViolations.push(e.violatedDirective + " " + (e.blockedURI || "inline"));
});
)JS");

// A headless chromium with a new empty profile, spoken to over --remote-debugging-pipe:
// commands go in on its fd 3, answers and events come out on its fd 4, one JSON text each,
// ended by a NUL. Closes the browser when destroyed.
class Browser {
  public:
    explicit Browser(const std::filesystem::path& profile) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::setpgid(0, 0);  // its helpers go with it
            const int commands = ::fcntl(in[0], F_DUPFD_CLOEXEC, 10);
            const int answers = ::fcntl(out[1], F_DUPFD_CLOEXEC, 10);
            ::dup2(commands, 3);
            ::dup2(answers, 4);
            const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
            std::vector<std::string> args = {kChromium,
                                             "--headless",
                                             "--no-sandbox",
                                             "--disable-gpu",
                                             "--disable-quic",
                                             "--no-first-run",
                                             "--disable-background-networking",
                                             "--disable-component-update",
                                             "--disable-sync",
                                             "--user-data-dir=" + profile.string(),
                                             "--window-size=1280,720",
                                             "--hide-scrollbars",
                                             "--remote-debugging-pipe",
                                             "about:blank"};
            std::vector<char*> argv;
            for (auto& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(kChromium, argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }

    ~Browser() {
        if (pid_ > 0) {
            Call("Browser.close", {}, {}, milliseconds(5000));
            const auto deadline = Clock::now() + milliseconds(10000);
            bool ended = false;
            while (!ended && Clock::now() < deadline) {
                ended = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
                if (!ended) ::usleep(20000);
            }
            if (!ended) {
                ::kill(-pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
            }
        }
        if (to_ >= 0) ::close(to_);
        if (from_ >= 0) ::close(from_);
    }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    // Sends one command and returns its answer's result; an empty object when no answer comes
    // in time or the answer is an error (then error() says what).
    QJsonObject Call(const QString& method, const QJsonObject& params = {},
                     const QString& session = {}, milliseconds within = kPatience) {
        QJsonObject command{{"id", ++lastId_}, {"method", method}, {"params", params}};
        if (!session.isEmpty()) command.insert("sessionId", session);
        QByteArray bytes = QJsonDocument(command).toJson(QJsonDocument::Compact);
        bytes.append('\0');
        if (::write(to_, bytes.constData(), static_cast<std::size_t>(bytes.size())) != bytes.size())
            return {};
        const auto deadline = Clock::now() + within;
        for (;;) {
            const auto end = buffer_.indexOf('\0');
            if (end >= 0) {
                const QJsonObject answer = QJsonDocument::fromJson(buffer_.left(end)).object();
                buffer_.remove(0, end + 1);
                if (answer.value("id").toInt() != lastId_) continue;  // an event, or late
                error_ = answer.value("error").toObject().value("message").toString();
                return answer.value("result").toObject();
            }
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return {};
            pollfd p{from_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            char chunk[65536];
            const auto n = ::read(from_, chunk, sizeof chunk);
            if (n <= 0) return {};
            buffer_.append(chunk, n);
        }
    }

    // Opens url in a new tab and keeps talking to it. What the page's Content-Security-Policy
    // blocks is kept in the page's window.policyViolations, from before its first line runs.
    bool Open(const QString& url) {
        const QString target =
            Call("Target.createTarget", {{"url", "about:blank"}}).value("targetId").toString();
        session_ = Call("Target.attachToTarget", {{"targetId", target}, {"flatten", true}})
                       .value("sessionId")
                       .toString();
        if (session_.isEmpty()) return false;
        Call("Page.enable", {}, session_);
        Call("Page.addScriptToEvaluateOnNewDocument", {{"source", kWatchPolicy}}, session_);
        return !Call("Page.navigate", {{"url", url}}, session_)
                    .value("frameId")
                    .toString()
                    .isEmpty();
    }

    // The value of a script that returns JSON text, run in the tab, parsed.
    QJsonObject Read(const QString& script) {
        const QJsonObject result =
            Call("Runtime.evaluate", {{"expression", script}, {"returnByValue", true}}, session_);
        return QJsonDocument::fromJson(
                   result.value("result").toObject().value("value").toString().toUtf8())
            .object();
    }

    // Runs a script in the tab, for its effect.
    // Gives the page a window of width x height (CSS pixels, scale 1, not a phone).
    void Resize(int width, int height) {
        Call(QStringLiteral("Emulation.setDeviceMetricsOverride"),
             {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", false}},
             session_);
    }

    void Run(const QString& script) {
        Call("Runtime.evaluate", {{"expression", script}}, session_);
    }

    // Reads the page until check holds for what it reads, or the time runs out; returns the
    // last reading.
    QJsonObject ReadUntil(const QString& script,
                          const std::function<bool(const QJsonObject&)>& check,
                          milliseconds within = kPatience) {
        const auto deadline = Clock::now() + within;
        QJsonObject seen = Read(script);
        while (!check(seen) && Clock::now() < deadline) {
            ::usleep(100000);
            seen = Read(script);
        }
        return seen;
    }

    // A PNG of the tab as it is.
    QByteArray Screenshot() {
        return QByteArray::fromBase64(Call("Page.captureScreenshot", {{"format", "png"}}, session_)
                                          .value("data")
                                          .toString()
                                          .toLatin1());
    }

    bool started() const { return pid_ > 0 && to_ >= 0; }
    const QString& error() const { return error_; }

  private:
    pid_t pid_ = -1;
    int to_ = -1;
    int from_ = -1;
    int lastId_ = 0;
    QByteArray buffer_;
    QString session_;
    QString error_;
};

// What the page shows, read from its document: each text, the colour each is drawn in, and
// whether it is connected.
const QString kPageState = QStringLiteral(R"JS(
(() => {
  const $ = (id) => document.getElementById(id);
  const colour = (id) => getComputedStyle($(id)).color;
  return JSON.stringify({
    text: $("text").textContent,
    scroll: $("scroll").textContent,
    register: $("register").textContent,
    textColour: colour("text"),
    scrollColour: colour("scroll"),
    registerColour: colour("register"),
    outlined: getComputedStyle($("text")).textShadow !== "none",
    connected: $("link").hidden,
    marker: window.testMarker || 0,
    fits: $("text").scrollWidth <= $("stage").clientWidth,
    fontPx: parseFloat(getComputedStyle($("text")).fontSize),
    marqueeX: $("scroll").getBoundingClientRect().left,
    outside: performance.getEntriesByType("resource")
               .filter((e) => !e.name.startsWith(location.origin)).length,
    background: getComputedStyle(document.body).backgroundColor,
    violations: (window.policyViolations || ["not watched"]).join("; "),
  });
})()
)JS");

class WebBrowser : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access(kChromium, X_OK) != 0)
            SKIP_MISSING_TOOL(std::string(kChromium) + " is not installed");
    }

    // Opens the page of the display on httpPort and waits until it follows the board;
    // marks the document, so that a reload would show.
    void OpenPage(Browser& browser, uint16_t httpPort) {
        ASSERT_TRUE(browser.started());
        ASSERT_TRUE(browser.Open(QStringLiteral("http://127.0.0.1:%1/").arg(httpPort)))
            << browser.error().toStdString();
        const auto state = browser.ReadUntil(
            kPageState, [](const QJsonObject& s) { return s.value("connected").toBool(); });
        ASSERT_TRUE(state.value("connected").toBool());
        // The page's own script ran (it connected) and its own style applies, under a policy
        // that allows only those, by their hashes, and blocked nothing.
        EXPECT_EQ(state.value("background").toString().toStdString(), "rgb(0, 0, 0)");
        EXPECT_EQ(state.value("violations").toString().toStdString(), "");
        browser.Run(QStringLiteral("window.testMarker = 42"));
    }

    TempFolder folder_;
};

TEST_F(WebBrowser, ThePageFollowsTheBoardAsTheClientSendsItWithoutAReload) {
    Display display(WebArgs());
    const Ports ports = ReadPorts(display);
    Browser browser(folder_.path() / "profile");
    OpenPage(browser, ports.http);

    // Windows-1252 bytes, one connection each, as the client sends them.
    ASSERT_TRUE(SendMessage(ports.display, "Caf\xE9 12,50 \x80"));
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "1Soldes d'\xE9t\xE9 sur tout le rayon"));
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "3Caisse 1"));
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "212"));
    const auto shown = browser.ReadUntil(kPageState, [](const QJsonObject& s) {
        return s.value("textColour").toString() == "rgb(255, 0, 0)" &&
               s.value("register").toString() == "Caisse 1";
    });
    EXPECT_EQ(shown.value("text").toString(), QString::fromUtf8("Café 12,50 €"));
    EXPECT_EQ(shown.value("scroll").toString(),
              QString::fromUtf8("Soldes d'été sur tout le rayon"));
    EXPECT_EQ(shown.value("register").toString(), "Caisse 1");
    for (const char* key : {"textColour", "scrollColour", "registerColour"})
        EXPECT_EQ(shown.value(key).toString(), "rgb(255, 0, 0)") << key;
    EXPECT_EQ(shown.value("marker").toInt(), 42) << "the page was reloaded";
    // As large as fits: a short text on a 1280x720 page is far larger than body text.
    EXPECT_TRUE(shown.value("fits").toBool());
    EXPECT_GT(shown.value("fontPx").toDouble(), 60.0);
    EXPECT_EQ(shown.value("outside").toInt(-1), 0);

    // The marquee moves.
    const double before = shown.value("marqueeX").toDouble();
    const auto later = browser.ReadUntil(kPageState, [before](const QJsonObject& s) {
        return s.value("marqueeX").toDouble() < before - 20;
    });
    EXPECT_LT(later.value("marqueeX").toDouble(), before - 20);

    if (const char* path = std::getenv("AFFICHEUR_WEB_SCREENSHOT")) {
        // For the user's guide (docs/web-screenshot.png): once the marquee is well into the page.
        browser.ReadUntil(
            kPageState, [](const QJsonObject& s) { return s.value("marqueeX").toDouble() < 200; });
        QFile file(QString::fromLocal8Bit(path));
        if (file.open(QIODevice::WriteOnly)) file.write(browser.Screenshot());
    }

    // Every palette colour is drawn on a backdrop it can be read on (black, or the white plate
    // behind the dark ones): a contrast ratio of 4.5:1 or more, by the WCAG 2 formula.
    const QString contrast = QStringLiteral(R"JS(
(() => {
  const rgb = (text) => text.match(/\d+/g).slice(0, 3).map(Number);
  const luminance = (c) => c.map((v) => v / 255)
      .map((v) => v <= 0.04045 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4))
      .reduce((sum, v, i) => sum + v * [0.2126, 0.7152, 0.0722][i], 0);
  const text = rgb(getComputedStyle(document.getElementById("text")).color);
  const behind = rgb(getComputedStyle(document.body).backgroundColor);
  const a = luminance(text), b = luminance(behind);
  return JSON.stringify({
    colour: document.body.dataset.colour,
    ratio: (Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05),
    band: getComputedStyle(document.getElementById("band")).backgroundColor,
  });
})()
)JS");
    for (int index = 0; index < 16; ++index) {
        ASSERT_TRUE(SendMessage(ports.display,
                                "\xFF"
                                "2" +
                                    std::to_string(index)));
        const auto shown = browser.ReadUntil(contrast, [index](const QJsonObject& s) {
            return s.value("colour").toString() == QString::number(index);
        });
        EXPECT_GE(shown.value("ratio").toDouble(), 4.5) << "colour " << index;
        // The band lets the page's backdrop through.
        EXPECT_EQ(shown.value("band").toString().toStdString(), "rgba(0, 0, 0, 0)") << index;
    }

    // Black on its white plate; a colour past the palette changes nothing.
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "20"));
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "216"));
    ASSERT_TRUE(SendMessage(ports.display, "fin"));
    const auto dark = browser.ReadUntil(
        kPageState, [](const QJsonObject& s) { return s.value("text").toString() == "fin"; });
    EXPECT_EQ(dark.value("textColour").toString(), "rgb(0, 0, 0)");
    EXPECT_EQ(dark.value("background").toString(), "rgb(255, 255, 255)");
    EXPECT_EQ(dark.value("marker").toInt(), 42) << "the page was reloaded";
    // Fitting the text and running the marquee set styles from the script: not blocked.
    EXPECT_EQ(dark.value("violations").toString().toStdString(), "");
}

// The page's text size at a window size, and the largest size at which the text fits, found
// here on a copy of it that wraps at spaces within the stage's exact (fractional) width.
const QString kTextSizes = QStringLiteral(R"JS(
(() => {
  const stage = document.getElementById("stage");
  const text = document.getElementById("text");
  const style = getComputedStyle(stage);
  const inner = stage.getBoundingClientRect().width - parseFloat(style.paddingLeft) -
                parseFloat(style.paddingRight);
  const copy = text.cloneNode(true);
  copy.removeAttribute("id");
  Object.assign(copy.style, {position: "absolute", visibility: "hidden", whiteSpace: "pre-wrap",
                             width: inner + "px", fontWeight: "600", lineHeight: "1.1"});
  document.body.appendChild(copy);
  let low = 1, high = Math.max(2, stage.clientHeight);
  while (high - low > 1) {
    const size = Math.floor((low + high) / 2);
    copy.style.fontSize = size + "px";
    const fits = copy.scrollWidth <= copy.clientWidth &&
                 copy.getBoundingClientRect().height <= stage.clientHeight;
    if (fits) low = size; else high = size;
  }
  copy.remove();
  return JSON.stringify({
    text: text.textContent,
    page: parseFloat(getComputedStyle(text).fontSize),
    largest: low,
    width: window.innerWidth,
  });
})()
)JS");

TEST_F(WebBrowser, ALongTextIsAsLargeAsFitsAtEveryTabletSize) {
    Display display(WebArgs());
    const Ports ports = ReadPorts(display);
    Browser browser(folder_.path() / "profile");
    OpenPage(browser, ports.http);
    // 151 characters, and 50.
    const std::string texts[] = {
        "Bienvenue chez nous ! Aujourd'hui, remise de 20 % sur tous les fromages affin\xE9s "
        "et les vins de la r\xE9gion, jusqu'\xE0 la fermeture du magasin ce soir.",
        "Caf\xE9 cr\xE8me et croissant au beurre : 3,90 \x80 le matin",
    };
    struct Size {
        int width;
        int height;
    };
    const Size sizes[] = {{1280, 800}, {1920, 1080}, {1280, 720}, {1180, 820},
                          {360, 640},  {800, 1280},  {1024, 768}, {1366, 768}};
    for (const std::string& message : texts) {
        ASSERT_TRUE(SendMessage(ports.display, message));
        for (const Size& size : sizes) {
            SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + ", " +
                         std::to_string(message.size()) + " characters");
            browser.Resize(size.width, size.height);
            // The page fits its text on the resize event, a frame after the new size: the
            // reading waits for it, and the last one counts.
            const auto shown = browser.ReadUntil(kTextSizes, [&](const QJsonObject& s) {
                return s.value("width").toInt() == size.width &&
                       s.value("text").toString().size() > 40 &&
                       s.value("page").toDouble() >= 0.9 * s.value("largest").toDouble();
            });
            ASSERT_EQ(shown.value("width").toInt(), size.width);
            const double page = shown.value("page").toDouble();
            const double largest = shown.value("largest").toDouble();
            EXPECT_GE(page, 0.9 * largest) << "page " << page << " px, fits " << largest << " px";
        }
    }

    // On a narrow portrait screen an amount stays whole: the € never starts a line alone.
    ASSERT_TRUE(SendMessage(ports.display, "Total \xE0 payer 23,70 \x80 merci"));
    const QString amountLines = QStringLiteral(R"JS(
(() => {
  const amount = document.querySelector("#text .amount");
  return JSON.stringify({
    text: document.getElementById("text").textContent,
    amount: amount ? amount.textContent : "",
    lines: amount ? amount.getClientRects().length : 0,
  });
})()
)JS");
    for (const int width : {360, 300, 250}) {
        browser.Resize(width, 640);
        const auto shown = browser.ReadUntil(amountLines, [](const QJsonObject& s) {
            return s.value("amount").toString() == QString::fromUtf8("23,70 €");
        });
        EXPECT_EQ(shown.value("text").toString(), QString::fromUtf8("Total à payer 23,70 € merci"));
        EXPECT_EQ(shown.value("amount").toString(), QString::fromUtf8("23,70 €")) << width;
        EXPECT_EQ(shown.value("lines").toInt(), 1) << width;
    }
}

TEST_F(WebBrowser, ASaleShowsItsItemsOnTheLeftAndItsAmountsOnTheRight) {
    Display display(WebArgs());
    const Ports ports = ReadPorts(display);
    Browser browser(folder_.path() / "profile");
    OpenPage(browser, ports.http);
    ASSERT_TRUE(SendMessage(ports.display, "Caf\xE9 cr\xE8me\t2,40 \x80\nTOTAL\t23,70 \x80"));
    const QString columns = QStringLiteral(R"JS(
(() => {
  const stage = document.getElementById("stage").getBoundingClientRect();
  const rows = [...document.querySelectorAll("#text .row")];
  const edges = rows.map((row) => {
    const [item, amount] = row.children;
    return {left: item.getBoundingClientRect().left,
            right: amount ? amount.getBoundingClientRect().right : -1,
            item: item.textContent, amount: amount ? amount.textContent : ""};
  });
  return JSON.stringify({
    rows: edges.length,
    items: edges.map((e) => e.item).join("|"),
    amounts: edges.map((e) => e.amount).join("|"),
    leftSpread: Math.max(...edges.map((e) => e.left)) - Math.min(...edges.map((e) => e.left)),
    rightSpread: Math.max(...edges.map((e) => e.right)) - Math.min(...edges.map((e) => e.right)),
    rightGap: stage.right - Math.max(...edges.map((e) => e.right)),
    stageWidth: stage.width,
    fontPx: parseFloat(getComputedStyle(document.getElementById("text")).fontSize),
  });
})()
)JS");
    struct Size {
        int width;
        int height;
    };
    for (const Size size : {Size{1280, 800}, Size{800, 1280}, Size{360, 640}}) {
        const int width = size.width;
        browser.Resize(size.width, size.height);
        const auto shown = browser.ReadUntil(columns, [width](const QJsonObject& s) {
            // The page fits its text a frame after the new size: the last reading counts.
            return s.value("rows").toInt() == 2 && s.value("stageWidth").toDouble() <= width &&
                   s.value("rightSpread").toDouble() < 1.0;
        });
        SCOPED_TRACE(width);
        EXPECT_EQ(shown.value("items").toString(), QString::fromUtf8("Café crème|TOTAL"));
        EXPECT_EQ(shown.value("amounts").toString(), QString::fromUtf8("2,40 €|23,70 €"));
        EXPECT_LT(shown.value("leftSpread").toDouble(), 1.0) << "items not on one left edge";
        EXPECT_LT(shown.value("rightSpread").toDouble(), 1.0) << "amounts not on one right edge";
        // The amounts end at the stage's right edge (its padding aside).
        EXPECT_LT(shown.value("rightGap").toDouble(), 0.05 * width);
        EXPECT_GT(shown.value("fontPx").toDouble(), 0.05 * std::min(size.width, size.height));
    }
}

// A sale on the page as on the window: its total on rows of its own at the bottom, one and a
// half times the items' height; items never smaller than a twelfth of the stage a row, the
// latest shown under a mark that counts the others; nothing cut at the stage's edges. Measured
// on Chromium's boxes, on a tablet in landscape and in portrait and on a phone; a screenshot of
// each size is kept in the test's folder as sale-WxH.png.
TEST_F(WebBrowser, ASaleShowsItsTotalApartAndStaysReadableOnEveryScreen) {
    std::vector<std::string> args = WebArgs();
    args.insert(args.end(), {"--encoding", "utf-8"});
    Display display(args);
    const Ports ports = ReadPorts(display);
    Browser browser(folder_.path() / "profile");
    OpenPage(browser, ports.http);
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "3Caisse N\xC2\xBA 3"));
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "1Soldes d'hiver -20 %"));
    const QString rows = QStringLiteral(R"JS(
(() => {
  const stage = document.getElementById("stage").getBoundingClientRect();
  const all = [...document.querySelectorAll("#text .row")];
  const box = (row) => row.getBoundingClientRect();
  const items = all.filter((r) => !r.classList.contains("total") && !r.classList.contains("mark"));
  const totals = all.filter((r) => r.classList.contains("total"));
  const mark = all.find((r) => r.classList.contains("mark"));
  return JSON.stringify({
    count: items.length,
    last: items.length ? items[items.length - 1].children[0].textContent : "",
    mark: mark ? mark.textContent : "",
    totals: totals.length,
    itemHeight: items.length ? box(items[0]).height : 0,
    totalHeight: totals.length ? box(totals[0]).height : 0,
    stageHeight: stage.height,
    top: Math.min(...all.map((r) => box(r).top)) - stage.top,
    bottom: stage.bottom - Math.max(...all.map((r) => box(r).bottom)),
    overflow: all.some((r) => r.scrollWidth > r.clientWidth + 1),
    width: window.innerWidth,
  });
})()
)JS");
    struct Sale {
        const char* name;
        int items;
        bool change;
    };
    const Sale sales[] = {{"a total alone", 0, false},
                          {"2 items", 2, false},
                          {"40 items and the change due", 40, true},
                          {"15 items", 15, false}};
    struct Size {
        int width;
        int height;
    };
    for (const Size size : {Size{1280, 800}, Size{800, 1280}, Size{360, 640}}) {
        browser.Resize(size.width, size.height);
        for (const Sale& sale : sales) {
            SCOPED_TRACE(std::string(sale.name) + " at " + std::to_string(size.width) + "x" +
                         std::to_string(size.height));
            std::string text;
            for (int i = 1; i <= sale.items; ++i)
                text += (i > 1 ? "\n" : "") + std::string("Article ") + std::to_string(i) + "\t" +
                        std::to_string(i) + ",00 \xE2\x82\xAC";
            ASSERT_TRUE(SendMessage(ports.display, text));
            const std::string total = std::string("TOTAL\t99,00 \xE2\x82\xAC") +
                                      (sale.change ? "\nRendu\t1,00 \xE2\x82\xAC" : "");
            ASSERT_TRUE(SendMessage(ports.display,
                                    "\xFF"
                                    "4" +
                                        total));
            const std::string last = sale.items ? "Article " + std::to_string(sale.items) : "";
            const auto shown = browser.ReadUntil(rows, [&](const QJsonObject& s) {
                return s.value("width").toInt() == size.width &&
                       s.value("totals").toInt() == (sale.change ? 2 : 1) &&
                       s.value("last").toString().toStdString() == last &&
                       s.value("bottom").toDouble() >= -1;
            });
            const double stage = shown.value("stageHeight").toDouble();
            EXPECT_EQ(shown.value("last").toString().toStdString(), last) << "the latest item";
            if (sale.items > 0) {
                EXPECT_GE(shown.value("itemHeight").toDouble(), stage / 12 - 1) << "rows too small";
                EXPECT_GE(shown.value("totalHeight").toDouble(),
                          1.5 * shown.value("itemHeight").toDouble() - 1)
                    << "the total is not set apart";
            }
            const int count = shown.value("count").toInt();
            if (count < sale.items) {
                EXPECT_EQ(shown.value("mark").toString(),
                          QStringLiteral("+ %1 articles").arg(sale.items - count));
            } else {
                EXPECT_EQ(shown.value("mark").toString(), "");
            }
            EXPECT_GE(shown.value("top").toDouble(), -1) << "rows above the stage";
            EXPECT_GE(shown.value("bottom").toDouble(), -1) << "rows below the stage";
            EXPECT_FALSE(shown.value("overflow").toBool()) << "a row cut at the edge";
        }
        QFile file(
            QString::fromStdString((folder_.path() / ("sale-" + std::to_string(size.width) + "x" +
                                                      std::to_string(size.height) + ".png"))
                                       .string()));
        if (file.open(QIODevice::WriteOnly)) file.write(browser.Screenshot());
        if (const char* keep = std::getenv("AFFICHEUR_KEEP_SCREENSHOTS")) {
            QFile::copy(file.fileName(),
                        QString::fromUtf8(keep) + "/" + QFileInfo(file.fileName()).fileName());
        }
    }
}

// The lines the page shows of its text, top first, found from where each character is drawn
// (a sale's row as its item, a TAB and its amount), and the other parts of the board.
const QString kRuleState = QStringLiteral(R"JS(
(() => {
  const $ = (id) => document.getElementById(id);
  const text = $("text");
  let lines = [];
  if (text.classList.contains("sale")) {
    lines = [...text.querySelectorAll(".row")]
              .map((row) => [...row.children].map((part) => part.textContent).join("\t"));
  } else {
    let top = null;
    const walker = document.createTreeWalker(text, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      for (let i = 0; i < node.length; ++i) {
        if (node.data[i] === "\n" || node.data[i] === "\r") continue;
        const range = document.createRange();
        range.setStart(node, i);
        range.setEnd(node, i + 1);
        const box = range.getClientRects()[0];
        if (!box) continue;
        if (top === null || box.top > top + box.height / 2) {
          lines.push("");
          top = box.top;
        }
        lines[lines.length - 1] += node.data[i];
      }
    }
  }
  return JSON.stringify({
    lines,
    text: text.textContent,
    register: $("register").textContent,
    scroll: $("scroll").textContent,
    band: !$("band").hidden,
    colour: document.body.dataset.colour,
    plate: document.body.classList.contains("plate"),
    textColour: getComputedStyle(text).color,
    width: window.innerWidth,
  });
})()
)JS");

// The layout rule's table on the page, on a tablet in landscape and a phone in portrait.
TEST_F(WebBrowser, TheLayoutRuleOnThePage) {
    std::vector<std::string> args = WebArgs();
    args.insert(args.end(), {"--encoding", "utf-8"});
    Display display(args);
    const Ports ports = ReadPorts(display);
    Browser browser(folder_.path() / "profile");
    OpenPage(browser, ports.http);
    struct Size {
        int width;
        int height;
    };
    for (const Size size : {Size{1280, 800}, Size{360, 640}}) {
        browser.Resize(size.width, size.height);
        for (const ruletable::Row& row : ruletable::Rows()) {
            SCOPED_TRACE(std::string(row.name) + " at " + std::to_string(size.width) + "x" +
                         std::to_string(size.height));
            const display::Board& board = row.board;
            ASSERT_TRUE(SendMessage(ports.display,
                                    "\xFF"
                                    "3" +
                                        board.registerName));
            ASSERT_TRUE(SendMessage(ports.display,
                                    "\xFF"
                                    "1" +
                                        board.scroll));
            ASSERT_TRUE(SendMessage(ports.display,
                                    "\xFF"
                                    "2" +
                                        std::to_string(board.colour)));
            ASSERT_TRUE(SendMessage(ports.display, board.text));
            if (!board.total.empty()) {
                ASSERT_TRUE(SendMessage(ports.display,
                                        "\xFF"
                                        "4" +
                                            board.total));
            }
            const std::string laidOut = ruletable::SaleText(board);
            std::string content;  // the text's characters as the page holds them
            for (const char c : laidOut)
                if (laidOut.find('\t') == std::string::npos || (c != '\t' && c != '\n'))
                    content += c;
            const auto linesOf = [](const QJsonObject& s) {
                std::vector<std::string> lines;
                for (const auto& line : s.value("lines").toArray())
                    lines.push_back(line.toString().toStdString());
                return lines;
            };
            // The page fits its text a frame after a new size: the reading waits for the rule.
            const auto shown = browser.ReadUntil(kRuleState, [&](const QJsonObject& s) {
                return s.value("text").toString().toStdString() == content &&
                       s.value("register").toString().toStdString() == board.registerName &&
                       s.value("scroll").toString().toStdString() == board.scroll &&
                       s.value("colour").toString() == QString::number(board.colour) &&
                       s.value("width").toInt() == size.width &&
                       ruletable::BreaksTheRule(ruletable::SaleText(board), linesOf(s)).empty();
            });
            ASSERT_EQ(shown.value("text").toString().toStdString(), content);
            EXPECT_EQ(ruletable::BreaksTheRule(ruletable::SaleText(board), linesOf(shown)), "")
                << ::testing::PrintToString(linesOf(shown));
            EXPECT_EQ(shown.value("register").toString().toStdString(), board.registerName);
            EXPECT_EQ(shown.value("band").toBool(), !board.scroll.empty());
            const display::Rgb colour = display::PaletteColour(board.colour);
            EXPECT_EQ(shown.value("textColour").toString(), QStringLiteral("rgb(%1, %2, %3)")
                                                                .arg(colour.red)
                                                                .arg(colour.green)
                                                                .arg(colour.blue));
            EXPECT_EQ(shown.value("plate").toBool(),
                      (display::Backdrop(colour) != display::Rgb{0, 0, 0}));
        }
    }
}

TEST_F(WebBrowser, ThePageComesBackByItselfWhenTheProgramRestarts) {
    auto display = std::make_unique<Display>(WebArgs());
    const Ports ports = ReadPorts(*display);
    Browser browser(folder_.path() / "profile");
    OpenPage(browser, ports.http);
    ASSERT_TRUE(SendMessage(ports.display, "avant"));
    browser.ReadUntil(kPageState,
                      [](const QJsonObject& s) { return s.value("text").toString() == "avant"; });

    display.reset();  // the program stops: the page keeps the last board and marks the loss
    const auto lost = browser.ReadUntil(
        kPageState, [](const QJsonObject& s) { return !s.value("connected").toBool(true); });
    EXPECT_FALSE(lost.value("connected").toBool(true));
    EXPECT_EQ(lost.value("text").toString(), "avant");

    // Started again on the same web port, with a board of its own.
    display = std::make_unique<Display>(WebArgs(ports.http));
    const Ports again = ReadPorts(*display);
    ASSERT_EQ(again.http, ports.http);
    ASSERT_TRUE(SendMessage(again.display, "apr\xE8s"));
    ASSERT_TRUE(SendMessage(again.display,
                            "\xFF"
                            "3Caisse 2"));
    const auto back = browser.ReadUntil(kPageState, [](const QJsonObject& s) {
        return s.value("connected").toBool() && s.value("register").toString() == "Caisse 2";
    });
    EXPECT_TRUE(back.value("connected").toBool());
    EXPECT_EQ(back.value("text").toString(), QString::fromUtf8("après"));
    EXPECT_EQ(back.value("register").toString(), "Caisse 2");
    EXPECT_EQ(back.value("marker").toInt(), 42) << "the page was reloaded";
}

}  // namespace

// While nobody buys, on a tablet of each shape: the shop's logo above the welcome text, then
// a picture in the text's place, each as large as fits, from the display itself under the
// page's policy; a sale takes the screen at once.
TEST_F(WebBrowser, ThePicturesShowAsLargeAsFitsWhileNobodyBuys) {
    const auto pictures = folder_.path() / "pictures";
    std::filesystem::create_directories(pictures);
    QImage offer(800, 600, QImage::Format_RGB32);
    offer.fill(Qt::red);
    ASSERT_TRUE(offer.save(QString::fromStdString((pictures / "offer.jpg").string()), "JPEG"));
    std::ofstream(folder_.path() / "logo.svg")
        << R"(<svg xmlns="http://www.w3.org/2000/svg" width="300" height="100">)"
           R"(<rect width="300" height="100" fill="navy"/></svg>)";
    std::vector<std::string> args = WebArgs();
    args.insert(args.end(), {"--welcome", "Bienvenue", "--pictures", pictures.string(), "--logo",
                             (folder_.path() / "logo.svg").string(), "--picture-seconds", "2"});
    Display display(args);
    const Ports ports = ReadPorts(display);
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "3Caisse 1"));
    Browser browser(folder_.path() / "profile");
    OpenPage(browser, ports.http);
    // The picture as drawn (object-fit: contain keeps its sides' ratio inside its box).
    const QString shown = QStringLiteral(R"JS(
(() => {
  const stage = document.getElementById("stage").getBoundingClientRect();
  const picture = document.getElementById("picture");
  const box = picture.getBoundingClientRect();
  const text = document.getElementById("text").getBoundingClientRect();
  const scale = picture.naturalWidth ? Math.min(box.width / picture.naturalWidth,
                                                box.height / picture.naturalHeight) : 0;
  return JSON.stringify({
    width: window.innerWidth,
    logo: document.body.classList.contains("logo"),
    alone: document.body.classList.contains("picture-alone"),
    loaded: picture.complete && picture.naturalWidth > 0,
    natural: picture.naturalWidth + "x" + picture.naturalHeight,
    drawnWidth: picture.naturalWidth * scale,
    drawnHeight: picture.naturalHeight * scale,
    boxTop: box.top - stage.top, boxBottom: box.bottom - stage.top, boxHeight: box.height,
    stageWidth: stage.width, stageHeight: stage.height,
    textTop: text.top - stage.top, textBottom: text.bottom - stage.top, textHeight: text.height,
    violations: (window.policyViolations || []).join("; "),
  });
})()
)JS");
    struct Size {
        int width;
        int height;
    };
    for (const Size size : {Size{1280, 800}, Size{800, 1280}, Size{360, 640}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        browser.Resize(size.width, size.height);
        for (const bool alone : {false, true}) {
            const auto state = browser.ReadUntil(shown, [&](const QJsonObject& s) {
                return s.value("width").toInt() == size.width && s.value("loaded").toBool() &&
                       s.value("alone").toBool() == alone && s.value("logo").toBool() != alone;
            });
            ASSERT_TRUE(state.value("loaded").toBool()) << (alone ? "picture" : "logo");
            EXPECT_EQ(state.value("violations").toString(), "");
            const double stageWidth = state.value("stageWidth").toDouble();
            const double room = alone ? state.value("stageHeight").toDouble()
                                      : state.value("stageHeight").toDouble() * 0.4;
            EXPECT_NEAR(state.value("boxHeight").toDouble(), room, 2);
            // As large as fits: its width or its height fills the room.
            const double width = state.value("drawnWidth").toDouble();
            const double height = state.value("drawnHeight").toDouble();
            EXPECT_TRUE(std::abs(height - room) <= 2 || width >= stageWidth * 0.9)
                << width << "x" << height << " in " << stageWidth << "x" << room;
            if (alone) {
                EXPECT_EQ(state.value("natural").toString(), "800x600");
                EXPECT_EQ(state.value("textHeight").toDouble(), 0) << "the text shows";
            } else {
                EXPECT_EQ(state.value("natural").toString(), "1920x640");
                EXPECT_GE(state.value("textTop").toDouble(),
                          state.value("boxBottom").toDouble() - 1)
                    << "the welcome text is not below the logo";
                EXPECT_GT(state.value("textHeight").toDouble(), 0);
                EXPECT_LE(state.value("textBottom").toDouble(),
                          state.value("stageHeight").toDouble() + 1);
            }
            if (const char* path = std::getenv("AFFICHEUR_WEB_SCREENSHOT"))
                std::ofstream(std::string(path) + "-" + std::to_string(size.width) + "x" +
                                  std::to_string(size.height) + (alone ? "-picture" : "-logo") +
                                  ".png",
                              std::ios::binary)
                    << browser.Screenshot().toStdString();
        }
    }
    ASSERT_TRUE(SendMessage(ports.display, "Pain\t1,10 EUR"));
    const auto sale = browser.ReadUntil(shown, [](const QJsonObject& s) {
        return !s.value("logo").toBool() && !s.value("alone").toBool();
    });
    EXPECT_FALSE(sale.value("logo").toBool() || sale.value("alone").toBool());
}
namespace {

// The QR code as the page shows it: whether it shows, where its image is, its size in device
// pixels against its modules, and its caption.
const QString kCodeState = QStringLiteral(R"JS(
(() => {
  const code = document.getElementById("qr-code");
  const box = code.getBoundingClientRect();
  // Where the text's glyphs are: each of its spans' boxes (a sale's items and amounts).
  const spans = [...document.querySelectorAll("#text span")].map((e) => e.getBoundingClientRect());
  const text = spans.length === 0 ? document.getElementById("text").getBoundingClientRect() : {
    left: Math.min(...spans.map((r) => r.left)), right: Math.max(...spans.map((r) => r.right)),
    top: Math.min(...spans.map((r) => r.top)), bottom: Math.max(...spans.map((r) => r.bottom)),
    width: 1 };
  return JSON.stringify({
    shown: !document.getElementById("qr").hidden && !code.hidden && code.complete &&
           code.naturalWidth > 0,
    caption: document.getElementById("qr-caption").textContent,
    left: box.left, top: box.top, right: box.right, bottom: box.bottom, side: box.width,
    devicePixels: box.width * window.devicePixelRatio,
    overText: text.width > 0 && box.left < text.right && text.left < box.right &&
              box.top < text.bottom && text.top < box.bottom,
    textOnScreen: text.left >= 0 && text.top >= 0 && text.right <= window.innerWidth &&
                  text.bottom <= window.innerHeight,
    width: window.innerWidth,
    height: window.innerHeight,
    colour: document.body.dataset.colour,
    violations: (window.policyViolations || ["not watched"]).join("; "),
  });
})()
)JS");

// A payment code sent after a sale shows beside its total on a landscape and a portrait tablet
// and a phone, on a dark and a light board colour: Chromium's own screenshot reads back as the
// payload sent, the code whole on the screen, clear of the text, at least 30% of the shorter
// side and a whole number of device pixels a module. The next sale takes it away.
TEST_F(WebBrowser, APaymentCodeIsReadBackFromThePageAndGoesWithTheNextSale) {
    if (!HaveQrReader()) SKIP_MISSING_TOOL(std::string(kZbarimg) + " is not installed");
    Display display(WebArgs());
    const Ports ports = ReadPorts(display);
    Browser browser(folder_.path() / "profile");
    OpenPage(browser, ports.http);

    // A SEPA transfer's payload, its name in Windows-1252 on the wire, UTF-8 in the code.
    const std::string payload =
        "BCD\n002\n1\nSCT\nBPOTBEB1\nCroix Rouge Fr\xC3\xA9"
        "d\xC3\xA9ric\nBE72000000001616\n"
        "EUR3.5\n\n\nCommande 1234";
    ASSERT_TRUE(SendMessage(ports.display, "Caf\xE9\t2,40 \x80\nCroissant\t1,10 \x80"));
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "4TOTAL\t3,50 \x80"));
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "5Scannez pour payer\nBCD\n002\n1\nSCT\nBPOTBEB1\n"
                            "Croix Rouge Fr\xE9"
                            "d\xE9ric\nBE72000000001616\nEUR3.5\n\n\n"
                            "Commande 1234"));
    struct Case {
        int width;
        int height;
        int colour;
    };
    // Every colour of the palette as the board's, each screen shape in turn.
    const Case sizes[] = {{1280, 800, 0}, {800, 1280, 0}, {360, 640, 0}};
    std::vector<Case> cases;
    for (int colour = 0; colour < 16; ++colour)
        cases.push_back({sizes[colour % 3].width, sizes[colour % 3].height, colour});
    for (const Case& c : cases) {
        const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) +
                                 "-colour" + std::to_string(c.colour);
        SCOPED_TRACE(name);
        ASSERT_TRUE(SendMessage(ports.display,
                                "\xFF"
                                "2" +
                                    std::to_string(c.colour)));
        browser.Resize(c.width, c.height);
        const auto shown = browser.ReadUntil(kCodeState, [&](const QJsonObject& s) {
            return s.value("shown").toBool() && s.value("width").toInt() == c.width &&
                   s.value("colour").toString() == QString::number(c.colour);
        });
        ASSERT_TRUE(shown.value("shown").toBool());
        ::usleep(300000);  // a frame or two, so the screenshot has the last layout painted
        const auto placed = browser.Read(kCodeState);
        EXPECT_EQ(placed.value("caption").toString(), "Scannez pour payer");
        EXPECT_GE(placed.value("left").toDouble(), 0);
        EXPECT_GE(placed.value("top").toDouble(), 0);
        EXPECT_LE(placed.value("right").toDouble(), c.width);
        EXPECT_LE(placed.value("bottom").toDouble(), c.height);
        EXPECT_GE(placed.value("side").toDouble(), 0.3 * std::min(c.width, c.height));
        EXPECT_FALSE(placed.value("overText").toBool());
        EXPECT_TRUE(placed.value("textOnScreen").toBool());
        const double devicePixels = placed.value("devicePixels").toDouble();
        EXPECT_EQ(devicePixels, std::floor(devicePixels));
        EXPECT_EQ(placed.value("violations").toString().toStdString(), "");

        const QString png = QString::fromStdString((folder_.path() / (name + ".png")).string());
        QFile file(png);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(browser.Screenshot());
        file.close();
        EXPECT_EQ(ReadQrCodeIn(png), payload);
    }

    ASSERT_TRUE(SendMessage(ports.display, "Baguette\t1,20 \x80"));
    const auto gone = browser.ReadUntil(
        kCodeState, [](const QJsonObject& s) { return !s.value("shown").toBool(true); });
    EXPECT_FALSE(gone.value("shown").toBool(true)) << "the next sale keeps the last one's code";
    const QString png = QString::fromStdString((folder_.path() / "after.png").string());
    QFile file(png);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(browser.Screenshot());
    file.close();
    EXPECT_EQ(ReadQrCodeIn(png), "");
}

}  // namespace
