// afficheur-display --http run as its own process and spoken to over raw loopback
// connections: what each path answers, that nothing changes the board, and the bounds.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "WebTestSupport.h"
#include "support/TempFolder.h"

namespace {

using namespace displaytest;
using namespace webtest;

// A stream that has its head and its first board.
std::unique_ptr<Connection> Follow(uint16_t port) {
    auto viewer = std::make_unique<Connection>(port);
    viewer->Send("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n\r\n");
    viewer->ReadUntil("}\n\n");
    return viewer;
}

// Every answer of the server has these, the fixed ones of its bounds included.
void ExpectEveryAnswersHeaders(const std::string& answer, const std::string& what) {
    const std::string head = answer.substr(0, answer.find("\r\n\r\n") + 2);
    EXPECT_NE(head.find("\r\nX-Content-Type-Options: nosniff\r\n"), std::string::npos) << what;
    EXPECT_NE(head.find("\r\nCross-Origin-Resource-Policy: same-origin\r\n"), std::string::npos)
        << what;
}

TEST(WebProcess, AnswersEachPathAndNothingChangesTheBoard) {
    std::vector<std::string> args = WebArgs();
    args.insert(args.end(), {"--http-host", "display.shop.lan"});
    Display display(args);
    const Ports ports = ReadPorts(display);
    ASSERT_NE(ports.http, 0);
    ASSERT_TRUE(SendMessage(ports.display, "Caf\xE9"));
    display.NextRecord();

    const std::string page = Get(ports.http, "/");
    EXPECT_EQ(StatusOf(page), "200");
    EXPECT_NE(page.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
    // The browser itself holds the page to asking nothing of the outside, and to running no
    // script or style but the page's own.
    EXPECT_NE(page.find("Content-Security-Policy: default-src 'none'; script-src 'sha256-"),
              std::string::npos);
    EXPECT_NE(page.find("; style-src 'sha256-"), std::string::npos);
    EXPECT_EQ(page.find("unsafe-inline"), std::string::npos);
    ExpectEveryAnswersHeaders(page, "the page");
    EXPECT_NE(BodyOf(page).find("new EventSource(\"events\")"), std::string::npos);
    // A browser offers no translation of the customer's screen over its corner.
    EXPECT_NE(BodyOf(page).find("<html lang=\"fr\" translate=\"no\">"), std::string::npos);

    const std::string state = Get(ports.http, "/state?x=1");
    EXPECT_EQ(StatusOf(state), "200");
    // The board, and how each output does (this display has the page alone).
    EXPECT_EQ(BodyOf(state),
              "{\"text\":\"Caf\xC3\xA9\",\"scroll\":\"\",\"register\":\"\",\"colour\":15,"
              "\"rgb\":\"#ffffff\",\"total\":\"\",\"qr\":\"\",\"qrCaption\":\"\","
              "\"picture\":\"\",\"pictureAlone\":false,"
              "\"qrImage\":\"\",\"qrModules\":0,\"outputs\":[{\"kind\":\"web\",\"address\":\"127."
              "0.0.1:" +
                  std::to_string(ports.http) + "\",\"up\":true}]}");

    // HEAD gets the very head of the GET, its Content-Length included, and no body.
    for (const std::string path : {"/", "/state"}) {
        const std::string get = Get(ports.http, path);
        Connection head(ports.http);
        ASSERT_TRUE(head.Send("HEAD " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
        EXPECT_EQ(head.ReadAll(), get.substr(0, get.find("\r\n\r\n") + 4)) << path;
        EXPECT_TRUE(head.closed()) << path;
    }

    struct Case {
        const char* name;
        std::string request;
        const char* status;
        const char* holds = "";  // a line the answer's head has
    };
    const Case cases[] = {
        {"unknown path", "GET /admin HTTP/1.1\r\n\r\n", "404"},
        {"a known path's prefix", "GET /stat HTTP/1.1\r\n\r\n", "404"},
        {"a path under a known one", "GET /state/x HTTP/1.1\r\n\r\n", "404"},
        {"posting a board",
         "POST /state HTTP/1.1\r\nContent-Type: application/json\r\nContent-Length: 14\r\n\r\n"
         "{\"text\":\"pwn\"}",
         "405", "\r\nAllow: GET, HEAD\r\n"},
        {"putting a page", "PUT / HTTP/1.1\r\nContent-Length: 3\r\n\r\npwn", "405"},
        {"deleting the stream", "DELETE /events HTTP/1.1\r\n\r\n", "405"},
        {"a WebSocket instead of the stream",
         "GET /events HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n"
         "Sec-WebSocket-Version: 13\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n",
         "400"},
        {"the stream's head alone", "HEAD /events HTTP/1.1\r\n\r\n", "200",
         "\r\nContent-Type: text/event-stream; charset=utf-8\r\n"},
        {"this machine by name", "GET /state HTTP/1.1\r\nHost: localhost:8080\r\n\r\n", "200"},
        {"a name given by --http-host",
         "GET /state HTTP/1.1\r\nHost: Display.Shop.lan:8080\r\n\r\n", "200"},
        // A page of another site whose name now leads here (DNS rebinding) gets nothing.
        {"another site's name", "GET /state HTTP/1.1\r\nHost: rebound.example:8080\r\n\r\n", "421"},
        {"another site's name, for the stream",
         "GET /events HTTP/1.1\r\nHost: rebound.example\r\n\r\n", "421"},
        {"another site's name, for a path that is not here",
         "GET /admin HTTP/1.1\r\nHost: rebound.example\r\n\r\n", "421"},
        {"another site's name, for a WebSocket",
         "GET /events HTTP/1.1\r\nHost: rebound.example\r\nConnection: Upgrade\r\n"
         "Upgrade: websocket\r\nSec-WebSocket-Version: 13\r\n"
         "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n",
         "421"},
        {"two Host fields",
         "GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\nHost: rebound.example\r\n\r\n", "400"},
    };
    for (const auto& c : cases) {
        Connection connection(ports.http);
        ASSERT_TRUE(connection.Send(c.request)) << c.name;
        const std::string answer = connection.ReadAll();
        EXPECT_EQ(StatusOf(answer), c.status) << c.name;
        EXPECT_TRUE(connection.closed()) << c.name;
        EXPECT_NE(answer.find(c.holds), std::string::npos) << c.name << ": " << answer;
        ExpectEveryAnswersHeaders(answer, c.name);
        // One answer, nothing after it.
        EXPECT_EQ(answer.find("HTTP/1.1 ", 1), std::string::npos) << c.name << ": " << answer;
    }
    EXPECT_EQ(BodyOf(Get(ports.http, "/state")), BodyOf(state));
}

TEST(WebProcess, EveryViewerGetsTheWholeBoardAtOnceAndAtEachChange) {
    Display display(WebArgs());
    const Ports ports = ReadPorts(display);
    auto first = Follow(ports.http);
    EXPECT_EQ(StatusOf(first->received()), "200");
    EXPECT_NE(first->received().find("Content-Type: text/event-stream"), std::string::npos);
    EXPECT_EQ(LastBoard(first->received()).value("text").toString(), "");

    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "3Caisse 2"));
    ASSERT_TRUE(SendMessage(ports.display,
                            "\xFF"
                            "24"));
    first->ReadUntil("#800000");
    const QJsonObject board = LastBoard(first->received());
    EXPECT_EQ(board.value("register").toString(), "Caisse 2");
    EXPECT_EQ(board.value("colour").toInt(), 4);
    EXPECT_EQ(board.value("rgb").toString(), "#800000");

    // A page that comes later gets the whole board in its first event.
    auto second = Follow(ports.http);
    EXPECT_EQ(LastBoard(second->received()).value("register").toString(), "Caisse 2");
    EXPECT_EQ(LastBoard(second->received()).value("colour").toInt(), 4);
}

// The arguments of a display where one address may hold every place, as the tests' own
// connections all come from 127.0.0.1 (see WebServerTest for the shares between addresses).
std::vector<std::string> OneAddressArgs() {
    std::vector<std::string> args = WebArgs();
    args.insert(args.end(), {"--http-share-viewers", "32", "--http-share-connections", "64"});
    return args;
}

TEST(WebProcess, The33rdViewerGets503AndASlotFreedIsTakenAgain) {
    Display display(OneAddressArgs());
    const Ports ports = ReadPorts(display);
    std::vector<std::unique_ptr<Connection>> viewers;
    for (int i = 0; i < 32; ++i) {
        viewers.push_back(Follow(ports.http));
        ASSERT_EQ(StatusOf(viewers.back()->received()), "200") << "viewer " << i + 1;
    }
    Connection extra(ports.http);
    extra.Send("GET /events HTTP/1.1\r\n\r\n");
    const std::string refused = extra.ReadAll();
    EXPECT_EQ(StatusOf(refused), "503");
    EXPECT_NE(refused.find("Retry-After: 5"), std::string::npos);
    // The page and the state are still served meanwhile.
    EXPECT_EQ(StatusOf(Get(ports.http, "/state")), "200");

    viewers.front().reset();  // one page leaves
    std::string status;
    for (int attempt = 0; attempt < 100 && status != "200"; ++attempt) {
        auto again = Follow(ports.http);
        status = StatusOf(again->received());
        if (status != "200") ::usleep(50000);
    }
    EXPECT_EQ(status, "200");
}

// Many addresses (127.0.0.2 and up), each holding what it can of the message slots and of the
// page's connections and streams, keep out neither the register nor a tablet that
// --http-allow names: a connection that has brought no whole message or request within a few
// seconds gives its place when every place is taken, and a stream from outside --http-allow
// gets 403 and holds no place.
TEST(WebProcess, ManyAddressesHoldingEverySlotLockOutNeitherTheRegisterNorAnAllowedTablet) {
    std::vector<std::string> args = WebArgs();
    args.insert(args.end(), {"--http-allow", "127.0.0.1", "--idle-timeout", "60000",
                             "--message-timeout", "60000"});
    Display display(args);
    const Ports ports = ReadPorts(display);
    ASSERT_NE(ports.http, 0);
    constexpr int kAddresses = 80;  // more than any bound: 64 connections, 32 streams
    std::vector<std::unique_ptr<Connection>> held;
    const auto hold = [&](uint16_t port, int from, const std::string& bytes) {
        held.push_back(std::make_unique<Connection>(port, 0, from));
        held.back()->Send(bytes);
    };
    const auto holdAll = [&] {
        for (int from = 2; from < 2 + kAddresses; ++from) {
            hold(ports.display, from, "Prom");
            hold(ports.http, from, "GET / HTTP/1.1\r\n");
            hold(ports.http, from, "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        }
    };
    holdAll();
    ::usleep(3500 * 1000);  // past the grace: what they hold is now given to a newcomer
    holdAll();              // and they try again for every place

    // The register sends its messages one after another, as the client does.
    constexpr int kMessages = 10;
    int shown = 0;
    for (int i = 0; i < kMessages; ++i) {
        const QString text = QStringLiteral("Total %1").arg(i);
        if (!SendMessage(ports.display, text.toStdString())) continue;
        for (int records = 0; records < 1000; ++records) {
            const auto record = display.NextRecord();
            if (record.isEmpty()) break;
            if (record.value("peer").toString().startsWith("127.0.0.1:") &&
                record.value("text").toString() == text) {
                shown += record.value("shown").toBool() ? 1 : 0;
                break;
            }
        }
    }
    EXPECT_EQ(shown, kMessages) << "the register's messages were kept out";

    const auto tablet = Follow(ports.http);
    EXPECT_EQ(StatusOf(tablet->received()), "200") << tablet->received().substr(0, 200);
    EXPECT_EQ(LastBoard(tablet->received()).value("text").toString(), "Total 9");
    // A stream from outside the allowed addresses is refused, the page itself is not.
    Connection outsider(ports.http, 0, 200);
    outsider.Send("GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(StatusOf(outsider.ReadAll()), "403");
}

TEST(WebProcess, RefusesRequestsPastTheBounds) {
    Display display(WebArgs());
    const Ports ports = ReadPorts(display);

    struct Case {
        const char* name;
        std::string request;
        const char* status;
    };
    std::string manyFields = "GET /state HTTP/1.1\r\n";
    for (int i = 0; i < 120; ++i)
        manyFields += "X-" + std::to_string(i) + ": 1\r\n";
    const Case cases[] = {
        {"a path of 9 KiB", "GET /" + std::string(9 * 1024, 'a') + " HTTP/1.1\r\n\r\n", "431"},
        {"a header field of 9 KiB",
         "GET /state HTTP/1.1\r\nCookie: " + std::string(9 * 1024, 'c') + "\r\n\r\n", "431"},
        {"a head that never ends", "GET /state HTTP/1.1\r\nX: " + std::string(64 * 1024, 'x'),
         "431"},
        {"120 header fields", manyFields + "\r\n", "431"},
        {"a body of 1 MiB",
         "POST /state HTTP/1.1\r\nContent-Length: 1048576\r\n\r\n" + std::string(1 << 20, 'b'),
         "413"},
        {"a chunked body past the bound",
         "POST /state HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2400\r\n" +
             std::string(0x2400, 'b') + "\r\n0\r\n\r\n",
         "413"},
    };
    for (const auto& c : cases) {
        Connection connection(ports.http);
        connection.Send(c.request);  // the server may close before taking it all
        EXPECT_EQ(StatusOf(connection.ReadAll()), c.status) << c.name;
        EXPECT_TRUE(connection.closed()) << c.name;
        ExpectEveryAnswersHeaders(connection.received(), c.name);
    }
    // Just within the bounds is served.
    const std::string fields =
        "GET /state HTTP/1.1\r\nX-Pad: " + std::string(7 * 1024, 'p') + "\r\n\r\n";
    Connection within(ports.http);
    ASSERT_TRUE(within.Send(fields));
    EXPECT_EQ(StatusOf(within.ReadAll()), "200");
    // And the display still shows what it is sent.
    ASSERT_TRUE(SendMessage(ports.display, "encore"));
    display.NextRecord();
    EXPECT_NE(Get(ports.http, "/state").find("\"text\":\"encore\""), std::string::npos);
}

TEST(WebProcess, ARequestNotWholeInTimeGets408AndItsSlotBack) {
    Display display(WebArgs());
    const Ports ports = ReadPorts(display);
    Connection dribbling(ports.http);
    ASSERT_TRUE(dribbling.Send("GET /state HTTP/1.1\r\nHost: 127.0.0.1\r\n"));
    // The request timeout is 10 s; a client that never finishes is answered and closed.
    EXPECT_EQ(StatusOf(dribbling.ReadAll(kPatience + milliseconds(10000))), "408");
    EXPECT_TRUE(dribbling.closed());
}

TEST(WebProcess, PastTheConnectionBoundANewConnectionGets503Unread) {
    Display display(OneAddressArgs());
    const Ports ports = ReadPorts(display);
    // 64 connections that say nothing hold every slot until the request timeout.
    std::vector<std::unique_ptr<Connection>> idle;
    for (int i = 0; i < 64; ++i)
        idle.push_back(std::make_unique<Connection>(ports.http));
    Connection extra(ports.http);
    extra.Send("GET /state HTTP/1.1\r\n\r\n");
    EXPECT_EQ(StatusOf(extra.ReadAll()), "503");
    ExpectEveryAnswersHeaders(extra.received(), "503 unread");
    idle.clear();
    std::string status;
    for (int attempt = 0; attempt < 100 && status != "200"; ++attempt) {
        status = StatusOf(Get(ports.http, "/state"));
        if (status != "200") ::usleep(50000);
    }
    EXPECT_EQ(status, "200");
}

TEST(WebProcess, ASlowReaderHoldsUpNeitherTheReceiverNorTheOtherViewers) {
    Display display(WebArgs());
    const Ports ports = ReadPorts(display);
    auto slow = std::make_unique<Connection>(ports.http, 4096);
    slow->Send("GET /events HTTP/1.1\r\n\r\n");  // and then never reads
    auto fast = Follow(ports.http);

    // Far more than the slow link holds: 150 boards of about 60 KiB each. The receiver takes
    // every message while the slow viewer holds its update.
    constexpr int kMessages = 150;
    for (int i = 0; i < kMessages; ++i) {
        const std::string text = std::to_string(i) + ":" + std::string(60000, 'a' + i % 26);
        ASSERT_TRUE(SendMessage(ports.display, text)) << i;
        ASSERT_TRUE(display.NextRecord().value("shown").toBool()) << i;
    }
    // ...and the reading viewer follows to the last board.
    const std::string last = "\"text\":\"" + std::to_string(kMessages - 1) + ":";
    fast->ReadUntil(last);
    ASSERT_NE(fast->received().find(last), std::string::npos);

    // The slow one, when it reads at last, gets the latest board without every step between:
    // its updates were folded, not queued without end.
    slow->ReadUntil(last);
    EXPECT_NE(slow->received().find(last), std::string::npos)
        << slow->received().size() << " bytes, closed " << slow->closed() << ", last board "
        << LastBoard(slow->received()).value("text").toString().left(8).toStdString();
    std::size_t events = 0;
    for (auto at = slow->received().find("data: {"); at != std::string::npos;
         at = slow->received().find("data: {", at + 1)) {
        ++events;
    }
    EXPECT_LT(events, static_cast<std::size_t>(kMessages));
}

TEST(WebProcess, EndsWithAReasonWhenItCannotServe) {
    Display first(WebArgs());
    const Ports ports = ReadPorts(first);
    Display taken(WebArgs(ports.http));
    EXPECT_EQ(taken.ExitCode(), 1);
    Display bad({"--headless", "--listen", "127.0.0.1:0", "--http", "nowhere:80"});
    EXPECT_EQ(bad.ExitCode(), 2);
    const std::vector<std::string> badWebOptions[] = {
        {"--http-host", "shop lan"},       {"--http-share-viewers", "0"},
        {"--http-share-viewers", "33"},    {"--http-share-connections", "65"},
        {"--http-share-connections", "a"},
    };
    for (const auto& options : badWebOptions) {
        std::vector<std::string> args = WebArgs();
        args.insert(args.end(), options.begin(), options.end());
        EXPECT_EQ(Display(args).ExitCode(), 2) << options[0] << ' ' << options[1];
    }
    Display nameAlone({"--headless", "--listen", "127.0.0.1:0", "--http-host", "shop.lan"});
    EXPECT_EQ(nameAlone.ExitCode(), 2);
}

}  // namespace

namespace {

// The shop's pictures: the display keeps running past a damaged one, a 50-megapixel one and a
// file that is no picture, says which it skipped and why, and shows the others in turn while
// the welcome text shows; the page gets them from the display, to keep for good, and a message
// takes the screen at once.
TEST(WebProcess, ThePicturesShowInTurnWhileNobodyBuysAndTheUnreadableAreSkipped) {
    TempFolder folder;
    const auto pictures = folder.path() / "pictures";
    std::filesystem::create_directories(pictures);
    const auto save = [&](const char* name, const QImage& image, const char* format) {
        EXPECT_TRUE(image.save(QString::fromStdString((pictures / name).string()), format));
    };
    QImage offer(800, 600, QImage::Format_RGB32);
    offer.fill(Qt::red);
    save("01-offer.jpg", offer, "JPEG");
    QImage noise(600, 400, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 7919 + y * 104729) % 256, (x * y) % 256, y % 256));
    save("02-noise.png", noise, "PNG");
    {
        std::ifstream in(pictures / "02-noise.png", std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::ofstream(pictures / "03-damaged.png", std::ios::binary)
            << bytes.substr(0, bytes.size() / 2);
    }
    QImage huge(8000, 6250, QImage::Format_Grayscale8);  // 50 megapixels
    huge.fill(128);
    save("04-huge.png", huge, "PNG");
    std::ofstream(pictures / "05-prices.txt") << "Pain 1,10\n";
    std::ofstream(folder.path() / "logo.svg")
        << R"(<svg xmlns="http://www.w3.org/2000/svg" width="300" height="100">)"
           R"(<rect width="300" height="100" fill="navy"/></svg>)";

    std::vector<std::string> args = WebArgs();
    args.insert(args.end(), {"--welcome", "Bienvenue", "--pictures", pictures.string(), "--logo",
                             (folder.path() / "logo.svg").string(), "--picture-seconds", "1"});
    Display display(args);
    const Ports ports = ReadPorts(display);
    ASSERT_NE(ports.http, 0);
    for (const char* skipped : {"03-damaged.png skipped: damaged",
                                "04-huge.png skipped: larger than 40 megapixels (8000x6250)",
                                "05-prices.txt skipped: not a PNG, JPEG or SVG picture"})
        EXPECT_TRUE(display.ErrorsShow(skipped)) << skipped << "\n" << display.Errors();

    // The logo with the welcome text, then each picture alone, in their names' order.
    const auto board = [&] {
        return QJsonDocument::fromJson(QByteArray::fromStdString(BodyOf(Get(ports.http, "/state"))))
            .object();
    };
    std::vector<std::pair<std::string, bool>> shown;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (shown.size() < 4 && std::chrono::steady_clock::now() < deadline) {
        const QJsonObject now = board();
        const std::pair<std::string, bool> slide{now.value("picture").toString().toStdString(),
                                                 now.value("pictureAlone").toBool()};
        if (!slide.first.empty() && (shown.empty() || shown.back() != slide))
            shown.push_back(slide);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_GE(shown.size(), 4U);
    const auto logoAt =
        std::find_if(shown.begin(), shown.end(), [](const auto& slide) { return !slide.second; });
    ASSERT_NE(logoAt, shown.end()) << "the logo never showed";
    std::rotate(shown.begin(), logoAt, shown.end());
    EXPECT_TRUE(shown[1].second && shown[2].second) << "the pictures show alone";
    EXPECT_EQ(shown[3], shown[0]) << "the logo comes back after the last picture";

    // Each picture as the page gets it: a picture to keep, under a name that never changes.
    // The logo is an SVG drawn to the longest side; the pictures in their names' order.
    const QSize sizes[] = {{1920, 640}, {800, 600}, {600, 400}};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string& name = shown[i].first;
        const std::string answer = Get(ports.http, "/pictures/" + name);
        EXPECT_EQ(StatusOf(answer), "200") << name;
        EXPECT_NE(answer.find(name.ends_with(".jpg") ? "Content-Type: image/jpeg"
                                                     : "Content-Type: image/png"),
                  std::string::npos);
        EXPECT_NE(answer.find("Cache-Control: public, max-age=31536000, immutable"),
                  std::string::npos);
        const std::string body = BodyOf(answer);
        EXPECT_EQ(
            QImage::fromData(reinterpret_cast<const uchar*>(body.data()), int(body.size())).size(),
            sizes[i])
            << name;
    }
    EXPECT_EQ(StatusOf(Get(ports.http, "/pictures/04-huge.png")), "404");
    EXPECT_EQ(StatusOf(Get(ports.http, "/pictures/../state")), "404");

    // A sale takes the screen at once.
    ASSERT_TRUE(SendMessage(ports.display, "Caf\xE9\t2,40"));
    display.NextRecord();
    EXPECT_EQ(board().value("picture").toString(), "");
}

}  // namespace
