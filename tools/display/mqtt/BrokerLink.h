#pragma once
// The display on an MQTT broker: one more way in, and a place where it reports itself. What
// arrives on its set topics changes the board as a message over TCP does (SetMessages.h); the
// board, as the page's /state gives it, is published retained on PREFIX/state at each change
// (at most four times a second, the last change always) and at each connect; PREFIX/status
// says online, and offline once the display stops or its link breaks (see BrokerOptions.h).
//
// The link is also an output: its Health says whether the broker is reached. While the broker
// is away the display goes on with its board and the link tries again (MqttClient.h), with one
// line on stderr per outage, not per try. A refused message leaves the board as it was and
// is noted on stderr, limited as the receiver's notes are. Lives on the thread that made it.

#include <QTimer>

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "board/Board.h"
#include "board/BoardView.h"
#include "mqtt/BrokerOptions.h"
#include "mqtt/MqttClient.h"
#include "shared/LimitedLines.h"

namespace display {

class BrokerLink : public BoardView {
  public:
    // apply takes the messages of one set message, to be applied in order as one change.
    // options.topic must be set (Finish does).
    BrokerLink(BrokerOptions options, std::function<void(std::span<const Message>)> apply);
    ~BrokerLink() override;
    BrokerLink(const BrokerLink&) = delete;
    BrokerLink& operator=(const BrokerLink&) = delete;

    // Starts connecting: true. False, with why in *error, when the settings cannot be used.
    bool Start(std::string* error);

    // Where the published state learns how every output is doing; without it, it lists none.
    void ReportOutputs(std::function<std::vector<OutputState>()> outputs);

    void Show(const Board& board) override;
    OutputState Health() const override;

  private:
    void Connected();
    void Failed(const QString& reason);
    void Received(const QByteArray& topic, const QByteArray& payload);
    void PublishState();
    void Refuse(const std::string& topic, const std::string& why);

    BrokerOptions options_;
    std::function<void(std::span<const Message>)> apply_;
    std::function<std::vector<OutputState>()> outputs_;
    std::vector<std::string> setTopics_;
    std::unique_ptr<MqttClient> client_;
    Board board_;
    bool up_ = false;
    bool everUp_ = false;
    bool outageLogged_ = false;
    bool statePending_ = false;  // a change came during the gap
    QTimer stateGap_;            // the least time between two state publications
    LimitedLines refusals_;
};

}  // namespace display
