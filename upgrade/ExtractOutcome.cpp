#include "upgrade/ExtractOutcome.h"

namespace qm {

namespace {

std::string ReasonOf(int exitCode) {
    switch (exitCode) {
    case 0:
        return "";
    case 1:
        return "更新包已损坏";
    case 3:
        return "更新包含有不安全的文件路径，已拒绝解压";
    case 4:
        return "更新包超出解压限制";
    case 5:
        return "磁盘空间不足";
    case 6:
    case kExtractTimedOut:
        return "解压超时";
    case 7:
        return "无法写入更新文件";
    case 2:
    case kExtractNotStarted:
        return "无法运行解压工具";
    case kExtractCrashed:
        return "解压工具异常退出";
    case kExtractStopped:
        return "程序正在退出，解压已取消";
    case kExtractNotPlaced:
        return "无法替换安装文件，已恢复原有文件";
    case kExtractNoStaging:
        return "无法清理或创建解压临时文件夹";
    case kExtractNotUndone:
        return "无法替换安装文件，恢复原有文件也失败了，请重新安装";
    default:
        return "解压失败（代码 " + std::to_string(exitCode) + "）";
    }
}

} // namespace

TExtractOutcome ExtractOutcomeOf(int exitCode, std::string detail) {
    if (exitCode == 0)
        return Success();
    return Failure(ReasonOf(exitCode), std::move(detail), exitCode);
}

} // namespace qm
