#pragma once

#include "common/NameValueColl.h"

#include <cstdint>
#include <libxml/tree.h>
#include <memory>
#include <string>

namespace qm {

// A name/value store kept in an XML file: each key is a child element of the root, its text the
// value. Keys match element names without regard to ASCII case; the first match wins. Every write
// saves the whole file at once, keeping its declared encoding; files created here declare "gb2312".
class TXmlConfig : public TNameValueColl {
public:
    TXmlConfig();
    ~TXmlConfig() override;
    TXmlConfig(const TXmlConfig&) = delete;
    TXmlConfig& operator=(const TXmlConfig&) = delete;

    // Binds the store to fileName and loads it when it exists; otherwise starts an empty document
    // that is written on the first write. A file that does not parse raises ETax with the parser's
    // message, and the store then refuses to write over it.
    void Open(const std::string& fileName);
    const std::string& FileName() const noexcept { return fileName_; }

    std::string ReadString(const std::string& key) override;
    std::int32_t ReadInteger(const std::string& key) override;
    double ReadFloat(const std::string& key) override;
    void WriteString(const std::string& key, const std::string& value) override;
    void WriteInteger(const std::string& key, std::int32_t value) override;
    void WriteFloat(const std::string& key, double value) override;

    // Writes the whole document to FileName, replacing the file only once the new content is
    // completely on disk.
    void Save();

    struct TDocDeleter {
        void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
    };
    using TDocPtr = std::unique_ptr<xmlDoc, TDocDeleter>;

private:
    xmlNode* FindKey(const std::string& key) const;
    void SetValue(const std::string& key, const std::string& text, const char* location);

    TDocPtr document_;
    std::string fileName_;
    // The parser's message when the bound file exists but did not load; empty otherwise.
    std::string loadError_;
};

} // namespace qm
