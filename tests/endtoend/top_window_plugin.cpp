// A plug-in that opens a top-level window of its own beside the desk, the way a download window or
// a plug-in's dialog stands beside it. The window goes with the plug-in.
#include "corvane/Plugin.h"

#include <QWidget>
#include <memory>

namespace {

class TTopWindowPlugin : public corvane::TClientPlugin {
public:
    // Shows the window at "left"/"top" with "width" x "height" and the caption "caption".
    void REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
        if (!window_)
            window_ = std::make_unique<QWidget>();
        window_->setWindowTitle(QString::fromStdString(req.GetValue("caption").AsString()));
        window_->setGeometry(req.GetValue("left").AsInteger(), req.GetValue("top").AsInteger(),
                             req.GetValue("width").AsInteger(), req.GetValue("height").AsInteger());
        window_->show();
        res.SetInteger("visible", window_->isVisible() ? 1 : 0);
    }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {CORVANE_PUBLISH(TTopWindowPlugin, REQ_1)};
        return methods;
    }

private:
    std::unique_ptr<QWidget> window_;
};

} // namespace

CORVANE_EXPORT_PLUGIN(TTopWindowPlugin)
