#include "skellow/UsageShipper.h"

#include "corvane/TransferStop.h"
#include "skellow/UsageJson.h"
#include "skellow/UsageRecorder.h"
#include "skellow/XmlFile.h"

#include <algorithm>
#include <filesystem>

namespace qm::skellow {

namespace {

const std::pair<const char*, const char*> kResultCodes[] = {
    {"#01", "功能统计：已经调用SetSendComplete"}, {"#02", "功能统计：网络异常"},
    {"#03", "功能统计：发送的数据不对"},          {"#04", "功能统计：InternetOpen"},
    {"#05", "功能统计：HttpQueryInfo"},           {"#06", "功能统计：连接服务器时网络异常"},
};

bool Stopped(const corvane::TStopToken* stop) {
    return stop != nullptr && stop->Stopped();
}

// A folder that is missing or cannot be read lists nothing; a listing that breaks off lists what
// it found so far (the rest waits for the next turn).
std::vector<std::string> StatisticsFiles(const std::string& directory) {
    std::vector<std::string> files;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code kindError;
        if (entry->path().extension() == ".xml" && !entry->is_directory(kindError))
            files.push_back(entry->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

std::vector<std::string> ResultCodeLogLines(const std::string& result) {
    std::vector<std::string> lines;
    for (const auto& [code, text] : kResultCodes) {
        if (result.find(code) != std::string::npos)
            lines.emplace_back(text);
    }
    return lines;
}

TUsageShipper::TUsageShipper(std::string directory, TSenderFactory sender, TLogWriter log)
    : directory_(std::move(directory)), sender_(std::move(sender)), log_(std::move(log)) {}

void TUsageShipper::ShipAll(corvane::TStopToken* stop) {
    for (const std::string& file : StatisticsFiles(directory_)) {
        if (Stopped(stop) || !ShipOne(file, stop))
            return;
    }
}

bool TUsageShipper::ShipOne(const std::string& fileName, corvane::TStopToken* stop) {
    std::string json;
    std::string fileId;
    try {
        TXmlDoc doc = LoadXmlFile(fileName);
        xmlNode* root = xmlDocGetRootElement(doc.get());
        fileId = Attribute(root, "FFileID");
        if (fileId.empty()) {
            // The identifier is on disk before the service sees it, so a second sending of this
            // file (after a crash) carries the same one.
            fileId = NewFileIdentifier();
            xmlSetProp(root, reinterpret_cast<const xmlChar*>("FFileID"),
                       reinterpret_cast<const xmlChar*>(fileId.c_str()));
            ReplaceWholeFile(fileName, XmlFileBytes(doc.get()), false);
        }
        json = StatisticsJson(doc.get());
    } catch (const std::exception& error) {
        log_(std::string("功能统计：统计文件无法读取，已另存为.bad：") + error.what());
        SetAsideBrokenFile(fileName);
        return true;
    }

    try {
        const std::unique_ptr<ISendLog> sender = sender_(stop);
        if (!sender->CanSend())
            return false;
        const std::string result = sender->SendLog(json, fileId);
        if (Stopped(stop) && result.find("#00") == std::string::npos) {
            // Cut short on purpose (the plug-in is going away): not a network problem.
            log_("功能统计：发送已中止，统计文件留待下次发送");
            return false;
        }
        bool shipped = false;
        if (result.find("#00") != std::string::npos) {
            sender->SetSendComplete();
            std::error_code error;
            std::filesystem::remove(fileName, error);
            shipped = true;
        }
        const std::vector<std::string> lines = ResultCodeLogLines(result);
        for (const std::string& line : lines)
            log_(line);
        if (!shipped && lines.empty())
            log_("功能统计：日志服务的应答无法识别：" + result.substr(0, 200));
        return shipped;
    } catch (const std::exception& error) {
        log_(std::string("功能统计：发送失败：") + error.what());
        return false;
    }
}

} // namespace qm::skellow
