#include "skellow/XmlFile.h"

#include "common/FileBytes.h"
#include "common/FileReplace.h"
#include "corvane/Errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qm::skellow {

namespace {

const xmlChar* X(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

struct TXmlFree {
    void operator()(xmlChar* text) const noexcept { xmlFree(text); }
};

constexpr int kReadOptions = XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

} // namespace

TXmlDoc NewGbDocument(const char* rootName) {
    TXmlDoc doc(xmlNewDoc(X("1.0")));
    if (!doc)
        throw std::bad_alloc();
    doc->encoding = xmlStrdup(X("gb2312"));
    xmlDocSetRootElement(doc.get(), xmlNewDocNode(doc.get(), nullptr, X(rootName), nullptr));
    return doc;
}

TXmlDoc LoadXmlFile(const std::string& fileName) {
    const TResult<std::string> read = ReadFileBytes(fileName);
    if (!read)
        throw corvane::ETax(corvane::FormatText(read.Detail() == "open" ? "文件(%s)无法打开：%s" : "文件(%s)无法读取：%s",
                                                fileName, read.Reason()),
                            "LoadXmlFile");
    const std::string& bytes = *read;
    TXmlDoc doc(
        xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), fileName.c_str(), nullptr, kReadOptions));
    if (!doc || xmlDocGetRootElement(doc.get()) == nullptr) {
        const xmlError* error = xmlGetLastError();
        std::string reason = error && error->message ? error->message : "没有根元素";
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' '))
            reason.pop_back();
        throw corvane::ETax(corvane::FormatText("文件(%s)不是有效的XML：%s", fileName, reason),
                            "LoadXmlFile");
    }
    return doc;
}

std::string XmlFileBytes(xmlDoc* doc) {
    const char* encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "gb2312";
    xmlChar* memory = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &memory, &size, encoding, 1);
    const std::unique_ptr<xmlChar, TXmlFree> owned(memory);
    if (memory == nullptr || size <= 0)
        throw corvane::ETax(corvane::FormatText("XML文档无法以%s编码写出", encoding), "XmlFileBytes");
    // A line feed byte never occurs inside a multi-byte character of the encodings used here (GB2312,
    // GBK, UTF-8), so the bytes can take their CR LF directly.
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size) + static_cast<std::size_t>(size) / 16);
    for (int i = 0; i < size; ++i) {
        if (memory[i] == '\n' && (i == 0 || memory[i - 1] != '\r'))
            bytes += '\r';
        bytes += static_cast<char>(memory[i]);
    }
    return bytes;
}

void ReplaceWholeFile(const std::string& fileName, std::string_view bytes, bool durable) {
    if (durable) {
        if (const auto failure = ReplaceFileContent(ResolvedTarget(fileName), bytes))
            throw corvane::ETax(
                corvane::FormatText("文件(%s)无法写入：%s", fileName, std::strerror(failure->error)),
                "ReplaceWholeFile");
        return;
    }
    const std::string temporary = fileName + ".part";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw corvane::ETax(corvane::FormatText("文件(%s)无法创建：%s", temporary, std::strerror(errno)),
                            "ReplaceWholeFile");
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            error = errno;
            break;
        }
        done += static_cast<std::size_t>(count);
    }
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(temporary.c_str(), fileName.c_str()) != 0)
        error = errno;
    if (error != 0) {
        std::remove(temporary.c_str());
        throw corvane::ETax(corvane::FormatText("文件(%s)无法写入：%s", fileName, std::strerror(error)),
                            "ReplaceWholeFile");
    }
}

xmlNode* ChildElement(xmlNode* parent, const char* name) {
    for (xmlNode* child = parent ? parent->children : nullptr; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && xmlStrcmp(child->name, X(name)) == 0)
            return child;
    }
    return nullptr;
}

std::string NodeText(const xmlNode* node) {
    if (node == nullptr)
        return {};
    const std::unique_ptr<xmlChar, TXmlFree> text(xmlNodeGetContent(node));
    return text ? reinterpret_cast<const char*>(text.get()) : std::string();
}

std::string Attribute(const xmlNode* node, const char* name) {
    const std::unique_ptr<xmlChar, TXmlFree> value(xmlGetProp(node, X(name)));
    return value ? reinterpret_cast<const char*>(value.get()) : std::string();
}

} // namespace qm::skellow
