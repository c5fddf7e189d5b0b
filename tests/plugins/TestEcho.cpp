// A plug-in for the script bridge tests, loaded through the real bus. Its request counter is
// static data of the library, so a fresh load shows as a counter that starts again.
#include "corvane/Errors.h"
#include "corvane/HandleTable.h"
#include "corvane/Plugin.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using corvane::TBSONDocument;

int requestsSinceLoad = 0;

constexpr const char* kResolveLocation = "TTestEchoPlugin.REQ_3(const req, res: TBSONDocument)";
constexpr const char* kDestroyLocation = "TTestEchoPlugin.REQ_4(const req, res: TBSONDocument)";

const char* KindName(corvane::TBSONItemKind kind) {
    switch (kind) {
    case corvane::TBSONItemKind::String:
        return "string";
    case corvane::TBSONItemKind::Int:
        return "int";
    case corvane::TBSONItemKind::Double:
        return "double";
    case corvane::TBSONItemKind::Boolean:
        return "boolean";
    }
    return "unknown";
}

// An object the library owns and hands out by handle; it leaves the handle table when destroyed.
struct TTestObject {
    std::string label;
    int serial;
    TTestObject(std::string objectLabel, int objectSerial)
        : label(std::move(objectLabel)), serial(objectSerial) {}
    TTestObject(const TTestObject&) = delete;
    TTestObject& operator=(const TTestObject&) = delete;
    ~TTestObject() { corvane::Handles().Unregister(this); }
};

class TTestEchoPlugin : public corvane::TClientPlugin {
public:
    // Echoes every item with its kind, and tells how many requests this load of the library saw.
    void REQ_1(const TBSONDocument& req, TBSONDocument& res) {
        for (int i = 0; i < req.GetCount(); ++i) {
            const corvane::TBSONItem& item = req.GetItem(i);
            res.SetValue(item.Clone());
            res.SetString("kind_" + item.Name(), KindName(item.Kind()));
        }
        res.SetInteger("item_count", req.GetCount());
        res.SetInteger("requests_since_load", ++requestsSinceLoad);
        if (req.HasItem("n"))
            res.SetInteger("n_as_int", req.GetValue("n").AsInteger());
    }

    // Creates an object and answers its handle.
    void REQ_2(const TBSONDocument& req, TBSONDocument& res) {
        const std::string label = req.HasItem("label") ? req.GetValue("label").AsString() : std::string();
        objects_.push_back(std::make_unique<TTestObject>(label, ++lastSerial_));
        res.SetInteger("inst",
                       corvane::Handles().Register(objects_.back().get(), corvane::kHandleTestObject));
    }

    // Reads the object behind "inst".
    void REQ_3(const TBSONDocument& req, TBSONDocument& res) {
        const auto* object = static_cast<const TTestObject*>(
            corvane::Handles().Resolve(req, "inst", corvane::kHandleTestObject, kResolveLocation));
        res.SetString("label", object->label);
        res.SetInteger("serial", object->serial);
    }

    // Destroys the object behind "inst"; its handle goes stale.
    void REQ_4(const TBSONDocument& req, TBSONDocument& res) {
        const void* object =
            corvane::Handles().Resolve(req, "inst", corvane::kHandleTestObject, kDestroyLocation);
        std::erase_if(objects_, [object](const auto& owned) { return owned.get() == object; });
        res.SetInteger("live_objects", static_cast<int>(objects_.size()));
    }

    // A fixed answer for measuring round trips.
    void REQ_5(const TBSONDocument&, TBSONDocument& res) {
        res.SetInteger("id", 1001);
        res.SetInteger("width", 640);
        res.SetInteger("height", 480);
        res.SetDouble("scale", 1.25);
        res.SetDouble("ratio", 0.5);
        res.SetString("title", "bench page");
        res.SetString("state", "ready");
    }

protected:
    std::span<const corvane::TPublishedMethod> PublishedMethods() const noexcept override {
        static const corvane::TPublishedMethod methods[] = {
            CORVANE_PUBLISH(TTestEchoPlugin, REQ_1), CORVANE_PUBLISH(TTestEchoPlugin, REQ_2),
            CORVANE_PUBLISH(TTestEchoPlugin, REQ_3), CORVANE_PUBLISH(TTestEchoPlugin, REQ_4),
            CORVANE_PUBLISH(TTestEchoPlugin, REQ_5),
        };
        return methods;
    }

private:
    std::vector<std::unique_ptr<TTestObject>> objects_;
    int lastSerial_ = 0;
};

} // namespace

CORVANE_EXPORT_PLUGIN(TTestEchoPlugin)
