#include "RecordingDesk.h"

#include "common/Configs.h"
#include "common/Paths.h"
#include "corvane/Errors.h"
#include "host/TaxLua.h"
#include "pictures/PngPack.h"

#include <QImage>

namespace {

// The page control's place in the desk container, and the height of its tab strip.
constexpr int kPageControlLeft = 3;
constexpr int kPageControlTop = 18;
constexpr int kTabStripHeight = 24;

int PictureWidth(const char* name) {
    return qm::PngPack().TakePNG(name)->width();
}
int PictureHeight(const char* name) {
    return qm::PngPack().TakePNG(name)->height();
}

} // namespace

#define QM_RECORDING_DESK_REQ(n)                                                                             \
    corvane::TPublishedMethod {                                                                              \
        "REQ_" #n, &corvane::PublishedThunk<TRecordingDesk, &TRecordingDesk::Handle<n>>                      \
    }

std::span<const corvane::TPublishedMethod> TRecordingDesk::PublishedMethods() const noexcept {
    static const corvane::TPublishedMethod methods[] = {
        QM_RECORDING_DESK_REQ(1),   QM_RECORDING_DESK_REQ(2),  QM_RECORDING_DESK_REQ(3),
        QM_RECORDING_DESK_REQ(4),   QM_RECORDING_DESK_REQ(5),  QM_RECORDING_DESK_REQ(6),
        QM_RECORDING_DESK_REQ(10),  QM_RECORDING_DESK_REQ(11), QM_RECORDING_DESK_REQ(103),
        QM_RECORDING_DESK_REQ(207),
    };
    return methods;
}

TRecordingDesk::TRecordingDesk(int width, int height) : desk_(width, height) {
    // The desk container measures its border, title and status bars from its pictures.
    border_ = PictureWidth("border_dot.png");
    titleHeight_ = PictureHeight("top_c.png");
    statusHeight_ = PictureHeight("bottom_c.png");
    const int workAreaHeight = height - 2 * border_;
    pageControl_ = QRect(kPageControlLeft, kPageControlTop, width - 2 * kPageControlLeft,
                         workAreaHeight - statusHeight_ - 20);
    // The bench page fills the page control inside its one-pixel frame, below the tab strip.
    bench_ = QSize(pageControl_.width() - 2, pageControl_.height() - kTabStripHeight - 1);
}

void TRecordingDesk::Serve(std::int32_t number, const corvane::TBSONDocument& req,
                           corvane::TBSONDocument& res) {
    switch (number) {
    case 1:
        logLines_.push_back(req.GetValue("msg").AsString());
        break;
    case 2:
        res.SetInteger("content_height", desk_.height() - 2 * border_ - titleHeight_ - statusHeight_);
        res.SetInteger("content_width", desk_.width() - 2 * border_);
        res.SetInteger("title_height", titleHeight_);
        res.SetInteger("status_height", statusHeight_);
        res.SetInteger("workarea_height", desk_.height() - 2 * border_);
        res.SetInteger("workarea_width", desk_.width() - 2 * border_);
        res.SetInteger("border_pixel", border_);
        break;
    case 3:
        res.SetInteger("height", bench_.height());
        res.SetInteger("width", bench_.width());
        break;
    case 4:
    case 5:
    case 6:
        widgets_.push_back(TWidgetRequest{number, req});
        break;
    case 10: {
        const std::string method = req.GetValue("method").AsString();
        const std::string nameSpace = req.GetValue("namespace").AsString();
        const std::string key = req.GetValue("key").AsString();
        if (method == "get")
            res.SetString("value", shared_.Get(nameSpace, key));
        else if (method == "set")
            shared_.Set(nameSpace, key, req.GetValue("value").AsString());
        break;
    }
    case 11:
        res.SetInteger("type", qm::SysConfig().ReadInteger(qm::ConfigKey::AppType));
        res.SetString("title", qm::SysConfig().ReadString(qm::ConfigKey::AppTitle));
        break;
    case 103: {
        const std::string script = req.GetValue("luaf").AsString();
        if (!qm::FileExists(script))
            throw corvane::EPlugin(corvane::FormatText("文件(%s)不存在！", script),
                                   "TRecordingDesk.REQ_103(const req, res: TBSONDocument)");
        qm::TaxLua().RunFile(script);
        break;
    }
    case 207:
        tabRequests_.push_back(req);
        break;
    default:
        break;
    }
}
