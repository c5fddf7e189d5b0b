#include "skellow/UsageRecorder.h"

#include "common/Paths.h"
#include "corvane/Errors.h"
#include "common/TextTrim.h"
#include "skellow/XmlFile.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <random>

namespace qm::skellow {

namespace {

const xmlChar* X(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}
const xmlChar* X(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

std::string LocalTimeText(std::time_t time, const char* format) {
    std::tm local{};
    localtime_r(&time, &local);
    char text[32];
    const std::size_t length = std::strftime(text, sizeof text, format, &local);
    return std::string(text, length);
}

std::string ZeroWhenBlank(const std::string& text) {
    return TrimmedCopy(text, kBlanksAndControls).empty() ? std::string("0") : text;
}

// The product identifier as an integer written in decimal; text that is not one counts as 0.
std::string ProductIdText(const std::string& text) {
    const std::string trimmed = TrimmedCopy(text, kBlanksAndControls);
    long long value = 0;
    const auto [end, error] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (error != std::errc() || end != trimmed.data() + trimmed.size() || value < INT32_MIN ||
        value > INT32_MAX)
        value = 0;
    return std::to_string(value);
}

// "FOperationCount" as a number; missing or not numeric counts as 0.
long long CountOf(const xmlNode* functions) {
    const std::string text = TrimmedCopy(Attribute(functions, "FOperationCount"), kBlanksAndControls);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0 ? value : 0;
}

xmlNode* AppendFunctions(xmlNode* day, const std::string& key) {
    xmlNode* functions = xmlNewChild(day, nullptr, X("FFunctions"), nullptr);
    xmlNewProp(functions, X("FFunctionKey"), X(key));
    xmlNewProp(functions, X("FOperationCount"), X("1"));
    return functions;
}

void AppendDay(xmlNode* data, const std::string& day, const std::string& key) {
    xmlNode* days = xmlNewChild(data, nullptr, X("FOperationDays"), nullptr);
    xmlNewProp(days, X("FOperationDay"), X(day));
    AppendFunctions(days, key);
}

void CountInto(xmlNode* data, const std::string& day, const std::string& key) {
    for (xmlNode* days = data->children; days; days = days->next) {
        if (days->type != XML_ELEMENT_NODE || xmlStrcmp(days->name, X("FOperationDays")) != 0 ||
            Attribute(days, "FOperationDay") != day)
            continue;
        for (xmlNode* functions = days->children; functions; functions = functions->next) {
            if (functions->type == XML_ELEMENT_NODE && xmlStrcmp(functions->name, X("FFunctions")) == 0 &&
                Attribute(functions, "FFunctionKey") == key) {
                xmlSetProp(functions, X("FOperationCount"), X(std::to_string(CountOf(functions) + 1)));
                return;
            }
        }
        AppendFunctions(days, key);
        return;
    }
    AppendDay(data, day, key);
}

// The user's "Data" element: the first one whose "FBKUser" equals the user exactly.
xmlNode* UserData(xmlNode* root, const std::string& user) {
    for (xmlNode* data = root->children; data; data = data->next) {
        if (data->type == XML_ELEMENT_NODE && xmlStrcmp(data->name, X("Data")) == 0 &&
            NodeText(ChildElement(data, "FBKUser")) == user)
            return data;
    }
    return nullptr;
}

TXmlDoc NewStatisticsDocument() {
    TXmlDoc doc = NewGbDocument("Behavior");
    xmlNewProp(xmlDocGetRootElement(doc.get()), X("FFileID"), X(NewFileIdentifier()));
    return doc;
}

} // namespace

std::string NewFileIdentifier() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    char text[33];
    std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(generator()),
                  static_cast<unsigned long long>(generator()));
    return text;
}

void SetAsideBrokenFile(const std::string& fileName) {
    std::error_code error;
    std::filesystem::rename(fileName, fileName + ".bad", error);
    if (error)
        std::filesystem::remove(fileName, error);
}

TUsageRecorder::TUsageRecorder(std::string directory, TRegistrationFactory registration, TLogWriter log,
                               TClock clock)
    : directory_(std::move(directory)), registration_(std::move(registration)), log_(std::move(log)),
      clock_(std::move(clock)) {
    EnsureDir(directory_);
}

void TUsageRecorder::Record(const TUsageEvent& event) {
    const std::time_t now = clock_();
    const std::string user = event.logName.empty() ? std::string("0") : event.logName;
    const std::string day = LocalTimeText(now, "%Y%m%d");

    std::string registrationNumber;
    std::string additionalInfo;
    try {
        registration_()->GetSpecNo(registrationNumber, additionalInfo);
    } catch (const std::exception& error) {
        // The worker shows nothing: the problem goes to the log and the values count as blank.
        log_(std::string("功能统计：注册号组件出错：") + error.what());
        registrationNumber.clear();
        additionalInfo.clear();
    }
    registrationNumber = ZeroWhenBlank(registrationNumber);
    additionalInfo = ZeroWhenBlank(additionalInfo);

    TXmlDoc doc;
    std::string path = directory_ + currentFileName_;
    std::error_code error;
    std::uintmax_t size = 0;
    if (pending_ && pending_->path == path) {
        size = pending_->bytes.size();
    } else {
        Flush();
        size = std::filesystem::file_size(path, error);
    }
    if (!error && size < kRotationBytes) {
        if (pending_) {
            doc = std::move(pending_->doc);
            pending_.reset();
        } else {
            try {
                doc = LoadXmlFile(path);
            } catch (const std::exception& loadError) {
                log_(std::string("功能统计：统计文件无法读取，已另存为.bad：") + loadError.what());
                SetAsideBrokenFile(path);
            }
        }
    } else if (!error) {
        Flush();
        currentFileName_ = RotatedName(now);
        path = directory_ + currentFileName_;
    }
    if (!doc)
        doc = NewStatisticsDocument();

    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (Attribute(root, "FFileID").empty())
        xmlSetProp(root, X("FFileID"), X(NewFileIdentifier()));
    if (xmlNode* data = UserData(root, user)) {
        CountInto(data, day, event.functionKey);
    } else {
        xmlNode* added = xmlNewChild(root, nullptr, X("Data"), nullptr);
        const std::pair<const char*, std::string> fields[] = {
            {"FProductID", ProductIdText(event.productId)},
            {"FProductVer", event.productVer},
            {"FProductRegNO", registrationNumber},
            {"FAccountName", "0"},
            {"FAccountUser", "0"},
            {"FBKUser", user},
            {"FAdditionalInfo", additionalInfo},
        };
        for (const auto& [name, value] : fields)
            xmlNewTextChild(added, nullptr, X(name), X(value));
        AppendDay(added, day, event.functionKey);
    }
    std::string bytes = XmlFileBytes(doc.get());
    pending_ = std::make_unique<TPending>(TPending{path, std::move(doc), std::move(bytes)});
}

void TUsageRecorder::Flush() {
    if (!pending_)
        return;
    // The folder may have been removed since the last save (by the user, a clean-up tool).
    EnsureDir(directory_);
    ReplaceWholeFile(pending_->path, pending_->bytes, false);
    pending_.reset();
}

TUsageRecorder::~TUsageRecorder() {
    try {
        Flush();
    } catch (const std::exception& error) {
        log_(std::string("功能统计：使用记录无法保存：") + error.what());
    }
}

std::string TUsageRecorder::RotatedName(std::time_t now) const {
    const std::string stamp = LocalTimeText(now, "%Y%m%d%H%M%S");
    std::string name = stamp + "_" + kFirstFileName;
    for (int n = 2; FileExists(directory_ + name); ++n)
        name = stamp + "_" + std::to_string(n) + "_" + kFirstFileName;
    return name;
}

} // namespace qm::skellow
