// What of a server's text reaches a diagnostic line.

#include "dsclient/servertext.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr const char* kWithheld = "the server's text is withheld: it contains the password";

TEST(ServerText, APasswordInTheTextWithholdsAllOfIt) {
    struct Case {
        std::string text, secret, shown;
    };
    const std::string refusal =
        "80090308: LdapErr: DSID-0C09044E, comment: "
        "AcceptSecurityContext error, data 52e, v4563";
    const std::vector<Case> cases{
        // A common word or a digit as password would show where it stands
        // if it were only masked.
        {refusal, "error", kWithheld},
        {refusal, "0", kWithheld},
        {"bad password sekrit for cn=x", "sekrit", kWithheld},
        {"\x1b[2Jsekrit", "sekrit", kWithheld},
        {std::string(300, 'x') + "sekrit", "sekrit", kWithheld},
        // Case matters in a password: another spelling is not it.
        {"bad password SEKRIT", "sekrit", "bad password SEKRIT"},
        // No password: nothing is withheld.
        {refusal, "", refusal},
        {"", "", ""},
        {"Invalid credentials", "x9", "Invalid credentials"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60) + " / " + c.secret);
        EXPECT_EQ(dsclient::shownServerText(c.text, c.secret), c.shown);
    }
}

TEST(ServerText, ControlBytesAreShownAndLongTextIsCutBetweenCharacters) {
    struct Case {
        std::string text, shown;
    };
    const std::string cut(dsclient::maxShownServerText - 1, 'a');
    const std::vector<Case> cases{
        {"a\tb\x7f\n", "a\\x09b\\x7F\\x0A"},
        {std::string(dsclient::maxShownServerText, 'a'),
         std::string(dsclient::maxShownServerText, 'a')},
        {std::string(dsclient::maxShownServerText, 'a') + "b",
         std::string(dsclient::maxShownServerText, 'a') + " ..."},
        // A two-byte character that would straddle the cut goes whole.
        {cut + "\xc3\xa9" + "b", cut + " ..."},
        // One that ends right at the cut is whole and stays.
        {cut.substr(1) + "\xc3\xa9" + "b", cut.substr(1) + "\xc3\xa9 ..."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dsclient::shownServerText(c.text, ""), c.shown);
    }
}

}  // namespace
