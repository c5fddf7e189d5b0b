// The configuration files of the sample installation: encoding and line breaks as the installation
// carries them, and the values the desk reads from them.
#include "SampleFiles.h"
#include "common/Paths.h"
#include "common/XmlConfig.h"

#include <QImage>
#include <gtest/gtest.h>
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <map>
#include <memory>
#include <regex>
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

// The account pages the sample's scripts and the login dialog open: the brennik.xml element and the
// page of the sample web site (site/, the reference server's web root) it names.
struct TAccountPage {
    const char* urlNode;
    const char* page;
};
constexpr TAccountPage kAccountPages[] = {
    {"forum_addr", "forum.html"},             // forum.lua, through the channels plug-in
    {"home_addr", "home.html"},               // home.lua, likewise
    {"changepassword_addr", "password.html"}, // request 5, password.lua
    {"changeuserinfo_addr", "account.html"},  // request 6, account.lua
    {"forgetpassword_addr", "forgot.html"},   // the login dialog's 忘记密码？
};
// scripts/run-desk replaces this base with the address of the reference server it starts.
constexpr const char* kPlaceholderBase = "http://127.0.0.1:8620";

TEST(SampleBranding, NamesEveryAccountPageOnTheSampleSite) {
    const fs::path file = sample::ImageDir() / "Config" / "brennik.xml";
    ExpectInstallationXmlForm(file);
    ASSERT_NE(Parse(file), nullptr);
    qm::TXmlConfig branding;
    branding.Open(file.string());

    EXPECT_EQ(branding.ReadString("accountservice_addr"), kPlaceholderBase);
    EXPECT_EQ(branding.ReadString("logservice_addr"), kPlaceholderBase);
    EXPECT_FALSE(branding.ReadString("SoureId").empty());
    const std::string base = std::string(kPlaceholderBase) + "/";
    for (const TAccountPage& page : kAccountPages) {
        SCOPED_TRACE(page.urlNode);
        const std::string address = branding.ReadString(page.urlNode);
        ASSERT_EQ(address.rfind(base, 0), 0u) << address;
        const std::string path = address.substr(base.size(), address.find('?') - base.size());
        EXPECT_EQ(path, page.page);
        EXPECT_TRUE(fs::is_regular_file(sample::ImageDir() / "site" / path)) << path;
    }

    // Every page a script asks for by name is one of the pages above (the forum and home pages are
    // named by the channels plug-in, which the scripts ask to open them).
    std::set<std::string> known;
    for (const TAccountPage& page : kAccountPages)
        known.insert(page.urlNode);
    const std::regex urlNode(R"re(UrlNode\s*=\s*"([^"]*)")re");
    for (const fs::path& script : sample::FilesBelow(sample::ImageDir() / "Config" / "Scripts")) {
        const std::string text = sample::ReadBytes(sample::ImageDir() / "Config" / "Scripts" / script);
        for (auto match = std::sregex_iterator(text.begin(), text.end(), urlNode);
             match != std::sregex_iterator(); ++match)
            EXPECT_TRUE(known.count((*match)[1].str())) << script << " opens " << (*match)[1].str();
    }
}

// The installation takes updates signed with the sample's publisher key, the one its publishing
// script signs with (an Ed25519 secret key ends with its public half).
TEST(SampleBranding, ShipsThePublicHalfOfTheSamplesPublisherKey) {
    qm::TXmlConfig branding;
    branding.Open((sample::ImageDir() / "Config" / "brennik.xml").string());
    const std::string key = branding.ReadString("update_publickey");
    ASSERT_EQ(key.size(), 64u) << key;
    EXPECT_EQ(sample::ReadBytes(QM_SAMPLE_PUBLISHER_KEY).substr(64, 64), key);
}

TEST(SampleInstallation, CarriesTheStartUpFiles) {
    for (const char* name :
         {"Config/Skin.Sys", "Config/Upgrade.lua", "Config/pngs.sys", "Pictures/PgSkin.bmp"})
        EXPECT_TRUE(fs::is_regular_file(sample::ImageDir() / name)) << name;
}

namespace help {

struct THtmlDeleter {
    void operator()(htmlDocPtr doc) const noexcept { xmlFreeDoc(doc); }
};

// Every address a guide page refers to (links, pictures, style sheets, scripts).
void CollectAddresses(xmlNode* node, std::vector<std::string>& addresses) {
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_ELEMENT_NODE)
            for (const char* name : {"href", "src", "action"})
                if (xmlHasProp(node, reinterpret_cast<const xmlChar*>(name)))
                    addresses.push_back(Attribute(node, name));
        CollectAddresses(node->children, addresses);
    }
}

std::vector<fs::path> Pages() {
    std::vector<fs::path> pages;
    for (const fs::path& file : sample::FilesBelow(sample::ImageDir() / "Help"))
        if (file.extension() == ".html")
            pages.push_back(file);
    return pages;
}

} // namespace help

// The user guide works from the installation alone: whatever a page refers to is a file shipped
// beside it, never an address on the network.
TEST(SampleHelp, EveryAddressInTheGuideIsAShippedFile) {
    const fs::path folder = sample::ImageDir() / "Help";
    const std::vector<fs::path> pages = help::Pages();
    ASSERT_GE(pages.size(), 9u);
    std::set<fs::path> referred;
    for (const fs::path& page : pages) {
        SCOPED_TRACE(page.string());
        std::unique_ptr<xmlDoc, help::THtmlDeleter> doc(
            htmlReadFile((folder / page).c_str(), "UTF-8", HTML_PARSE_NONET | HTML_PARSE_NOERROR));
        ASSERT_NE(doc, nullptr);
        std::vector<std::string> addresses;
        help::CollectAddresses(xmlDocGetRootElement(doc.get()), addresses);
        EXPECT_FALSE(addresses.empty());
        for (const std::string& address : addresses) {
            const std::string file = address.substr(0, address.find_first_of("?#"));
            ASSERT_FALSE(file.empty()) << address;
            EXPECT_EQ(file.find(':'), std::string::npos) << "not a local file: " << address;
            EXPECT_NE(file.front(), '/') << address;
            EXPECT_TRUE(fs::is_regular_file(folder / page.parent_path() / file)) << address;
            referred.insert((page.parent_path() / file).lexically_normal());
        }
    }
    for (const fs::path& page : pages)
        EXPECT_TRUE(referred.count(page) || page == "index.html") << page << " is reached by no link";
}

// The search index names every page but the search page with its title and the text of its main
// part, so a word on any page is found.
TEST(SampleHelp, SearchIndexCoversEveryPage) {
    const std::string index = sample::ReadBytes(sample::ImageDir() / "Help" / "search-index.js");
    const std::regex entry(R"re(\{page: "([^"]+)", title: "([^"]*)", text: "((?:[^"\\]|\\.)*)"\})re");
    std::map<std::string, std::pair<std::string, std::string>> entries;
    for (auto match = std::sregex_iterator(index.begin(), index.end(), entry);
         match != std::sregex_iterator(); ++match)
        entries[(*match)[1].str()] = {(*match)[2].str(), (*match)[3].str()};
    const std::regex title("<title>([^<]*)</title>");
    const std::regex heading("<h2>([^<]*)</h2>");
    // Tags, not the angle brackets a page shows as text (&lt;params&gt;).
    const std::regex markup(R"re(<\\?/?(p|li|a|ul|ol|code|strong|pre|h[1-6]|t[rdh]|table|img)[ >])re");
    for (const fs::path& page : help::Pages()) {
        if (page == "search.html")
            continue;
        SCOPED_TRACE(page.string());
        const std::string html = sample::ReadBytes(sample::ImageDir() / "Help" / page);
        std::smatch found;
        ASSERT_TRUE(std::regex_search(html, found, title));
        const auto indexed = entries.find(page.string());
        ASSERT_NE(indexed, entries.end()) << "not in the index";
        EXPECT_EQ(indexed->second.first, found[1].str());
        // The text runs to the end of the page: its last section heading is in it.
        std::string last;
        for (auto match = std::sregex_iterator(html.begin(), html.end(), heading);
             match != std::sregex_iterator(); ++match)
            last = (*match)[1].str();
        EXPECT_NE(indexed->second.second.find(last), std::string::npos) << last;
        EXPECT_FALSE(std::regex_search(indexed->second.second, markup)) << "markup left in the text";
    }
    EXPECT_EQ(entries.size() + 1, help::Pages().size());
}

} // namespace
