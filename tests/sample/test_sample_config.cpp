// The configuration files of the sample installation: encoding and line breaks as the installation
// carries them, and the values the desk reads from them.
#include "SampleFiles.h"
#include "common/Paths.h"
#include "common/XmlConfig.h"

#include <QImage>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string AppDir() {
    return sample::ImageDir().string() + "/";
}

// GB2312 text with CR LF line breaks and the declaration that says so.
void ExpectInstallationXmlForm(const fs::path& file) {
    const std::string bytes = sample::ReadBytes(file);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n", 0), 0u) << file;
    for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
        ASSERT_TRUE(at > 0 && bytes[at - 1] == '\r') << file << ": bare line feed at byte " << at;
}

struct TDocDeleter {
    void operator()(xmlDoc* doc) const noexcept { xmlFreeDoc(doc); }
};
using TDoc = std::unique_ptr<xmlDoc, TDocDeleter>;

TDoc Parse(const fs::path& file) {
    return TDoc(xmlReadFile(file.c_str(), nullptr, XML_PARSE_NONET));
}

std::string Attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr)
        return "";
    std::string text(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

std::vector<xmlNode*> Elements(xmlNode* parent) {
    std::vector<xmlNode*> elements;
    for (xmlNode* child = parent->children; child != nullptr; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            elements.push_back(child);
    return elements;
}

TEST(SampleSysConfig, ReadsBackTheDesksTitleAndBench) {
    const fs::path file = sample::ImageDir() / "Config" / "SysConfig.Xml";
    ExpectInstallationXmlForm(file);

    qm::TXmlConfig config;
    config.Open(file.string());
    EXPECT_EQ(config.ReadString("APP_TITLE"), "Quillmere 税务工作台");
    EXPECT_EQ(config.ReadInteger("app_type"), 5);
    EXPECT_EQ(config.ReadString("bench_title"), "工作台");

    // The bench background is a PNG picture below Pictures/, as the bench form requires.
    const std::string bench = qm::ExpandPath(AppDir() + "Pictures/", config.ReadString("bench_bg"));
    ASSERT_TRUE(qm::FileExists(bench)) << bench;
    EXPECT_EQ(fs::path(bench).extension(), ".png");
    EXPECT_FALSE(QImage(QString::fromStdString(bench)).isNull()) << bench;
}

TEST(SampleBootList, NamesExistingScriptsRelativeToTheApplicationFolder) {
    const fs::path file = sample::ImageDir() / "Config" / "boot.xml";
    ExpectInstallationXmlForm(file);
    const TDoc doc = Parse(file);
    ASSERT_NE(doc, nullptr);
    const std::vector<xmlNode*> entries = Elements(xmlDocGetRootElement(doc.get()));
    ASSERT_FALSE(entries.empty());
    for (xmlNode* entry : entries) {
        const std::string name = Attribute(entry, "file");
        EXPECT_NE(name.find('\\'), std::string::npos) << name << ": installation data writes backslashes";
        const std::string script = qm::ExpandPath(AppDir(), name);
        EXPECT_TRUE(qm::FileExists(script)) << name << " -> " << script;
        EXPECT_EQ(fs::path(script).extension(), ".lua") << name;
    }
}

TEST(SampleStoreCatalogue, ListsCompleteApplicationsInCategories) {
    const fs::path file = sample::ImageDir() / "Plugins" / "Appstore" / "Issue.xml";
    ExpectInstallationXmlForm(file);
    const TDoc doc = Parse(file);
    ASSERT_NE(doc, nullptr);

    std::set<std::string> ids;
    for (xmlNode* category : Elements(xmlDocGetRootElement(doc.get()))) {
        const std::vector<xmlNode*> apps = Elements(category);
        EXPECT_FALSE(apps.empty()) << "empty category " << Attribute(category, "name");
        for (xmlNode* app : apps) {
            ASSERT_STREQ(reinterpret_cast<const char*>(app->name), "app");
            const std::string id = Attribute(app, "id");
            EXPECT_TRUE(ids.insert(id).second) << "id " << id << " twice";
            for (const char* attribute : {"id", "name", "ver", "intro", "small_icon", "large_icon",
                                          "unins_icon", "price_desc", "url"})
                EXPECT_FALSE(Attribute(app, attribute).empty()) << "app " << id << " without " << attribute;
            for (const char* address : {"url", "intro_url"})
                EXPECT_EQ(Attribute(app, address).rfind("http://127.0.0.1", 0), 0u)
                    << "app " << id << " " << address;
            for (const char* icon : {"small_icon", "large_icon", "unins_icon"}) {
                const std::string picture = qm::ExpandPath(AppDir() + "Pictures/", Attribute(app, icon));
                EXPECT_FALSE(QImage(QString::fromStdString(picture)).isNull()) << "app " << id << " " << icon;
            }
        }
    }
    EXPECT_GE(ids.size(), 2u);
}

TEST(SampleInstallation, CarriesTheStartUpFiles) {
    for (const char* name :
         {"Config/Skin.Sys", "Config/Upgrade.lua", "Config/pngs.sys", "Pictures/PgSkin.bmp"})
        EXPECT_TRUE(fs::is_regular_file(sample::ImageDir() / name)) << name;
}

} // namespace
