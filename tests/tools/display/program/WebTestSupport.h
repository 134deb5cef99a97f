#pragma once
// Test helpers for afficheur-display's web page, on top of the display run as a process
// (support/DisplayProcess.h): the arguments and ports of a display with --http, and HTTP
// answers read over a raw connection, exactly as the server sends them. Loopback only; every
// wait is bounded.

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdint>
#include <string>
#include <vector>

#include "support/DisplayProcess.h"

namespace webtest {

struct Ports {
    uint16_t display = 0;  // where messages go
    uint16_t http = 0;     // where the page is
};

// The arguments of a display without a window, logging, on free ports (or the given web port).
inline std::vector<std::string> WebArgs(uint16_t httpPort = 0) {
    return {"--headless",  "--log",  "--listen",
            "127.0.0.1:0", "--http", "127.0.0.1:" + std::to_string(httpPort)};
}

// Reads the two first log lines: where messages go, where the page is.
inline Ports ReadPorts(displaytest::Display& display) {
    Ports ports;
    ports.display = display.Listening();
    const auto http = display.NextRecord();
    if (http.value("kind").toString() == "http") ports.http = displaytest::Display::PortOf(http);
    return ports;
}

// A whole GET answer (the server closes after each one, except for a stream).
inline std::string Get(uint16_t port, const std::string& path) {
    displaytest::Connection connection(port);
    if (!connection.Send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")) return {};
    return connection.ReadAll();
}

// "200" from "HTTP/1.1 200 OK\r\n..."; empty when there is no status line.
inline std::string StatusOf(const std::string& answer) {
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || answer.size() < 12) return {};
    return answer.substr(9, 3);
}

// What follows the head of an answer.
inline std::string BodyOf(const std::string& answer) {
    const auto end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

// The board of the last whole event in a stream's bytes; empty when there is none.
inline QJsonObject LastBoard(const std::string& stream) {
    const auto end = stream.rfind("}\n\n");
    if (end == std::string::npos) return {};
    const auto start = stream.rfind("data: {", end);
    if (start == std::string::npos) return {};
    return QJsonDocument::fromJson(
               QByteArray::fromStdString(stream.substr(start + 6, end - start - 5)))
        .object();
}

}  // namespace webtest
