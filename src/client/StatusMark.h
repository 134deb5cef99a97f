#pragma once
// The display link's status mark, a small dot in the window's caption strip: neutral until
// the first message, green while the last message was delivered, red when it failed. Its
// tooltip gives the words of the last outcome (those of its log line when it has one: for a
// failure, or for characters that left as '?'). It only shows: no dialog, nothing waits for
// it. User-interface thread only.

#include <QWidget>
#include <string>

namespace client {

class StatusMark final : public QWidget {
  public:
    enum class Status { None, Delivered, Failed };

    explicit StatusMark(QWidget* parent);

    // Shows the outcome of the last message.
    void Show(bool delivered, const std::string& words);
    Status status() const { return status_; }
    // The dot's fill colour for the current status.
    QColor colour() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Status status_ = Status::None;
};

}  // namespace client
