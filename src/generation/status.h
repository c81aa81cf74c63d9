#pragma once

#include <string>
#include <vector>

namespace mivo {

/// The status label (LabelMess) and progress bar (ProgressBarMake) the Make run reports to.
/// The window implements it with its controls; the command-line maker and the tests use
/// PlainStatus.
class StatusSink {
  public:
    virtual ~StatusSink() = default;
    virtual std::string messageText() const = 0;
    virtual void setMessageText(const std::string& text) = 0;
    virtual double barMin() const = 0;
    virtual double barMax() const = 0;
    virtual double barValue() const = 0;
    virtual void setBarMin(double value) = 0;
    virtual void setBarMax(double value) = 0;
    virtual void setBarValue(double value) = 0;
    /// Shows the label and bar as they are now, before returning, without processing input.
    virtual void repaint() = 0;
};

/// Shows a message (when inblnMess) and moves the bar: type 1 sets the value clamped to
/// [Min, Max], type 2 steps it forward (at most Max), any other type leaves it.
void mainSetStatus(StatusSink& sink, bool inblnMess, const std::string& instrMess, int inintBarType,
                   int inintBarValue);

/// A status line kept as plain state; remembers every message shown, in order.
class PlainStatus : public StatusSink {
  public:
    std::string messageText() const override { return message_; }
    void setMessageText(const std::string& text) override;
    double barMin() const override { return min_; }
    double barMax() const override { return max_; }
    double barValue() const override { return value_; }
    void setBarMin(double value) override { min_ = value; }
    void setBarMax(double value) override { max_ = value; }
    void setBarValue(double value) override { value_ = value; }
    void repaint() override {}

    const std::vector<std::string>& messages() const { return messages_; }

  protected:
    std::string message_;
    std::vector<std::string> messages_;
    double min_ = 0;
    double max_ = 100;
    double value_ = 0;
};

} // namespace mivo
