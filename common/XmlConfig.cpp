#include "common/XmlConfig.h"

#include "common/FileBytes.h"
#include "common/FileReplace.h"
#include "common/Paths.h"
#include "common/TextTrim.h"
#include "common/XmlExternalContent.h"
#include "corvane/Errors.h"
#include "corvane/TextCase.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <fcntl.h>
#include <libxml/encoding.h>
#include <libxml/parser.h>
#include <libxml/xmlIO.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlsave.h>
#include <new>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qm {
namespace {

constexpr const char* kOpenLocation = "TXmlConfig.Open(FileName: string)";
constexpr const char* kSaveLocation = "TXmlConfig.Save";
constexpr const char* kWriteStringLocation = "TXmlConfig.WriteString(Key, Value: string)";
constexpr const char* kWriteIntegerLocation = "TXmlConfig.WriteInteger(Key: string; Value: Integer)";
constexpr const char* kWriteFloatLocation = "TXmlConfig.WriteFloat(Key: string; Value: Double)";

// What a file created here looks like before its first key is written.
constexpr const char* kNewVersion = "1.0";
constexpr const char* kNewEncoding = "gb2312";
constexpr const char* kNewRoot = "params";

// NOBLANKS drops the indentation between elements so that the whole file is indented afresh on save;
// the parser reports to us, never to stderr, and never reaches for the network.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOBLANKS;

struct TParserCtxtDeleter {
    void operator()(xmlParserCtxt* parser) const noexcept { xmlFreeParserCtxt(parser); }
};
struct TXmlCharDeleter {
    void operator()(xmlChar* text) const noexcept { xmlFree(text); }
};
struct TBufferDeleter {
    void operator()(xmlBuffer* buffer) const noexcept { xmlBufferFree(buffer); }
};
struct TSaveCtxtDeleter {
    void operator()(xmlSaveCtxt* save) const noexcept { xmlSaveClose(save); }
};
struct TOutputBufferDeleter {
    void operator()(xmlOutputBuffer* output) const noexcept { xmlOutputBufferClose(output); }
};
using TBufferPtr = std::unique_ptr<xmlBuffer, TBufferDeleter>;

const xmlChar* XmlText(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}
const xmlChar* XmlText(const std::string& text) {
    return XmlText(text.c_str());
}
const char* CText(const xmlChar* text) {
    return reinterpret_cast<const char*>(text);
}

std::string OsErrorText(int error) {
    return std::system_category().message(error);
}

std::string TrimBlanks(std::string_view text) {
    return TrimmedCopy(text, kBlanksAndControls);
}

// Parses the whole text as a number; a leading "+" is accepted like a leading "-".
template <class T> bool ParseNumber(std::string_view text, T& value) {
    if (text.size() > 1 && text.front() == '+' && text[1] != '-')
        text.remove_prefix(1);
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && stop == end;
}

// While it lives, whatever libxml2 reports on this thread is kept here instead of being printed: the
// parser's own errors, and the encoders' errors, which the parser options cannot silence.
class TXmlErrorTrap {
public:
    TXmlErrorTrap() : oldHandler_(xmlStructuredError), oldContext_(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(this, &TXmlErrorTrap::Collect);
    }
    ~TXmlErrorTrap() { xmlSetStructuredErrorFunc(oldContext_, oldHandler_); }
    TXmlErrorTrap(const TXmlErrorTrap&) = delete;
    TXmlErrorTrap& operator=(const TXmlErrorTrap&) = delete;

    // The first error is the cause; what the parser says after it is mostly its consequence.
    bool Caught() const noexcept { return caught_; }
    const std::string& Message() const noexcept { return message_; }
    int Line() const noexcept { return line_; }

private:
    static void Collect(void* self, xmlErrorPtr error) {
        auto* trap = static_cast<TXmlErrorTrap*>(self);
        if (trap->caught_ || !error || error->level < XML_ERR_ERROR)
            return;
        trap->caught_ = true;
        trap->message_ = error->message ? TrimBlanks(error->message) : std::string();
        trap->line_ = error->line;
    }

    xmlStructuredErrorFunc oldHandler_;
    void* oldContext_;
    bool caught_ = false;
    std::string message_;
    int line_ = 0;
};

std::string NodeText(const xmlNode* node) {
    const std::unique_ptr<xmlChar, TXmlCharDeleter> content(xmlNodeGetContent(node));
    return content ? std::string(CText(content.get())) : std::string();
}

// Valid UTF-8 made only of characters XML 1.0 allows: anything else would be written into a file that
// no parser, ours included, reads back.
bool IsXmlText(const std::string& text) {
    const auto* cursor = XmlText(text);
    std::size_t remaining = text.size();
    while (remaining > 0) {
        int length = static_cast<int>(std::min<std::size_t>(remaining, 4));
        const int c = xmlGetUTF8Char(cursor, &length);
        if (c < 0 || length <= 0)
            return false;
        const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                             (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
        if (!allowed)
            return false;
        cursor += length;
        remaining -= static_cast<std::size_t>(length);
    }
    return true;
}

TXmlConfig::TDocPtr NewDocument() {
    TXmlConfig::TDocPtr doc(xmlNewDoc(XmlText(kNewVersion)));
    if (!doc)
        throw std::bad_alloc();
    doc->encoding = xmlStrdup(XmlText(kNewEncoding));
    xmlNode* root = xmlNewDocNode(doc.get(), nullptr, XmlText(kNewRoot), nullptr);
    if (!root || !doc->encoding)
        throw std::bad_alloc();
    xmlDocSetRootElement(doc.get(), root);
    return doc;
}

std::string ReadDocumentBytes(const std::string& path, const std::string& fileName) {
    TResult<std::string> bytes = ReadFileBytes(path);
    if (!bytes)
        throw corvane::ETax(corvane::FormatText(bytes.Detail() == "open" ? "Cannot open file \"%s\". %s"
                                                                         : "Cannot read file \"%s\". %s",
                                                fileName, bytes.Reason()),
                            kOpenLocation);
    return std::move(*bytes);
}

// Loads the file with the encoding it declares; a file that does not parse raises the parser's own
// message with the place it stopped.
TXmlConfig::TDocPtr LoadDocument(const std::string& path, const std::string& fileName) {
    const std::string bytes = ReadDocumentBytes(path, fileName);
    if (bytes.size() > INT_MAX)
        throw corvane::ETax(corvane::FormatText("File \"%s\" is too large", fileName), kOpenLocation);
    const TXmlErrorTrap trap;
    const std::unique_ptr<xmlParserCtxt, TParserCtxtDeleter> parser(xmlNewParserCtxt());
    if (!parser)
        throw std::bad_alloc();
    TXmlConfig::TDocPtr doc(xmlCtxtReadMemory(parser.get(), bytes.data(), static_cast<int>(bytes.size()),
                                              fileName.c_str(), nullptr, kParseOptions));
    if (doc && DeclaresExternalContent(doc.get()))
        throw corvane::ETax(corvane::FormatText("File \"%s\" refers to external content", fileName),
                            kOpenLocation);
    if (doc && parser->wellFormed && xmlDocGetRootElement(doc.get()))
        return doc;
    std::string message = trap.Message();
    int line = trap.Line();
    if (message.empty()) {
        const xmlError* error = xmlCtxtGetLastError(parser.get());
        message = error && error->message ? TrimBlanks(error->message) : std::string("Document is empty");
        line = error ? error->line : 0;
    }
    throw corvane::ETax(line > 0 ? corvane::FormatText("%s (%s, line %d)", message, fileName, line)
                                 : corvane::FormatText("%s (%s)", message, fileName),
                        kOpenLocation);
}

// The XML declaration libxml2 would write, for the document's own version and encoding.
std::string Declaration(const xmlDoc* doc) {
    std::string text = "<?xml version=\"";
    text += doc->version ? CText(doc->version) : kNewVersion;
    text += '"';
    if (doc->encoding) {
        text += " encoding=\"";
        text += CText(doc->encoding);
        text += '"';
    }
    if (doc->standalone == 1)
        text += " standalone=\"yes\"";
    else if (doc->standalone == 0)
        text += " standalone=\"no\"";
    text += "?>\n";
    return text;
}

// Line breaks become CR LF. This is done on the UTF-8 text, before encoding, so that it is right for
// every encoding, multi-byte ones included.
std::string WithCrLf(std::string_view text) {
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            result += '\r';
        result += text[i];
    }
    return result;
}

// The whole document as UTF-8 text with CR LF line breaks, the declaration naming its encoding.
std::string DocumentText(xmlDoc* doc) {
    const TBufferPtr buffer(xmlBufferCreate());
    if (!buffer)
        throw std::bad_alloc();
    const TXmlErrorTrap trap;
    std::unique_ptr<xmlSaveCtxt, TSaveCtxtDeleter> save(
        xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_FORMAT | XML_SAVE_NO_DECL));
    if (!save)
        throw std::bad_alloc();
    const long written = xmlSaveDoc(save.get(), doc);
    const int closed = xmlSaveClose(save.release());
    if (written < 0 || closed < 0 || trap.Caught())
        throw corvane::ETax(
            corvane::FormatText("Cannot serialise the configuration document: %s", trap.Message()),
            kSaveLocation);
    const std::string_view body(CText(xmlBufferContent(buffer.get())),
                                static_cast<std::size_t>(xmlBufferLength(buffer.get())));
    return WithCrLf(Declaration(doc) + std::string(body));
}

// The text in the document's encoding; characters the encoding lacks become character references.
std::string Encoded(const std::string& text, const char* encoding, const std::string& fileName) {
    if (!encoding || corvane::SameText(encoding, "UTF-8"))
        return text;
    const TXmlErrorTrap trap;
    xmlCharEncodingHandler* handler = xmlFindCharEncodingHandler(encoding);
    if (!handler)
        throw corvane::ETax(
            corvane::FormatText("Cannot write file \"%s\". Unsupported encoding \"%s\"", fileName, encoding),
            kSaveLocation);
    const TBufferPtr buffer(xmlBufferCreate());
    xmlOutputBuffer* output = buffer ? xmlOutputBufferCreateBuffer(buffer.get(), handler) : nullptr;
    if (!output) {
        xmlCharEncCloseFunc(handler);
        throw std::bad_alloc();
    }
    std::unique_ptr<xmlOutputBuffer, TOutputBufferDeleter> writer(output);
    const int written = xmlOutputBufferWrite(writer.get(), static_cast<int>(text.size()), text.c_str());
    const int closed = xmlOutputBufferClose(writer.release()); // flushes, then frees the handler
    if (written < 0 || closed < 0 || trap.Caught())
        throw corvane::ETax(
            corvane::FormatText("Cannot write file \"%s\". The text cannot be encoded as \"%s\". %s",
                                fileName, encoding, trap.Message()),
            kSaveLocation);
    return std::string(CText(xmlBufferContent(buffer.get())),
                       static_cast<std::size_t>(xmlBufferLength(buffer.get())));
}

[[noreturn]] void RaiseCreateError(const std::string& fileName, int error) {
    throw corvane::ETax(corvane::FormatText("Cannot create file \"%s\". %s", fileName, OsErrorText(error)),
                        kSaveLocation);
}

[[noreturn]] void RaiseWriteError(const std::string& fileName, int error) {
    throw corvane::ETax(corvane::FormatText("Cannot write file \"%s\". %s", fileName, OsErrorText(error)),
                        kSaveLocation);
}

// Writes the bytes to a temporary file in the same folder and renames it over the file, so that the
// old content stays whole until the new content is completely on disk.
void ReplaceFile(const std::string& fileName, const std::string& bytes) {
    const std::string target = ResolvedTarget(ToNativePath(fileName));
    // A read-only file stays as it is, although its folder would let us replace it.
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0)
        RaiseCreateError(fileName, errno);

    if (const std::optional<TReplaceFailure> failure = ReplaceFileContent(target, bytes)) {
        if (failure->creating)
            RaiseCreateError(fileName, failure->error);
        RaiseWriteError(fileName, failure->error);
    }
}

} // namespace

TXmlConfig::TXmlConfig() : document_(NewDocument()) {}

TXmlConfig::~TXmlConfig() = default;

void TXmlConfig::Open(const std::string& fileName) {
    fileName_ = fileName;
    loadError_.clear();
    document_ = NewDocument();
    if (!FileExists(fileName))
        return;
    try {
        document_ = LoadDocument(ToNativePath(fileName), fileName);
    } catch (const corvane::ETax& error) {
        // Keep the empty document for reads, and remember why the file must not be written over.
        loadError_ = error.Message();
        throw;
    }
}

xmlNode* TXmlConfig::FindKey(const std::string& key) const {
    const xmlNode* root = xmlDocGetRootElement(document_.get());
    if (!root)
        return nullptr;
    for (xmlNode* child = root->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && corvane::SameText(CText(child->name), key))
            return child;
    }
    return nullptr;
}

std::string TXmlConfig::ReadString(const std::string& key) {
    const xmlNode* node = FindKey(key);
    return node ? NodeText(node) : std::string();
}

std::int32_t TXmlConfig::ReadInteger(const std::string& key) {
    std::int32_t value = 0;
    return ParseNumber(TrimBlanks(ReadString(key)), value) ? value : 0;
}

double TXmlConfig::ReadFloat(const std::string& key) {
    std::string text = TrimBlanks(ReadString(key));
    std::replace(text.begin(), text.end(), ',', '.');
    double value = 0.0;
    return ParseNumber(text, value) ? value : 0.0;
}

void TXmlConfig::WriteString(const std::string& key, const std::string& value) {
    if (!IsXmlText(value))
        throw corvane::ETax(
            corvane::FormatText("The value of \"%s\" holds characters an XML file cannot carry", key),
            kWriteStringLocation);
    SetValue(key, value, kWriteStringLocation);
}

void TXmlConfig::WriteInteger(const std::string& key, std::int32_t value) {
    SetValue(key, std::to_string(value), kWriteIntegerLocation);
}

void TXmlConfig::WriteFloat(const std::string& key, double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    SetValue(key, std::string(buffer.data(), result.ptr), kWriteFloatLocation);
}

void TXmlConfig::SetValue(const std::string& key, const std::string& text, const char* location) {
    // The key becomes an element name: it must be one, or the file could never be read again.
    if (xmlValidateNCName(XmlText(key), 0) != 0)
        throw corvane::ETax(corvane::FormatText("\"%s\" is not a valid key name", key), location);
    xmlNode* root = xmlDocGetRootElement(document_.get());
    xmlNode* node = FindKey(key);
    if (!node) {
        node = xmlNewDocNode(document_.get(), nullptr, XmlText(key), nullptr);
        if (!node || !xmlAddChild(root, node))
            throw std::bad_alloc();
    }
    while (node->children) {
        xmlNode* child = node->children;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
    // A text node: the value is escaped when written, never parsed for entities.
    xmlNode* textNode = xmlNewDocText(document_.get(), XmlText(text));
    if (!textNode || !xmlAddChild(node, textNode))
        throw std::bad_alloc();
    Save();
}

void TXmlConfig::Save() {
    // Writing the empty document over a file that did not load would throw the user's data away.
    if (!loadError_.empty())
        throw corvane::ETax(loadError_, kSaveLocation);
    const std::string text = DocumentText(document_.get());
    ReplaceFile(fileName_, Encoded(text, CText(document_->encoding), fileName_));
}

} // namespace qm
