#include "BrokerOptions.h"

#include <QString>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace display {

namespace {

constexpr int kMqttPort = 1883;
constexpr int kMqttsPort = 8883;
constexpr std::size_t kMaxPasswordBytes = 4096;

}  // namespace

std::string ReadBrokerUrl(std::string_view text, BrokerOptions& options) {
    const std::string wanted = "--mqtt wants mqtt://[USER@]HOST[:PORT] or mqtts://...";
    // A login such as shop12/till1 would end the URL's host at its /.
    if (const auto start = text.find("://"); start != std::string_view::npos) {
        const auto at = text.find('@', start + 3);
        if (at != std::string_view::npos &&
            text.substr(start + 3, at - start - 3).find('/') != std::string_view::npos)
            return wanted + " (a / in USER is written %2F)";
    }
    const QUrl url(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                   QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")) ||
        url.host().isEmpty())
        return wanted;
    if (!url.password().isEmpty())
        return "--mqtt takes no password (the process list would show it): give it in "
               "--mqtt-password-file";
    if (text.find('@') != std::string_view::npos && url.userName().isEmpty()) return wanted;
    if ((!url.path().isEmpty() && url.path() != QLatin1String("/")) || url.hasQuery() ||
        url.hasFragment())
        return wanted + " (no path, query or fragment)";
    options.tls = scheme == QLatin1String("mqtts");
    options.host = url.host(QUrl::FullyDecoded).toStdString();
    options.port = url.port(options.tls ? kMqttsPort : kMqttPort);
    if (options.port < 1 || options.port > 65535) return wanted + " (a port from 1 to 65535)";
    options.user = url.userName(QUrl::FullyDecoded).toStdString();
    options.url = std::string(text);
    return {};
}

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::string text(kMaxPasswordBytes, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    text = text.substr(0, text.find('\n'));
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty()) {
        *error = path + " holds no password on its first line";
        return std::nullopt;
    }
    return text;
}

std::string TopicFault(std::string_view text) {
    if (text.empty()) return "is empty";
    if (text.find_first_of(std::string_view("+#\0", 3)) != std::string_view::npos)
        return "holds a wildcard (+ or #) or a NUL";
    if (text.front() == '$') return "starts with $, as the broker's own topics do";
    if (text.front() == '/' || text.back() == '/' || text.find("//") != std::string_view::npos)
        return "has an empty level (a / at an end, or //)";
    return {};
}

std::string DefaultTopic(std::string_view hostName, int port) {
    std::string host(hostName.empty() ? "localhost" : hostName);
    for (char& c : host) {
        if (c == '+' || c == '#' || c == '/' || c == '\0') c = '_';
    }
    return "afficheur/" + host + "/" + std::to_string(port);
}

std::string ClientId(std::string_view prefix) {
    return "afficheur-display:" + std::string(prefix);
}

std::vector<std::string> SetTopics(const BrokerOptions& options) {
    std::vector<std::string> topics{options.topic + "/set"};
    for (const std::string& group : options.groups)
        topics.push_back(group + "/set");
    return topics;
}

}  // namespace display
