// The e-mail pattern: matched anywhere in the text, without options.
#include "login/LoginRules.h"

#include <gtest/gtest.h>

namespace {

TEST(LoginRules, EmailPatternFindsAnAddressAnywhere) {
    struct TCase {
        const char* text;
        bool accepted;
    };
    const TCase cases[] = {
        {"user@example.com", true},
        {"a.b-c+d@mail.example.com.cn", true},
        {"x_y@z.co", true},
        // The pattern is not anchored: words before and after do not matter.
        {"请寄到 tax.office@example.cn 谢谢", true},
        {"<<me@host.org>>", true},
        // No dot in the domain part.
        {"user@example", false},
        {"user@", false},
        {"@example.com", false},
        {"user@.com", false},
        {"user.example.com", false},
        {"", false},
        // Without the case-less option only the pattern's own classes apply; \w takes capitals.
        {"USER@EXAMPLE.COM", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(qm::ContainsEmailAddress(c.text), c.accepted);
        EXPECT_EQ(qm::CheckEmail(std::string("  ") + c.text + " ").kind,
                  c.accepted ? qm::TTipKind::Accepted : qm::TTipKind::Rejected);
    }
}

} // namespace
