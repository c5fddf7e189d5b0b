#include "TestFiles.h"
#include "common/XmlConfig.h"
#include "corvane/Errors.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

using qm::TXmlConfig;
using qm::test::ReadBytes;
using qm::test::TTempFolder;
using qm::test::WriteBytes;

namespace {

// "税务桌面" in GB2312, as a file written on a Chinese Windows desktop holds it.
const std::string kDeskGb2312 = "\xCB\xB0\xCE\xF1\xD7\xC0\xC3\xE6";
const std::string kDeskUtf8 = "税务桌面";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Every line break CR LF, and there is more than one line.
bool HasOnlyCrLfBreaks(const std::string& bytes) {
    std::size_t breaks = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') {
            if (i == 0 || bytes[i - 1] != '\r')
                return false;
            ++breaks;
        }
    }
    return breaks > 1;
}

// The first error libxml2 itself reports for the file, to compare with what TXmlConfig raises.
std::string ParserMessage(const std::string& fileName) {
    std::string message;
    xmlSetStructuredErrorFunc(&message, [](void* first, xmlErrorPtr error) {
        auto& text = *static_cast<std::string*>(first);
        if (text.empty() && error->level >= XML_ERR_ERROR && error->message)
            text = error->message;
    });
    const std::unique_ptr<xmlDoc, TXmlConfig::TDocDeleter> doc(
        xmlReadFile(fileName.c_str(), nullptr, XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NONET));
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    while (!message.empty() && message.back() == '\n')
        message.pop_back();
    return message;
}

// What the process writes to its standard error while `action` runs.
template <class F> std::string StandardErrorOf(F action) {
    std::fflush(stderr);
    const TTempFolder temp;
    const int saved = dup(STDERR_FILENO);
    const int file = open(temp.File("stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, STDERR_FILENO);
    close(file);
    action();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    return ReadBytes(temp.File("stderr"));
}

std::string FreshRead(const std::string& fileName, const std::string& key) {
    TXmlConfig config;
    config.Open(fileName);
    return config.ReadString(key);
}

} // namespace

TEST(XmlConfigRead, Gb2312FileReadsAsUtf8) {
    const TTempFolder temp;
    const std::string file = temp.File("SysConfig.Xml");
    WriteBytes(file, "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<params>\r\n  <app_title>" +
                         kDeskGb2312 + "</app_title>\r\n  <app_type>7</app_type>\r\n</params>\r\n");
    TXmlConfig config;
    config.Open(file);
    EXPECT_EQ(config.FileName(), file);
    EXPECT_EQ(config.ReadString("app_title"), kDeskUtf8);
    EXPECT_EQ(config.ReadInteger("app_type"), 7);
}

TEST(XmlConfigRead, KeysIgnoreAsciiCaseAndTheFirstMatchWins) {
    const TTempFolder temp;
    const std::string file = temp.File("c.xml");
    WriteBytes(file, "<config a=\"1\"><!-- app_title --><app_title>first<b>!</b></app_title>"
                     "<APP_TITLE>second</APP_TITLE><bench_bg>desk.png</bench_bg></config>");
    TXmlConfig config;
    config.Open(file);
    EXPECT_EQ(config.ReadString("APP_TITLE"), "first!");
    EXPECT_EQ(config.ReadString("App_Title"), "first!");
    EXPECT_EQ(config.ReadString("Bench_BG"), "desk.png");
    EXPECT_EQ(config.ReadString("bench"), "");
    EXPECT_EQ(config.ReadInteger("missing"), 0);
    EXPECT_EQ(config.ReadFloat("missing"), 0.0);
}

TEST(XmlConfigRead, NumbersParseOrGiveZero) {
    const TTempFolder temp;
    const std::string file = temp.File("n.xml");
    WriteBytes(file, "<params><word>abc</word><comma>3,5</comma><dot>2.25</dot><negative>-42</negative>"
                     "<padded>\r\n  12\r\n</padded><plus>+8</plus><huge>99999999999</huge><empty/>"
                     "<partly>12ab</partly></params>");
    TXmlConfig config;
    config.Open(file);
    EXPECT_EQ(config.ReadInteger("word"), 0);
    EXPECT_EQ(config.ReadInteger("comma"), 0);
    EXPECT_EQ(config.ReadInteger("negative"), -42);
    EXPECT_EQ(config.ReadInteger("padded"), 12);
    EXPECT_EQ(config.ReadInteger("plus"), 8);
    EXPECT_EQ(config.ReadInteger("huge"), 0);
    EXPECT_EQ(config.ReadInteger("empty"), 0);
    EXPECT_EQ(config.ReadInteger("partly"), 0);
    EXPECT_EQ(config.ReadFloat("comma"), 3.5);
    EXPECT_EQ(config.ReadFloat("dot"), 2.25);
    EXPECT_EQ(config.ReadFloat("negative"), -42.0);
    EXPECT_EQ(config.ReadFloat("word"), 0.0);
    EXPECT_EQ(config.ReadFloat("partly"), 0.0);
}

TEST(XmlConfigRead, MissingFileGivesDefaultsAndCreatesNothing) {
    const TTempFolder temp;
    const std::string file = temp.File("SysConfig.Xml");
    TXmlConfig config;
    config.Open(file);
    EXPECT_EQ(config.ReadString("app_title"), "");
    EXPECT_EQ(config.ReadInteger("app_type"), 0);
    EXPECT_EQ(config.ReadFloat("app_type"), 0.0);
    EXPECT_EQ(temp.EntryCount(), 0u);
}

TEST(XmlConfigWrite, FirstWriteCreatesTheFileInGb2312WithCrLf) {
    const TTempFolder temp;
    const std::string file = temp.File("UserConfig.Xml");
    TXmlConfig config;
    config.Open(file);
    config.WriteString("bench_title", kDeskUtf8);

    const std::string bytes = ReadBytes(file);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n", 0), 0u) << bytes;
    EXPECT_TRUE(Contains(bytes, "<params>\r\n")) << bytes;
    EXPECT_TRUE(Contains(bytes, "</params>\r\n")) << bytes;
    EXPECT_TRUE(HasOnlyCrLfBreaks(bytes)) << bytes;
    EXPECT_TRUE(Contains(bytes, "<bench_title>" + kDeskGb2312 + "</bench_title>")) << bytes;
    EXPECT_FALSE(Contains(bytes, kDeskUtf8));
    EXPECT_EQ(FreshRead(file, "bench_title"), kDeskUtf8);
    EXPECT_EQ(temp.EntryCount(), 1u); // no temporary file left behind
}

TEST(XmlConfigWrite, CharactersOutsideGb2312SurviveAsReferences) {
    const TTempFolder temp;
    const std::string file = temp.File("c.xml");
    const std::string text = "€ 😀 " + kDeskUtf8;
    TXmlConfig config;
    config.Open(file);
    config.WriteString("k", text);
    const std::string bytes = ReadBytes(file);
    EXPECT_FALSE(Contains(bytes, "😀")) << bytes;
    EXPECT_TRUE(Contains(bytes, "&#")) << bytes;
    EXPECT_EQ(FreshRead(file, "k"), text);
}

TEST(XmlConfigWrite, ValuesAreEscapedAndRoundTrip) {
    const TTempFolder temp;
    const std::string file = temp.File("c.xml");
    const std::string markup = "a<b & \"c\" ]]> 'd' &amp;";
    const std::string lines = "line1\nline2\r\nline3";
    TXmlConfig config;
    config.Open(file);
    config.WriteString("markup", markup);
    config.WriteString("lines", lines);
    config.WriteString("blank", "  ");
    config.WriteString("empty", "");
    EXPECT_FALSE(Contains(ReadBytes(file), "<b &"));

    TXmlConfig reread;
    reread.Open(file);
    EXPECT_EQ(reread.ReadString("markup"), markup);
    EXPECT_EQ(reread.ReadString("lines"), lines);
    EXPECT_EQ(reread.ReadString("blank"), "  ");
    EXPECT_EQ(reread.ReadString("empty"), "");
    EXPECT_TRUE(Contains(ReadBytes(file), "<empty"));
}

TEST(XmlConfigWrite, NumbersAreWrittenAsDecimalTextWithADot) {
    const TTempFolder temp;
    const std::string file = temp.File("c.xml");
    TXmlConfig config;
    config.Open(file);
    config.WriteInteger("count", -7);
    config.WriteFloat("ratio", 3.5);
    config.WriteFloat("tenth", 0.1);
    config.WriteInteger("zero", 0);
    const std::string bytes = ReadBytes(file);
    EXPECT_TRUE(Contains(bytes, "<count>-7</count>")) << bytes;
    EXPECT_TRUE(Contains(bytes, "<ratio>3.5</ratio>")) << bytes;
    EXPECT_TRUE(Contains(bytes, "<zero>0</zero>")) << bytes;

    TXmlConfig reread;
    reread.Open(file);
    EXPECT_EQ(reread.ReadInteger("count"), -7);
    EXPECT_EQ(reread.ReadFloat("ratio"), 3.5);
    EXPECT_EQ(reread.ReadFloat("tenth"), 0.1);
}

TEST(XmlConfigWrite, ExistingMatchIsUpdatedAndEverythingElseKept) {
    const TTempFolder temp;
    const std::string file = temp.File("c.xml");
    WriteBytes(file, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!-- installed by setup -->\n"
                     "<config version=\"3\">\n"
                     "  <!-- title shown on the desk -->\n"
                     "  <APP_TITLE lang=\"zh\">old</APP_TITLE>\n"
                     "  <group><inner>" +
                         kDeskUtf8 +
                         "</inner></group>\n"
                         "  <?marker keep?>\n"
                         "</config>\n");
    TXmlConfig config;
    config.Open(file);
    config.WriteString("app_title", "new");
    config.WriteInteger("app_type", 5);

    const std::string bytes = ReadBytes(file);
    // The file keeps its own encoding and root; the matched element keeps its name and attributes.
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", 0), 0u) << bytes;
    EXPECT_TRUE(Contains(bytes, "<!-- installed by setup -->")) << bytes;
    EXPECT_TRUE(Contains(bytes, "<config version=\"3\">")) << bytes;
    EXPECT_TRUE(Contains(bytes, "<!-- title shown on the desk -->")) << bytes;
    EXPECT_TRUE(Contains(bytes, "<APP_TITLE lang=\"zh\">new</APP_TITLE>")) << bytes;
    EXPECT_TRUE(Contains(bytes, "<inner>" + kDeskUtf8 + "</inner>")) << bytes;
    EXPECT_TRUE(Contains(bytes, "<?marker keep?>")) << bytes;
    EXPECT_TRUE(HasOnlyCrLfBreaks(bytes)) << bytes;

    TXmlConfig reread;
    reread.Open(file);
    EXPECT_EQ(reread.ReadString("app_title"), "new");
    EXPECT_EQ(reread.ReadInteger("app_type"), 5);
    EXPECT_EQ(reread.ReadString("group"), kDeskUtf8);
}

TEST(XmlConfigWrite, KeysAndValuesAnXmlFileCannotCarryAreRefused) {
    const TTempFolder temp;
    const std::string file = temp.File("c.xml");
    TXmlConfig config;
    config.Open(file);
    config.WriteString("ok", "1");
    const std::string before = ReadBytes(file);
    EXPECT_THROW(config.WriteString("two words", "x"), corvane::ETax);
    EXPECT_THROW(config.WriteInteger("1st", 1), corvane::ETax);
    EXPECT_THROW(config.WriteString("", "x"), corvane::ETax);
    EXPECT_THROW(config.WriteString("ctl", std::string("a\x01", 2)), corvane::ETax);
    EXPECT_THROW(config.WriteString("bad_utf8", "\xC3\x28"), corvane::ETax);
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(FreshRead(file, "ok"), "1");
}

TEST(XmlConfigErrors, MalformedFileRaisesTheParsersMessageQuietly) {
    const TTempFolder temp;
    const std::string cases[] = {
        "<params><a>1</a>",
        "<params/><params/>",
        "",
        "<params><a>1</b></params>",
        "<?xml version=\"1.0\" encoding=\"gb2312\"?><p>&bad;</p>",
        "<?xml version=\"1.0\" encoding=\"gb2312\"?><p>\xFF\xFF</p>", // not GB2312 at all
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes);
        const std::string file = temp.File("bad.xml");
        WriteBytes(file, bytes);
        const std::string expected = ParserMessage(file);
        ASSERT_FALSE(expected.empty());
        TXmlConfig config;
        std::string message;
        const std::string printed = StandardErrorOf([&] {
            try {
                config.Open(file);
            } catch (const corvane::ETax& error) {
                message = error.Message();
            }
        });
        EXPECT_TRUE(Contains(message, expected)) << message << "\nlibxml2: " << expected;
        EXPECT_TRUE(Contains(message, file)) << message;
        EXPECT_EQ(printed, "");
        EXPECT_EQ(config.ReadString("a"), "");
    }
}

TEST(XmlConfigErrors, WritesNeverReplaceAFileThatDidNotLoad) {
    const TTempFolder temp;
    const std::string file = temp.File("SysConfig.Xml");
    const std::string bytes = "<params><app_title>" + kDeskGb2312 + "</app_title>"; // unclosed root
    WriteBytes(file, bytes);
    TXmlConfig config;
    std::string loadMessage;
    try {
        config.Open(file);
    } catch (const corvane::ETax& error) {
        loadMessage = error.Message();
    }
    ASSERT_FALSE(loadMessage.empty());
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            config.WriteString("app_title", "x");
            ADD_FAILURE() << "the write went through";
        } catch (const corvane::ETax& error) {
            EXPECT_EQ(error.Message(), loadMessage);
        }
    }
    EXPECT_THROW(config.WriteInteger("app_type", 1), corvane::ETax);
    EXPECT_THROW(config.Save(), corvane::ETax);
    EXPECT_EQ(ReadBytes(file), bytes);
    EXPECT_EQ(temp.EntryCount(), 1u);
}

TEST(XmlConfigErrors, SaveFailureRaisesTheSystemErrorAndKeepsTheValue) {
    const TTempFolder temp;
    const std::string file = temp.File("no_such_folder/c.xml");
    TXmlConfig config;
    config.Open(file);
    try {
        config.WriteString("app_title", "kept");
        ADD_FAILURE() << "no error raised";
    } catch (const corvane::ETax& error) {
        EXPECT_TRUE(Contains(error.Message(), std::system_category().message(ENOENT))) << error.Message();
        EXPECT_TRUE(Contains(error.Message(), file)) << error.Message();
    }
    EXPECT_EQ(config.ReadString("app_title"), "kept");
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "no_such_folder"));
}

TEST(XmlConfigErrors, ReadOnlyFileIsNotReplaced) {
    // Root may write any file, so as root (CI) the write runs in a child that has given up its
    // privileges; the folder belongs to that user, who could replace the file by renaming.
    constexpr uid_t kNobody = 65534;
    const TTempFolder temp;
    const std::string file = temp.File("c.xml");
    const std::string bytes = "<params><a>1</a></params>";
    WriteBytes(file, bytes);
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    const bool asRoot = geteuid() == 0;
    if (asRoot) {
        if (chown(temp.Path().c_str(), kNobody, kNobody) != 0 || chown(file.c_str(), kNobody, kNobody) != 0)
            GTEST_SKIP() << "this root cannot hand files to an unprivileged user";
    }
    enum : int { kRefused = 0, kWritten = 1, kNoPrivilegeDrop = 2, kOtherError = 3 };
    const auto attempt = [&file]() -> int {
        try {
            TXmlConfig config;
            config.Open(file);
            config.WriteString("a", "2");
            return kWritten;
        } catch (const corvane::ETax&) {
            return kRefused;
        } catch (...) {
            return kOtherError;
        }
    };
    int outcome = kOtherError;
    if (!asRoot) {
        outcome = attempt();
    } else {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (setgid(kNobody) != 0 || setuid(kNobody) != 0)
                _exit(kNoPrivilegeDrop);
            _exit(attempt());
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        outcome = WEXITSTATUS(status);
    }
    if (outcome == kNoPrivilegeDrop)
        GTEST_SKIP() << "this root cannot give up its privileges";
    EXPECT_EQ(outcome, kRefused);
    EXPECT_EQ(ReadBytes(file), bytes);
    EXPECT_EQ(temp.EntryCount(), 1u);
}

// A write that fails half-way (here the file size limit; a full disk behaves the same) leaves the old
// file whole and no temporary file behind.
TEST(XmlConfigErrors, FailedWriteLeavesTheOldFileWhole) {
    const TTempFolder temp;
    const std::string file = temp.File("c.xml");
    const std::string bytes = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<params><a>1</a></params>\r\n";
    WriteBytes(file, bytes);
    TXmlConfig config;
    config.Open(file);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = bytes.size();
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::string message;
    try {
        config.WriteString("a", std::string(4 * bytes.size(), 'x'));
    } catch (const corvane::ETax& error) {
        message = error.Message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(Contains(message, std::system_category().message(EFBIG))) << message;
    EXPECT_EQ(ReadBytes(file), bytes);
    EXPECT_EQ(temp.EntryCount(), 1u);
}

TEST(XmlConfigErrors, FileKeepsItsPermissionsWhenReplaced) {
    const TTempFolder temp;
    const std::string file = temp.File("c.xml");
    WriteBytes(file, "<params/>");
    const auto mode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                      std::filesystem::perms::group_read;
    std::filesystem::permissions(file, mode);
    TXmlConfig config;
    config.Open(file);
    config.WriteString("a", "1");
    EXPECT_EQ(std::filesystem::status(file).permissions(), mode);
    EXPECT_EQ(FreshRead(file, "a"), "1");
}
