#include "tools/tolva/TreeGuard.h"

#include "tools/tolva/EntryPath.h"

#include <deque>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qm::tolva {

namespace {

// Links followed one after another while resolving one target; real packages need one or two.
constexpr int kMaxLinksInARow = 8;

enum class TKind { Missing, Folder, Link, Other };

TKind KindOf(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return TKind::Missing;
    if (S_ISLNK(info.st_mode))
        return TKind::Link;
    return S_ISDIR(info.st_mode) ? TKind::Folder : TKind::Other;
}

std::string ReadLink(const std::string& path) {
    std::string target(4096, '\0');
    const ssize_t size = readlink(path.c_str(), target.data(), target.size());
    target.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
    return target;
}

// A path under the folder built one part at a time, so that each step costs only its own part.
class TWalk {
public:
    void Push(const std::string& part) {
        lengths_.push_back(path_.size());
        path_ += path_.empty() ? part : "/" + part;
    }
    bool Pop() {
        if (lengths_.empty())
            return false;
        path_.resize(lengths_.back());
        lengths_.pop_back();
        return true;
    }
    const std::string& Path() const noexcept { return path_; }

private:
    std::string path_;
    std::vector<std::size_t> lengths_;
};

std::string FolderOf(const std::string& name) {
    const auto slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

// Where `target` leads from `folder`, the way the system will follow it: "" when it stays inside.
std::string Resolve(const std::string& folder, const std::string& target) {
    if (target.empty())
        return "link without a target";
    if (target.front() == '/')
        return "link to an absolute path";
    TWalk walk;
    for (const std::string& part : PathParts(folder))
        walk.Push(part);
    const std::vector<std::string> first = PathParts(target);
    std::deque<std::string> todo(first.begin(), first.end());
    bool missing = false;
    int linksFollowed = 0;
    while (!todo.empty()) {
        const std::string part = std::move(todo.front());
        todo.pop_front();
        if (part == "..") {
            // Once a part is missing, what ".." climbs out of depends on what is made there later.
            if (missing)
                return "link climbing out of a path that does not exist";
            if (!walk.Pop())
                return "link pointing outside the folder";
            continue;
        }
        walk.Push(part);
        if (missing)
            continue;
        const TKind kind = KindOf(walk.Path());
        if (kind == TKind::Missing)
            missing = true;
        if (kind != TKind::Link)
            continue;
        if (++linksFollowed > kMaxLinksInARow)
            return "too many links in a row";
        const std::string next = ReadLink(walk.Path());
        if (next.empty() || next.front() == '/')
            return "link through a link to an absolute path";
        walk.Pop();
        const std::vector<std::string> parts = PathParts(next);
        todo.insert(todo.begin(), parts.begin(), parts.end());
    }
    return "";
}

} // namespace

std::string TTreeGuard::PrepareWrite(const std::string& name) {
    std::string why = ParentsThroughLink(name);
    if (why.empty() && KindOf(name) == TKind::Link)
        unlink(name.c_str());
    return why;
}

std::string TTreeGuard::ParentsThroughLink(const std::string& name) {
    const std::string folder = FolderOf(name);
    if (folder.empty() || realFolders_.contains(folder))
        return "";
    TWalk walk;
    bool missing = false;
    for (const std::string& part : PathParts(folder)) {
        walk.Push(part);
        if (missing || realFolders_.contains(walk.Path())) {
            realFolders_.insert(walk.Path());
            continue;
        }
        const TKind kind = KindOf(walk.Path());
        if (kind == TKind::Link)
            return "through a link";
        if (kind == TKind::Other)
            return ""; // writing under a file fails by itself
        missing = kind == TKind::Missing;
        realFolders_.insert(walk.Path());
    }
    return "";
}

std::string TTreeGuard::RefuseSymlink(const std::string& name, const std::string& target) {
    if (realFolders_.contains(name) || KindOf(name) == TKind::Folder)
        return "link in the place of a folder";
    return Resolve(FolderOf(name), target);
}

std::string TTreeGuard::RefuseHardlink(const std::string& target) {
    std::string why = ParentsThroughLink(target);
    if (!why.empty())
        return why;
    if (KindOf(target) == TKind::Link)
        return "hard link to a symbolic link";
    return "";
}

std::string TTreeGuard::RecheckSymlink(const std::string& name) {
    if (KindOf(name) != TKind::Link)
        return "";
    return Resolve(FolderOf(name), ReadLink(name));
}

} // namespace qm::tolva
