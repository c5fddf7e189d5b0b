// Stands in for the channels plug-in: keeps every usage event it receives and tells them back.
#include <string>
#include <vector>

#include "corvane/Plugin.h"

namespace {

std::vector<corvane::TBSONDocument> events;

class TChannelsProbe : public corvane::TClientPlugin {
public:
    void REQ_301(const corvane::TBSONDocument& req, corvane::TBSONDocument&) { events.push_back(req); }

    // "count" and the items of event "index" (default: the last one).
    void REQ_1(const corvane::TBSONDocument& req, corvane::TBSONDocument& res) {
        res.SetInteger("count", static_cast<std::int32_t>(events.size()));
        if (events.empty())
            return;
        const auto* index = req.Find("index");
        const auto& event = events.at(index ? static_cast<std::size_t>(index->AsInteger()) : events.size() - 1);
        for (int i = 0; i < event.GetCount(); ++i)
            res.SetValue(event.GetItem(i).Clone());
    }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {CORVANE_PUBLISH(TChannelsProbe, REQ_301),
                                                           CORVANE_PUBLISH(TChannelsProbe, REQ_1)};
        return methods;
    }
};

} // namespace

CORVANE_EXPORT_PLUGIN(TChannelsProbe)
